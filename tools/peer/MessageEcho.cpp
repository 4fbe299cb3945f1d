#include "MessageEcho.h"

#include "Report.h"

#include <QTimer>

void CMessageEcho::OnMessaging(const IRTCMessagingEvent& event)
{
    if (event.m_eventType != RTCMSET_MESSAGE || !event.m_session)
        return;
    QString uri;
    if (event.m_participant)
        event.m_participant->get_UserURI(uri);
    Say(QStringLiteral("message from %1: %2").arg(uri, OneLine(event.m_message)));
    const RtcSessionPtr session = event.m_session;
    if (FAILED(session->SendMessageStatus(RTCMUS_TYPING, 0)))
        return; // the session ended meanwhile: nobody to answer
    QTimer::singleShot(kTypingMs, this, [session, uri, text = event.m_message] { Echo(session, uri, text); });
}

void CMessageEcho::Echo(const RtcSessionPtr& session, const QString& uri, const QString& text)
{
    const HRESULT status = session->SendMessage({}, kEchoPrefix + text, 0);
    if (FAILED(status)) {
        Say(QStringLiteral("error echo to %1 %2").arg(uri, Hex(status)));
        return;
    }
    session->SendMessageStatus(RTCMUS_IDLE, 0);
    Say(QStringLiteral("echoed to ") + uri);
}
