#include "SessionWindowFactory.h"

#include "AVSessionWnd.h"
#include "IncomingCallPrompt.h"

#include "engine/AddressRules.h"
#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"

CSessionWindowFactory::CSessionWindowFactory(CClientEngine& engine, CIMSessionWnd::AddressPrompt addressPrompt)
    : m_engine(&engine), m_addressPrompt(std::move(addressPrompt))
{
}

CSessionWnd* CSessionWindowFactory::CreateSessionWindow(RTC_SESSION_TYPE type)
{
    if (type != RTCST_PC_TO_PC && type != RTCST_PC_TO_PHONE) {
        auto* window = new CIMSessionWnd(m_addressPrompt);
        window->OnCreate();
        QObject::connect(window, &CIMSessionWnd::incomingMessage, &m_notifier,
                         [this, window](const QString& from, const QString& text) {
                             m_notifier.NotifyIncomingMessage(from, text, window);
                         });
        return window;
    }
    if (g_activeCallWindow)
        return nullptr; // one call at a time
    auto* window = new CAVSessionWnd;
    window->OnCreate();
    return window;
}

HRESULT CSessionWindowFactory::ShowIncomingCallPrompt(const QString& callerName, const QString& callerUri,
                                                      bool& accepted)
{
    if (!m_engine || !m_engine->Client())
        return E_FAIL;
    IMainWindowDisplay& display = m_engine->Display();
    QPointer<CIncomingCallPrompt> prompt =
        new CIncomingCallPrompt(m_engine->Client(), display, callerName, callerUri, display.OwnerWindow());
    QString callerNumber = callerUri;
    ToDisplayNumber(callerNumber);
    m_notifier.NotifyIncomingCall(callerName, callerNumber, prompt);
    const int result = prompt->exec();
    // The prompt goes away with its owner (and so may this factory): touch neither then.
    if (!prompt)
        return E_FAIL;
    const bool answered = prompt->Accepted();
    delete prompt;
    if (result != CIncomingCallPrompt::kEndCode)
        return E_FAIL;
    accepted = answered;
    return S_OK;
}
