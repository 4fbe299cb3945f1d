#include "CallSession.h"

#include "AudioControl.h"
#include "CoreHost.h"
#include "LinphoneClient.h"
#include "SipAddress.h"
#include "SipStatus.h"

#include "platform/rtc/RtcEvents.h"

#include <QLoggingCategory>
#include <QTimer>

#include <linphone++/linphone.hh>

namespace {

Q_LOGGING_CATEGORY(lcCalls, "orvalo.calls")

// Time for the library to take a BYE the program has already reported.
constexpr int kRemoteHangUpCheckMs = 2000;

std::shared_ptr<linphone::CallParams> VoiceParams(const std::shared_ptr<linphone::Core>& core,
                                                  const std::shared_ptr<linphone::Call>& call)
{
    auto params = core->createCallParams(call);
    params->enableVideo(false);
    return params;
}

} // namespace

CCallSession::CCallSession(std::weak_ptr<CLinphoneClient> client, RTC_SESSION_TYPE type)
    : CSessionBase(std::move(client), type)
{
}

std::shared_ptr<CCallSession> CCallSession::Incoming(const std::shared_ptr<CLinphoneClient>& client,
                                                     const std::shared_ptr<linphone::Call>& call)
{
    auto session = std::make_shared<CCallSession>(client, RTCST_PC_TO_PC);
    session->m_call = call;
    auto remote = call->getRemoteAddress();
    auto participant =
        session->AddParticipantObject(BareUri(remote), QString::fromStdString(remote->getDisplayName()), false);
    session->ChangeParticipantState(participant, RTCPS_INCOMING);
    session->ChangeState(RTCSS_INCOMING);
    return session;
}

bool CCallSession::Holds(linphone::Call* call) const
{
    return m_call && call && m_call->cPtr() == call->cPtr();
}

bool CCallSession::mediaActive() const
{
    return m_call && m_state != RTCSS_DISCONNECTED && m_state != RTCSS_IDLE;
}

std::shared_ptr<CParticipant> CCallSession::remote() const
{
    return m_participants.empty() ? nullptr : m_participants.front();
}

HRESULT CCallSession::Answer()
{
    auto client = RunningClient();
    if (!client || !m_call)
        return RTC_E_INVALID_STATE;
    if (m_state != RTCSS_INCOMING)
        return RTC_E_INVALID_STATE;
    if (m_call->acceptWithParams(VoiceParams(client->core(), m_call)) != 0)
        return E_FAIL;
    ChangeParticipantState(remote(), RTCPS_ANSWERING);
    ChangeState(RTCSS_ANSWERING);
    client->Wake();
    return S_OK;
}

HRESULT CCallSession::Terminate(RTC_TERMINATE_REASON reason)
{
    if (m_state == RTCSS_DISCONNECTED)
        return S_FALSE;
    auto client = RunningClient();
    if (!client || !m_call) {
        Disconnect(S_OK, {});
        return S_OK;
    }
    if (m_state != RTCSS_INCOMING) {
        HangUpAheadOfLibrary(*client);
        return S_OK;
    }
    linphone::Status result = 0;
    switch (reason) {
    case RTCTR_BUSY: result = m_call->decline(linphone::Reason::Busy); break;
    case RTCTR_DND: result = m_call->decline(linphone::Reason::DoNotDisturb); break;
    case RTCTR_TIMEOUT: result = m_call->decline(linphone::Reason::NotAnswered); break;
    default: result = m_call->decline(linphone::Reason::Declined); break;
    }
    client->Wake();
    return result == 0 ? S_OK : E_FAIL;
}

// Stopping the streams and writing the library's call history take the library
// about 10 ms on this thread: the window says the call ended first, as it does
// for the far end's hang-up, and the library hangs up right after.
void CCallSession::HangUpAheadOfLibrary(CLinphoneClient& client)
{
    Disconnect(S_OK, {});
    client.host().pump().AfterPostedEvents([call = m_call] {
        // A call not yet answered is cancelled, an established one hung up.
        const linphone::Call::State state = call->getState();
        if (state == linphone::Call::State::End || state == linphone::Call::State::Released ||
            state == linphone::Call::State::Error)
            return;
        if (call->terminate() != 0)
            qCWarning(lcCalls) << "the library did not hang up the call in state" << static_cast<int>(state);
    });
}

HRESULT CCallSession::AddParticipant(const QString& uri, const QString& name, RtcParticipantPtr& participant)
{
    auto client = RunningClient();
    if (!client)
        return RTC_E_INVALID_STATE;
    if (m_call || !m_participants.empty() || m_state != RTCSS_IDLE)
        return RTC_E_INVALID_STATE; // one remote party per voice session
    auto core = client->core();
    auto address = core->createAddress(uri.toStdString());
    if (!address || !address->isSip() || address->getUsername().empty())
        return E_INVALIDARG;
    if (!name.isEmpty())
        address->setDisplayName(name.toStdString());

    auto added = AddParticipantObject(BareUri(address), name, true);
    ChangeParticipantState(added, RTCPS_PENDING);
    ChangeState(RTCSS_INPROGRESS);
    auto self = std::static_pointer_cast<CCallSession>(shared_from_this());
    client->AddCall(self);
    // The library reports the new call's first states before it returns it.
    client->SetPlacingSession(this);
    m_call = core->inviteAddressWithParams(address, VoiceParams(core, nullptr));
    client->SetPlacingSession(nullptr);
    if (!m_call) {
        client->RemoveCall(this);
        Disconnect(E_FAIL, {});
        return E_FAIL;
    }
    client->UpdateMediaActivity();
    participant = added;
    return S_OK;
}

HRESULT CCallSession::RemoveParticipant(const RtcParticipantPtr& participant)
{
    if (!FindParticipant(participant))
        return E_INVALIDARG;
    // The only party leaving ends the call.
    return Terminate(RTCTR_NORMAL);
}

HRESULT CCallSession::get_CanAddParticipants(bool& canAdd)
{
    canAdd = false;
    return S_OK;
}

HRESULT CCallSession::SendMessage(const QString&, const QString&, int)
{
    return RTC_E_INVALID_STATE;
}

HRESULT CCallSession::SendMessageStatus(RTC_MESSAGING_USER_STATUS, int)
{
    return RTC_E_INVALID_STATE;
}

void CCallSession::OnCallState(linphone::Call::State state)
{
    using State = linphone::Call::State;
    auto client = m_client.lock();
    switch (state) {
    case State::OutgoingProgress: ChangeParticipantState(remote(), RTCPS_INPROGRESS); break;
    case State::OutgoingRinging:
    case State::OutgoingEarlyMedia: ChangeParticipantState(remote(), RTCPS_ALERTING); break;
    case State::Connected:
        ChangeParticipantState(remote(), RTCPS_CONNECTED);
        ChangeState(RTCSS_CONNECTED);
        break;
    case State::StreamsRunning:
        ChangeParticipantState(remote(), RTCPS_CONNECTED);
        ChangeState(RTCSS_CONNECTED);
        if (client)
            client->audio().OnCallMediaStarted(*this);
        if (!m_mediaStarted) {
            m_mediaStarted = true;
            PostMedia(RTCMET_STARTED, RTCMER_NORMAL);
        }
        break;
    case State::Paused:
    case State::PausedByRemote:
        ChangeState(RTCSS_HOLD);
        if (m_mediaStarted) {
            m_mediaStarted = false;
            PostMedia(RTCMET_STOPPED, RTCMER_HOLD);
        }
        break;
    case State::Error:
    case State::End:
        Disconnect(StatusFromError(m_call ? m_call->getErrorInfo() : nullptr),
                   m_call ? QString::fromStdString(m_call->getErrorInfo()->getPhrase()) : QString());
        break;
    case State::Released:
        Disconnect(S_OK, {});
        m_call.reset();
        if (client)
            client->RemoveCall(this);
        break;
    default: break;
    }
    if (client)
        client->UpdateMediaActivity();
}

void CCallSession::Disconnect(HRESULT status, const QString& text)
{
    if (m_state == RTCSS_DISCONNECTED)
        return;
    if (m_mediaStarted) {
        m_mediaStarted = false;
        PostMedia(RTCMET_STOPPED, RTCMER_NORMAL);
    }
    ChangeParticipantState(remote(), RTCPS_DISCONNECTED, status);
    ChangeState(RTCSS_DISCONNECTED, status, text);
}

void CCallSession::PostMedia(RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON reason)
{
    for (int media : {RTCMT_AUDIO_SEND, RTCMT_AUDIO_RECEIVE})
        PostMedia(media, type, reason);
}

void CCallSession::PostMedia(int media, RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON reason)
{
    auto client = m_client.lock();
    if (!client)
        return;
    auto event = std::make_shared<IRTCMediaEvent>();
    event->m_mediaType = media;
    event->m_eventType = type;
    event->m_eventReason = reason;
    client->events().Post(RTCE_MEDIA, event);
}

void CCallSession::OnMicrophoneFailed()
{
    if (m_microphoneFailed)
        return;
    m_microphoneFailed = true;
    PostMedia(RTCMT_AUDIO_SEND, RTCMET_FAILED, RTCMER_BAD_DEVICE);
}

void CCallSession::OnDtmfReceived(int dtmf)
{
    auto client = m_client.lock();
    if (!client)
        return;
    // Received tones are told as INFO events in the form of a SIP INFO DTMF relay.
    auto event = std::make_shared<IRTCInfoEvent>();
    event->m_session = shared_from_this();
    event->m_participant = remote();
    event->m_infoHeader = QStringLiteral("application/dtmf-relay");
    event->m_info = QStringLiteral("Signal=%1\r\nDuration=100\r\n").arg(QChar(dtmf));
    client->events().Post(RTCE_INFO, event);
}

QByteArray CCallSession::callId() const
{
    return m_call ? QByteArray::fromStdString(m_call->getCallLog()->getCallId()) : QByteArray();
}

bool CCallSession::OnRemoteHangUpArriving()
{
    if (!m_call || m_state == RTCSS_DISCONNECTED)
        return false;
    Disconnect(S_OK, {});
    std::weak_ptr<CSessionBase> weak = weak_from_this();
    QTimer::singleShot(kRemoteHangUpCheckMs, [weak] {
        if (auto self = std::static_pointer_cast<CCallSession>(weak.lock()))
            self->EndIfStillUp();
    });
    return true;
}

void CCallSession::EndIfStillUp()
{
    using State = linphone::Call::State;
    if (!m_call)
        return;
    const State state = m_call->getState();
    if (state == State::End || state == State::Released || state == State::Error)
        return;
    // The BYE belonged to no dialog of this call; the window has closed all the same.
    qCWarning(lcCalls) << "a BYE with the call's Call-ID did not end it; hanging up";
    m_call->terminate();
}

void CCallSession::OnAuthenticationTimeout()
{
    if (!m_call || m_state != RTCSS_INPROGRESS)
        return;
    m_call->terminate();
    Disconnect(RTC_E_STATUS_CLIENT_PROXY_AUTH_REQUIRED, QStringLiteral("Proxy Authentication Required"));
}

void CCallSession::Detach()
{
    Disconnect(S_OK, {});
    m_call.reset();
}
