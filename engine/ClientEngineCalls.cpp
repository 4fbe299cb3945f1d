// Placing sessions, answering or refusing incoming ones, and giving each its window.
#include "AddressRules.h"
#include "ClientEngine.h"
#include "ProcessGlobals.h"
#include "SessionWnd.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QWidget>

#include <bit>

namespace {
Q_LOGGING_CATEGORY(lcSessions, "orvalo.engine.sessions")

bool IsVoice(RTC_SESSION_TYPE type)
{
    return type == RTCST_PC_TO_PC || type == RTCST_PC_TO_PHONE;
}

// Ends a session that nobody will take, so that it never keeps ringing.
void Abandon(const RtcSessionPtr& session, RTC_TERMINATE_REASON reason)
{
    session->Terminate(reason);
}
} // namespace

HRESULT CClientEngine::MakeCall(RTC_SESSION_TYPE type, const QString& uri, const QString& name)
{
    QString localUri;
    if (SUCCEEDED(GetLocalUserUri(localUri)) && localUri == uri) {
        ShowMessage(QStringLiteral("You cannot call yourself."));
        return S_FALSE;
    }
    if (IsVoice(type) && g_activeCallWindow) {
        ShowMessage(QStringLiteral("A call is already in progress!"));
        return S_FALSE;
    }
    if (type == RTCST_MULTIPARTY_IM) {
        const HRESULT hr = RefuseUnknownMessageRecipient(uri);
        if (hr != S_OK)
            return hr;
    }
    if (!m_client)
        return E_FAIL;

    RtcSessionPtr session;
    HRESULT hr = m_client->CreateSession(type, QString(), nullptr, 0, session);
    if (FAILED(hr))
        return hr;
    RtcParticipantPtr participant;
    hr = session->AddParticipant(uri, name, participant);
    if (SUCCEEDED(hr))
        hr = CreateSessionWindow(session, type);
    if (FAILED(hr)) {
        Abandon(session, RTCTR_NORMAL);
        return hr;
    }
    m_display.AddCallLogEntry(uri, name, 0);
    return S_OK;
}

// Messages go only to buddies who are online; an address that is not a buddy yet is
// added as one for this run of the program. S_OK lets the message session go ahead.
HRESULT CClientEngine::RefuseUnknownMessageRecipient(const QString& uri)
{
    IRTCClientPresence2* presence = m_client ? m_client->presence() : nullptr;
    std::shared_ptr<IRTCEnumBuddies> buddies;
    if (!presence || FAILED(presence->EnumerateBuddies(buddies)))
        return S_OK; // presence not running yet: nothing to check against

    RtcBuddyPtr buddy;
    while (buddies->Next(buddy) == S_OK) {
        QString buddyUri;
        if (FAILED(buddy->get_PresentityURI(buddyUri)) || buddyUri != uri)
            continue;
        RTC_PRESENCE_STATUS status;
        if (FAILED(buddy->get_Status(status)) || status != RTCXS_PRESENCE_ONLINE) {
            ShowMessage(QStringLiteral("This user is not online."));
            return S_FALSE;
        }
        return S_OK;
    }
    RtcBuddyPtr added;
    presence->AddBuddyEx(uri, QString(), QString(), false, RTCBT_SUBSCRIBED, nullptr, 0, added);
    return S_OK;
}

HRESULT CClientEngine::CreateSessionWindow(const RtcSessionPtr& session, RTC_SESSION_TYPE type)
{
    CSessionWnd* window = m_sessionWindowFactory ? m_sessionWindowFactory->CreateSessionWindow(type) : nullptr;
    if (!window)
        return E_FAIL;
    window->SetSession(session);
    window->SetEngine(this);
    AddSessionWindow(window);
    return S_OK;
}

void CClientEngine::OnSessionStateChange(const IRTCSessionStateChangeEvent& event)
{
    RTC_SESSION_STATE state;
    RtcSessionPtr session;
    if (FAILED(event.get_State(state)) || FAILED(event.get_Session(session)))
        return;
    CSessionWnd* window = nullptr;
    if (SUCCEEDED(FindSessionWindow(session, window))) {
        window->OnSessionStateChange(state);
        return;
    }
    if (state == RTCSS_INCOMING)
        OnIncomingSession(session);
}

void CClientEngine::OnIncomingSession(const RtcSessionPtr& session)
{
    RTC_SESSION_TYPE type;
    if (FAILED(session->get_Type(type))) {
        Abandon(session, RTCTR_REJECT);
        return;
    }
    if (!IsVoice(type)) {
        // Messages from many new senders in a flood must not open window after window.
        if (!m_newConversations.Admit()) {
            // 1, 2, 4, 8, ...: a flood must not flood the log as well.
            if (std::has_single_bit(m_newConversations.refused()))
                qCWarning(lcSessions) << "refused a new conversation:" << kMaxNewConversations
                                      << "opened within the last minute;" << m_newConversations.refused()
                                      << "refused so far";
            Abandon(session, RTCTR_REJECT);
            return;
        }
        m_client->PlayRing(RTCRT_MESSAGE, true);
        if (FAILED(CreateSessionWindow(session, type)))
            Abandon(session, RTCTR_NORMAL);
        return;
    }
    // Logged off nobody may ring, and nobody is asked.
    if (!m_profile) {
        Abandon(session, RTCTR_REJECT);
        return;
    }
    // One call at a time: a call, or a call being offered, makes us busy.
    if (g_activeCallWindow || m_incomingCallPromptOpen) {
        Abandon(session, RTCTR_BUSY);
        return;
    }
    OnIncomingCall(session, type);
}

void CClientEngine::OnIncomingCall(const RtcSessionPtr& session, RTC_SESSION_TYPE type)
{
    std::shared_ptr<IRTCEnumParticipants> participants;
    RtcParticipantPtr caller;
    QString uri, name;
    if (FAILED(session->EnumerateParticipants(participants)) || participants->Next(caller) != S_OK ||
        FAILED(caller->get_UserURI(uri))) {
        Abandon(session, RTCTR_REJECT);
        return;
    }
    const HRESULT nameRead = caller->get_Name(name);
    if (FAILED(nameRead) && nameRead != RTC_E_NO_DISPLAY_NAME) {
        Abandon(session, RTCTR_REJECT);
        return;
    }

    m_client->PlayRing(RTCRT_PHONE, true);
    bool accepted = false;
    QPointer<CClientEngine> alive(this);
    m_incomingCallPromptOpen = true;
    const HRESULT prompt =
        m_sessionWindowFactory ? m_sessionWindowFactory->ShowIncomingCallPrompt(name, uri, accepted) : E_FAIL;
    if (!alive) {
        Abandon(session, RTCTR_REJECT);
        return;
    }
    m_incomingCallPromptOpen = false;
    if (FAILED(prompt))
        m_client->PlayRing(RTCRT_PHONE, false); // no prompt ever rang: stop the first ring here

    // While the prompt was open the caller may have given up, or the user logged off.
    RTC_SESSION_STATE state = RTCSS_DISCONNECTED;
    const bool stillRinging = SUCCEEDED(session->get_State(state)) && state != RTCSS_DISCONNECTED;
    if (FAILED(prompt) || !accepted || !stillRinging || !m_profile) {
        // Taken too late: the caller had given up, so the user missed the call.
        if (SUCCEEDED(prompt) && accepted && !stillRinging && m_profile)
            m_display.AddCallLogEntry(uri, name, 2);
        Abandon(session, RTCTR_REJECT);
        return;
    }
    if (FAILED(session->Answer())) {
        Abandon(session, RTCTR_NORMAL);
        return;
    }
    m_display.AddCallLogEntry(uri, name, 1);
    if (!alive) { // the main window went while a box reported an unusable call log
        Abandon(session, RTCTR_NORMAL);
        return;
    }
    QString number = uri;
    ToDisplayNumber(number);
    m_display.SetDialedNumber(number);
    m_display.SelectPhoneView();
    if (FAILED(CreateSessionWindow(session, type)))
        Abandon(session, RTCTR_NORMAL);
}

HRESULT CClientEngine::InvokeTuningWizard()
{
    if (g_activeCallWindow) {
        ShowMessage(QStringLiteral("A call is in progress!"));
        return S_FALSE;
    }
    if (!m_client)
        return E_FAIL;
    return m_client->InvokeTuningWizard(m_display.OwnerWindow());
}
