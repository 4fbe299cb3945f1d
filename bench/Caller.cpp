#include "Caller.h"

CBaresipCaller::CBaresipCaller(const QString& folder, const CSipService& service, const CEndpoint::Account& account,
                               const QString& tone)
    : m_baresip(folder, service, account, tone)
{
}

bool CBaresipCaller::Start(int timeoutMs)
{
    const int port = FreeTcpPort();
    m_baresip.EnableControl(port);
    return m_baresip.Start() && m_baresip.WaitOutput(QStringLiteral("200 OK"), timeoutMs) && m_control.Connect(port);
}

bool CBaresipCaller::Dial(const QString& uri, Moment& dialled)
{
    m_control.Forget();
    dialled = Now();
    m_control.Send(QStringLiteral("dial"), uri);
    return true;
}

bool CBaresipCaller::WaitConnected(int timeoutMs, Moment& when)
{
    return m_control.WaitEvent(QStringLiteral("CALL_ESTABLISHED"), timeoutMs, &when);
}

bool CBaresipCaller::HangUp(Moment& pressed)
{
    pressed = Now();
    m_control.Send(QStringLiteral("hangup"));
    return true;
}

bool CBaresipCaller::WaitEnded(int timeoutMs, Moment& when)
{
    return m_control.WaitEvent(QStringLiteral("CALL_CLOSED"), timeoutMs, &when);
}
