#include "LinphoneClient.h"

#include "AudioControl.h"
#include "CallSession.h"
#include "CoreHost.h"
#include "LinphoneProfile.h"
#include "MessageSession.h"
#include "PresenceService.h"
#include "SipAddress.h"
#include "SipRequestText.h"

#include <linphone++/linphone.hh>

#include <QHostInfo>
#include <QLoggingCategory>

#include <algorithm>

namespace {

Q_LOGGING_CATEGORY(lcClient, "orvalo.sip.client")

// How long a request challenged by the server may wait for credentials.
constexpr int kCredentialWaitMs = 15000;
// Bounds of the asynchronous shut-down: ending calls and registrations, then stopping the core.
constexpr int kGoodbyeMs = 3000;
constexpr int kCoreStopMs = 3000;

} // namespace

// Routes the core's callbacks to the client. They all arrive inside iterate().
class CLinphoneClient::CListener final : public linphone::CoreListener {
public:
    explicit CListener(CLinphoneClient& client) : m_client(client) {}

    void onGlobalStateChanged(const std::shared_ptr<linphone::Core>&, linphone::GlobalState state,
                              const std::string&) override
    {
        m_client.OnGlobalState(static_cast<int>(state));
    }
    void onAccountRegistrationStateChanged(const std::shared_ptr<linphone::Core>&,
                                           const std::shared_ptr<linphone::Account>& account,
                                           linphone::RegistrationState state, const std::string&) override
    {
        m_client.OnRegistration(account, static_cast<int>(state));
    }
    void onCallStateChanged(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<linphone::Call>& call,
                            linphone::Call::State state, const std::string& message) override
    {
        m_client.OnCallState(call, static_cast<int>(state), message);
    }
    void onDtmfReceived(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<linphone::Call>& call,
                        int dtmf) override
    {
        if (auto session = m_client.FindCall(call.get()))
            session->OnDtmfReceived(dtmf);
    }
    void onAuthenticationRequested(const std::shared_ptr<linphone::Core>&,
                                   const std::shared_ptr<linphone::AuthInfo>& authInfo, linphone::AuthMethod) override
    {
        m_client.OnAuthenticationRequested(authInfo->getDomain());
    }
    void onMessageReceived(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<linphone::ChatRoom>& room,
                           const std::shared_ptr<linphone::ChatMessage>& message) override
    {
        m_client.OnMessageReceived(room, message);
    }
    void onIsComposingReceived(const std::shared_ptr<linphone::Core>&,
                               const std::shared_ptr<linphone::ChatRoom>& room) override
    {
        m_client.OnComposing(room);
    }
    void onNotifyReceived(const std::shared_ptr<linphone::Core>&, const std::shared_ptr<linphone::Event>& event,
                          const std::string&, const std::shared_ptr<const linphone::Content>& body) override
    {
        if (m_client.running() && body)
            m_client.m_presence->OnNotify(event, body->getUtf8Text());
    }
    void onSubscriptionStateChanged(const std::shared_ptr<linphone::Core>&,
                                    const std::shared_ptr<linphone::Event>& event,
                                    linphone::SubscriptionState state) override
    {
        if (m_client.running())
            m_client.m_presence->OnSubscriptionState(event, static_cast<int>(state));
    }
    void onNetworkReachable(const std::shared_ptr<linphone::Core>&, bool reachable) override
    {
        m_client.OnNetworkReachable(reachable);
    }
    void onAudioDevicesListUpdated(const std::shared_ptr<linphone::Core>&) override
    {
        if (m_client.running())
            m_client.m_audio->OnDevicesListUpdated();
    }
    void onEcCalibrationResult(const std::shared_ptr<linphone::Core>&, linphone::EcCalibratorStatus status,
                               int delayMs) override
    {
        if (m_client.running())
            m_client.m_audio->OnEchoCalibrationResult(static_cast<int>(status), delayMs);
    }

private:
    CLinphoneClient& m_client;
};

CLinphoneClient::CLinphoneClient(LinphoneClientOptions options)
    : m_options(std::move(options)), m_host(std::make_unique<CCoreHost>(m_options)),
      m_audio(std::make_unique<CAudioControl>(*this)), m_presence(std::make_unique<CPresenceService>(*this))
{
    m_listening = {{RTCTR_UDP, RTCLM_BOTH}, {RTCTR_TCP, RTCLM_BOTH}};
    m_shutdownGuard.setSingleShot(true);
    QObject::connect(&m_shutdownGuard, &QTimer::timeout, [this] {
        if (m_stage != Stage::Stopping)
            return;
        if (m_detached)
            FinishShutdown();
        else
            ContinueShutdown(true);
    });
}

CLinphoneClient::~CLinphoneClient()
{
    m_events.UnadviseAll();
    DetachAll();
    m_host->Release();
}

HRESULT CLinphoneClient::get_Version(int& version)
{
    version = kVersion;
    return S_OK;
}

HRESULT CLinphoneClient::Initialize()
{
    if (m_stage != Stage::Created)
        return RTC_E_INVALID_STATE;
    m_listener = std::make_shared<CListener>(*this);
    const HRESULT hr = m_host->Start(m_listener);
    if (FAILED(hr))
        return hr;
    m_stage = Stage::Running;
    // Only what the guard lets through may end a call early: a hang-up from anyone
    // else never reaches the library either.
    m_host->pump().SetArrivalWatcher([this](const sockaddr* sender, const QByteArray& datagram) {
        return m_host->guard().WouldAdmit(sender, {datagram.constData(), static_cast<size_t>(datagram.size())}) &&
               OnSipArrival(datagram);
    });
    ApplyListening();
    m_host->SetUserAgent(m_clientName, m_clientVersion);
    m_audio->Start();
    return S_OK;
}

const std::shared_ptr<linphone::Core>& CLinphoneClient::core() const
{
    return m_host->core();
}

void CLinphoneClient::Wake()
{
    m_host->pump().Poke();
}

HRESULT CLinphoneClient::put_EventFilter(int filter)
{
    m_events.SetFilter(filter);
    return S_OK;
}

HRESULT CLinphoneClient::get_EventFilter(int& filter)
{
    filter = m_events.filter();
    return S_OK;
}

HRESULT CLinphoneClient::put_AllowedPorts(int transport, RTC_LISTEN_MODE mode)
{
    const int known = RTCTR_UDP | RTCTR_TCP | RTCTR_TLS;
    if (transport == 0 || (transport & ~known) || mode < RTCLM_NONE || mode > RTCLM_BOTH)
        return E_INVALIDARG;
    for (int bit : {RTCTR_UDP, RTCTR_TCP, RTCTR_TLS}) {
        if (transport & bit)
            m_listening[bit] = mode;
    }
    if (running())
        ApplyListening();
    return S_OK;
}

void CLinphoneClient::ApplyListening()
{
    auto port = [this](int transport) {
        const auto it = m_listening.find(transport);
        const RTC_LISTEN_MODE mode = it == m_listening.end() ? RTCLM_NONE : it->second;
        const bool needed = m_neededTransports & transport;
        // Talking to the service over UDP, nobody has a reason to connect to the phone over TCP.
        if (m_options.sipFromServiceOnly && transport != RTCTR_UDP && !needed)
            return 0;
        switch (mode) {
        case RTCLM_NONE: return needed ? -1 : 0;
        case RTCLM_DYNAMIC: return -1;
        case RTCLM_BOTH: return m_options.sipPort > 0 ? m_options.sipPort : -1;
        }
        return 0;
    };
    m_host->SetListening(port(RTCTR_UDP), port(RTCTR_TCP), port(RTCTR_TLS));
}

void CLinphoneClient::EnsureTransport(int transport)
{
    if (m_neededTransports & transport)
        return;
    m_neededTransports |= transport;
    ApplyListening();
}

void CLinphoneClient::AdmitSipServer(const QString& host, int port)
{
    const QHostAddress address(host);
    if (!address.isNull()) {
        m_host->guard().AddServer(address, port);
        return;
    }
    std::weak_ptr<CLinphoneClient> weak = weak_from_this();
    QHostInfo::lookupHost(host, [weak, port](const QHostInfo& info) {
        auto self = weak.lock();
        if (!self)
            return;
        if (info.error() != QHostInfo::NoError)
            qCWarning(lcClient) << "cannot resolve the SIP server" << info.hostName() << info.errorString();
        for (const QHostAddress& resolved : info.addresses())
            self->m_host->guard().AddServer(resolved, port);
    });
}

HRESULT CLinphoneClient::put_AnswerMode(RTC_SESSION_TYPE type, RTC_ANSWER_MODE mode)
{
    if (type < RTCST_PC_TO_PC || type > RTCST_APPLICATION || mode < RTCAM_OFFER_SESSION_EVENT ||
        mode > RTCAM_NOT_SUPPORTED)
        return E_INVALIDARG;
    m_answerModes[type] = mode;
    return S_OK;
}

RTC_ANSWER_MODE CLinphoneClient::AnswerMode(RTC_SESSION_TYPE type) const
{
    const auto it = m_answerModes.find(type);
    return it == m_answerModes.end() ? RTCAM_OFFER_SESSION_EVENT : it->second;
}

HRESULT CLinphoneClient::put_ClientName(const QString& name)
{
    m_clientName = name;
    if (running())
        m_host->SetUserAgent(m_clientName, m_clientVersion);
    return S_OK;
}

HRESULT CLinphoneClient::put_ClientCurVer(const QString& version)
{
    m_clientVersion = version;
    if (running())
        m_host->SetUserAgent(m_clientName, m_clientVersion);
    return S_OK;
}

HRESULT CLinphoneClient::Advise(const RtcEventSinkPtr& sink, int& cookie)
{
    return m_events.Advise(sink, cookie);
}

HRESULT CLinphoneClient::Unadvise(int cookie)
{
    return m_events.Unadvise(cookie);
}

HRESULT CLinphoneClient::CreateSession(RTC_SESSION_TYPE type, const QString&, const RtcProfilePtr& profile, int,
                                       RtcSessionPtr& session)
{
    if (!running() || m_stage == Stage::Stopping)
        return RTC_E_INVALID_STATE;
    if (profile && !FindProfile(profile))
        return E_INVALIDARG;
    switch (type) {
    case RTCST_PC_TO_PC:
    case RTCST_PC_TO_PHONE: session = std::make_shared<CCallSession>(weak_from_this(), type); return S_OK;
    case RTCST_IM:
    case RTCST_MULTIPARTY_IM: session = std::make_shared<CMessageSession>(weak_from_this(), type); return S_OK;
    default: return E_INVALIDARG;
    }
}

HRESULT CLinphoneClient::get_LocalUserURI(QString& uri)
{
    if (auto profile = ActiveProfile()) {
        uri = profile->userUri();
        return S_OK;
    }
    if (!running())
        return RTC_E_INVALID_STATE;
    uri = QString::fromStdString(core()->getIdentity());
    return S_OK;
}

HRESULT CLinphoneClient::SendDTMF(RTC_DTMF dtmf)
{
    static const char kTones[] = "0123456789*#ABCD!";
    if (dtmf < RTC_DTMF_0 || dtmf > RTC_DTMF_FLASH)
        return E_INVALIDARG;
    if (!running())
        return RTC_E_INVALID_STATE;
    const char tone = kTones[dtmf];
    auto session = ActiveCall();
    if (session && session->call() && session->state() == RTCSS_CONNECTED) {
        // RFC 4733 events in the call's RTP stream.
        const HRESULT hr = session->call()->sendDtmf(tone) == 0 ? S_OK : E_FAIL;
        Wake();
        return hr;
    }
    return m_audio->LocalTone(tone);
}

HRESULT CLinphoneClient::get_Volume(RTC_AUDIO_DEVICE device, int& level)
{
    return m_audio->GetVolume(device, level);
}

HRESULT CLinphoneClient::put_Volume(RTC_AUDIO_DEVICE device, int level)
{
    return m_audio->PutVolume(device, level);
}

HRESULT CLinphoneClient::get_AudioMuted(RTC_AUDIO_DEVICE device, bool& muted)
{
    return m_audio->GetMuted(device, muted);
}

HRESULT CLinphoneClient::put_AudioMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    return m_audio->PutMuted(device, muted);
}

HRESULT CLinphoneClient::get_NetworkQuality(int& quality)
{
    return m_audio->NetworkQuality(quality);
}

HRESULT CLinphoneClient::get_MediaCapabilities(int& capabilities)
{
    return m_audio->MediaCapabilities(capabilities);
}

HRESULT CLinphoneClient::PlayRing(RTC_RING_TYPE type, bool play)
{
    return m_audio->PlayRing(type, play);
}

HRESULT CLinphoneClient::InvokeTuningWizard(QObject* owner)
{
    if (!running())
        return RTC_E_INVALID_STATE;
    return m_audio->RunTuningDialog(owner);
}

IRTCClientPresence2* CLinphoneClient::presence()
{
    return m_presence.get();
}

HRESULT CLinphoneClient::GetProfile(const QString&, const QString& password, const QString& userUri,
                                    const QString& server, int transport, int cookie)
{
    if (!running() || m_stage == Stage::Stopping)
        return RTC_E_INVALID_STATE;
    if (transport != RTCTR_UDP && transport != RTCTR_TCP && transport != RTCTR_TLS)
        return E_INVALIDARG;
    auto address = linphone::Factory::get()->createAddress(userUri.toStdString());
    QString host = server.trimmed();
    if (host.startsWith(QStringLiteral("sip:"), Qt::CaseInsensitive))
        host = host.mid(4);
    auto proxy = linphone::Factory::get()->createAddress("sip:" + host.toStdString());
    if (!address || !address->isSip() || address->getUsername().empty() || host.isEmpty() || !proxy)
        return E_INVALIDARG;
    auto profile = std::make_shared<CLinphoneProfile>(weak_from_this(), userUri, host, transport);
    if (!password.isEmpty())
        profile->SetCredentials({}, {}, password);
    m_profiles.push_back(profile);
    // The answer comes as an event, after this call has returned.
    auto event = std::make_shared<IRTCProfileEvent2>();
    event->m_profile = profile;
    event->m_cookie = cookie;
    event->m_eventType = RTCPFET_PROFILE_GET;
    m_events.Post(RTCE_PROFILE, event);
    return S_OK;
}

HRESULT CLinphoneClient::EnableProfile(const RtcProfilePtr& profile, int registerFlags)
{
    if (!running() || m_stage == Stage::Stopping)
        return RTC_E_INVALID_STATE;
    auto own = FindProfile(profile);
    if (!own)
        return E_INVALIDARG;
    // The last profile enabled places the calls.
    m_profiles.erase(std::remove(m_profiles.begin(), m_profiles.end(), own), m_profiles.end());
    m_profiles.push_back(own);
    return own->Enable(registerFlags);
}

HRESULT CLinphoneClient::EnableProfileEx(const RtcProfilePtr& profile, int registerFlags, int)
{
    // Buddies, watchers and presence live in the local store; nothing roams.
    return EnableProfile(profile, registerFlags);
}

HRESULT CLinphoneClient::DisableProfile(const RtcProfilePtr& profile)
{
    auto own = FindProfile(profile);
    if (!own)
        return E_INVALIDARG;
    own->Disable();
    return S_OK;
}

std::shared_ptr<CLinphoneProfile> CLinphoneClient::FindProfile(const RtcProfilePtr& profile) const
{
    auto it =
        std::find_if(m_profiles.begin(), m_profiles.end(), [&profile](const auto& own) { return own == profile; });
    return it == m_profiles.end() ? nullptr : *it;
}

std::shared_ptr<CLinphoneProfile> CLinphoneClient::FindProfile(linphone::Account* account) const
{
    auto it =
        std::find_if(m_profiles.begin(), m_profiles.end(), [account](const auto& own) { return own->Owns(account); });
    return it == m_profiles.end() ? nullptr : *it;
}

std::shared_ptr<CLinphoneProfile> CLinphoneClient::ActiveProfile() const
{
    auto it = std::find_if(m_profiles.rbegin(), m_profiles.rend(), [](const auto& own) { return own->enabled(); });
    return it == m_profiles.rend() ? nullptr : *it;
}

void CLinphoneClient::AddCall(const std::shared_ptr<CCallSession>& session)
{
    if (std::find(m_calls.begin(), m_calls.end(), session) == m_calls.end())
        m_calls.push_back(session);
}

void CLinphoneClient::RemoveCall(const CCallSession* session)
{
    m_calls.erase(
        std::remove_if(m_calls.begin(), m_calls.end(), [session](const auto& own) { return own.get() == session; }),
        m_calls.end());
    UpdateMediaActivity();
    if (m_stage == Stage::Stopping)
        ContinueShutdown(false);
}

std::shared_ptr<CCallSession> CLinphoneClient::FindCall(linphone::Call* call) const
{
    auto it = std::find_if(m_calls.begin(), m_calls.end(), [call](const auto& own) { return own->Holds(call); });
    return it == m_calls.end() ? nullptr : *it;
}

std::shared_ptr<CCallSession> CLinphoneClient::ActiveCall() const
{
    for (RTC_SESSION_STATE state : {RTCSS_CONNECTED, RTCSS_HOLD, RTCSS_ANSWERING, RTCSS_INPROGRESS}) {
        auto it = std::find_if(m_calls.begin(), m_calls.end(),
                               [state](const auto& own) { return own->call() && own->state() == state; });
        if (it != m_calls.end())
            return *it;
    }
    return nullptr;
}

void CLinphoneClient::UpdateMediaActivity()
{
    const bool active =
        std::any_of(m_calls.begin(), m_calls.end(), [](const auto& session) { return session->mediaActive(); });
    if (!m_detached)
        m_host->pump().SetMediaActive(active);
    auto call = ActiveCall();
    m_audio->OnCallActivity(call && call->state() == RTCSS_CONNECTED);
}

void CLinphoneClient::PostClientEvent(RTC_CLIENT_EVENT_TYPE type)
{
    auto event = std::make_shared<IRTCClientEvent>();
    event->m_eventType = type;
    event->m_client = shared_from_this();
    m_events.Post(RTCE_CLIENT, event);
}

void CLinphoneClient::OnCallState(const std::shared_ptr<linphone::Call>& call, int state, const std::string&)
{
    if (!running())
        return;
    const auto callState = static_cast<linphone::Call::State>(state);
    auto session = FindCall(call.get());
    if (!session && m_placing) {
        m_placing->Bind(call);
        session = std::static_pointer_cast<CCallSession>(m_placing->shared_from_this());
    }
    if (session)
        session->OnCallState(callState);
    else if (callState == linphone::Call::State::IncomingReceived)
        OnIncomingCall(call);
}

void CLinphoneClient::OnIncomingCall(const std::shared_ptr<linphone::Call>& call)
{
    switch (m_stage == Stage::Stopping ? RTCAM_AUTOMATICALLY_REJECT : AnswerMode(RTCST_PC_TO_PC)) {
    case RTCAM_AUTOMATICALLY_REJECT: call->decline(linphone::Reason::Declined); return;
    case RTCAM_NOT_SUPPORTED: call->decline(linphone::Reason::NotAcceptable); return;
    case RTCAM_OFFER_SESSION_EVENT: AddCall(CCallSession::Incoming(shared_from_this(), call)); break;
    case RTCAM_AUTOMATICALLY_ACCEPT: {
        auto session = CCallSession::Incoming(shared_from_this(), call);
        AddCall(session);
        session->Answer();
        break;
    }
    }
    UpdateMediaActivity();
}

void CLinphoneClient::AddChat(const std::shared_ptr<CMessageSession>& session)
{
    if (std::find(m_chats.begin(), m_chats.end(), session) == m_chats.end())
        m_chats.push_back(session);
}

void CLinphoneClient::RemoveChat(const CMessageSession* session)
{
    m_chats.erase(
        std::remove_if(m_chats.begin(), m_chats.end(), [session](const auto& own) { return own.get() == session; }),
        m_chats.end());
}

std::shared_ptr<CMessageSession> CLinphoneClient::FindChat(const QString& uri) const
{
    // The newest conversation with the party gets its messages.
    auto it = std::find_if(m_chats.rbegin(), m_chats.rend(), [&uri](const auto& own) { return own->Serves(uri); });
    return it == m_chats.rend() ? nullptr : *it;
}

void CLinphoneClient::OnMessageReceived(const std::shared_ptr<linphone::ChatRoom>& room,
                                        const std::shared_ptr<linphone::ChatMessage>& message)
{
    if (!running())
        return;
    auto session = FindChat(BareUri(room->getPeerAddress()));
    if (!session) {
        const RTC_ANSWER_MODE mode = AnswerMode(RTCST_IM);
        if (m_stage == Stage::Stopping || mode == RTCAM_AUTOMATICALLY_REJECT || mode == RTCAM_NOT_SUPPORTED)
            return;
        session = CMessageSession::Incoming(shared_from_this(), room,
                                            QString::fromStdString(message->getFromAddress()->getDisplayName()));
        AddChat(session);
    }
    session->OnMessageReceived(message);
}

void CLinphoneClient::OnComposing(const std::shared_ptr<linphone::ChatRoom>& room)
{
    if (!running())
        return;
    if (auto session = FindChat(BareUri(room->getPeerAddress())))
        session->OnComposing(room);
}

void CLinphoneClient::OnRegistration(const std::shared_ptr<linphone::Account>& account, int state)
{
    if (!running())
        return;
    if (auto profile = FindProfile(account.get()))
        profile->OnRegistrationState(static_cast<linphone::RegistrationState>(state));
    if (m_stage == Stage::Stopping)
        ContinueShutdown(false);
}

void CLinphoneClient::OnAuthenticationRequested(const std::string& domain)
{
    if (!running())
        return;
    // A challenged request waits for credentials; if none come, it must not hang.
    const QString challenged = QString::fromStdString(domain);
    std::weak_ptr<CLinphoneClient> weak = weak_from_this();
    QTimer::singleShot(kCredentialWaitMs, [weak, challenged] {
        if (auto self = weak.lock())
            self->OnAuthenticationTimeout(challenged);
    });
}

void CLinphoneClient::OnAuthenticationTimeout(const QString& domain)
{
    if (!running())
        return;
    const bool answered = std::any_of(m_profiles.begin(), m_profiles.end(), [&domain](const auto& profile) {
        return profile->hasCredentials() && (domain.isEmpty() || profile->domain() == domain);
    });
    if (answered)
        return;
    const auto calls = m_calls;
    for (const auto& session : calls)
        session->OnAuthenticationTimeout();
}

bool CLinphoneClient::OnSipArrival(const QByteArray& datagram)
{
    if (!running())
        return false;
    const QByteArray callId = CallIdOfBye(datagram);
    if (callId.isEmpty())
        return false;
    const auto it = std::find_if(m_calls.begin(), m_calls.end(),
                                 [&callId](const auto& session) { return session->callId() == callId; });
    return it != m_calls.end() && (*it)->OnRemoteHangUpArriving();
}

void CLinphoneClient::OnNetworkReachable(bool reachable)
{
    if (!running())
        return;
    for (const auto& profile : m_profiles)
        profile->OnNetworkReachable(reachable);
}

HRESULT CLinphoneClient::PrepareForShutdown()
{
    if (m_stage != Stage::Running)
        return RTC_E_INVALID_STATE;
    m_stage = Stage::Stopping;
    // Say goodbye first: hang up, unregister; then stop the core.
    const auto calls = m_calls;
    for (const auto& session : calls)
        session->Terminate(RTCTR_SHUTDOWN);
    m_presence->Stop();
    for (const auto& profile : m_profiles)
        profile->Disable();
    m_shutdownGuard.start(kGoodbyeMs);
    ContinueShutdown(false);
    return S_OK;
}

void CLinphoneClient::ContinueShutdown(bool force)
{
    if (m_stage != Stage::Stopping || m_detached)
        return;
    const bool registered = std::any_of(m_profiles.begin(), m_profiles.end(), [](const auto& profile) {
        RTC_REGISTRATION_STATE state = RTCRS_NOT_REGISTERED;
        profile->get_State(state);
        return profile->account() && state != RTCRS_NOT_REGISTERED;
    });
    if (!force && (!m_calls.empty() || registered))
        return;
    // No library object may outlive the core: they are all dropped before it stops.
    DetachAll();
    m_host->StopAsync();
    m_shutdownGuard.start(kCoreStopMs);
    Wake();
}

void CLinphoneClient::OnGlobalState(int state)
{
    if (static_cast<linphone::GlobalState>(state) == linphone::GlobalState::Off && m_stage == Stage::Stopping &&
        m_detached) {
        // Released from the event loop: the core is still inside iterate() here.
        std::weak_ptr<CLinphoneClient> weak = weak_from_this();
        QTimer::singleShot(0, [weak] {
            if (auto self = weak.lock())
                self->FinishShutdown();
        });
    }
}

void CLinphoneClient::FinishShutdown()
{
    if (m_stage != Stage::Stopping)
        return;
    m_shutdownGuard.stop();
    m_host->Release();
    m_stage = Stage::Stopped;
    PostClientEvent(RTCCET_ASYNC_CLEANUP_DONE);
}

HRESULT CLinphoneClient::Shutdown()
{
    switch (m_stage) {
    case Stage::Stopping: return S_OK; // the asynchronous stop ends with its own event
    case Stage::Running:
        m_stage = Stage::Stopping;
        DetachAll();
        m_host->Release();
        break;
    default: break;
    }
    m_stage = Stage::Released;
    return S_OK;
}

void CLinphoneClient::DetachAll()
{
    if (m_detached)
        return;
    m_detached = true;
    m_audio->Stop();
    m_presence->Detach();
    const auto calls = std::move(m_calls);
    m_calls.clear();
    for (const auto& session : calls)
        session->Detach();
    const auto chats = std::move(m_chats);
    m_chats.clear();
    for (const auto& session : chats)
        session->Detach();
    for (const auto& profile : m_profiles)
        profile->Detach();
    m_placing = nullptr;
}
