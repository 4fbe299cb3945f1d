#include "Peer.h"

#include "Report.h"

#include <QDir>
#include <QPointer>

#include <algorithm>

namespace {

constexpr int kStopTimeoutMs = 10000;

// Hands the layer's events to the peer through the event loop.
class CPeerSink final : public IRTCEventNotification {
public:
    explicit CPeerSink(CPeer* peer) : m_peer(peer) {}
    HRESULT Event(RTC_EVENT type, const RtcEventPtr& event) override
    {
        QPointer<CPeer> peer = m_peer;
        QMetaObject::invokeMethod(
            m_peer,
            [peer, type, event] {
                if (peer)
                    peer->Handle(type, event);
            },
            Qt::QueuedConnection);
        return S_OK;
    }

private:
    QPointer<CPeer> m_peer;
};

bool IsMessageSession(const RtcSessionPtr& session)
{
    RTC_SESSION_TYPE type = RTCST_PC_TO_PC;
    return session && SUCCEEDED(session->get_Type(type)) && (type == RTCST_IM || type == RTCST_MULTIPARTY_IM);
}

} // namespace

CPeer::CPeer(PeerSettings settings, QObject* parent) : QObject(parent), m_settings(std::move(settings))
{
    if (m_settings.presence)
        m_presence.emplace(*m_settings.presence,
                           QDir(m_settings.client.dataDir).filePath(QStringLiteral("presence.xml")));
    m_stopGuard.setSingleShot(true);
    connect(&m_stopGuard, &QTimer::timeout, this, [this] { Finish(1); });
}

CPeer::~CPeer()
{
    if (m_client)
        m_client->Shutdown();
}

QString CPeer::UserUri() const
{
    const QString uri = QStringLiteral("sip:%1@%2").arg(m_settings.user, m_settings.domain);
    return m_settings.displayName.isEmpty() ? uri : QStringLiteral("\"%1\" <%2>").arg(m_settings.displayName, uri);
}

bool CPeer::Start()
{
    if (FAILED(CreateLinphoneRtcClient(m_settings.client, m_client)) || FAILED(m_client->Initialize())) {
        Say(QStringLiteral("error the client did not start"));
        return false;
    }
    m_client->put_EventFilter(RTCEF_CLIENT | RTCEF_REGISTRATION_STATE_CHANGE | RTCEF_SESSION_STATE_CHANGE |
                              RTCEF_PROFILE | RTCEF_INFO | RTCEF_MESSAGING | RTCEF_WATCHER);
    m_client->Advise(std::make_shared<CPeerSink>(this), m_cookie);
    m_client->put_AllowedPorts(RTCTR_UDP | RTCTR_TCP, RTCLM_DYNAMIC);
    m_client->put_AnswerMode(RTCST_PC_TO_PC, RTCAM_AUTOMATICALLY_ACCEPT);
    m_client->put_AnswerMode(RTCST_PC_TO_PHONE, RTCAM_AUTOMATICALLY_ACCEPT);
    m_client->put_AnswerMode(RTCST_IM, RTCAM_AUTOMATICALLY_ACCEPT);
    m_client->put_AnswerMode(RTCST_MULTIPARTY_IM, RTCAM_AUTOMATICALLY_ACCEPT);
    m_client->put_ClientName(QStringLiteral("Orvalo Peer"));
    m_client->put_ClientCurVer(QStringLiteral(ORVALO_PEER_VERSION));
    if (FAILED(m_client->provisioning()->GetProfile({}, {}, UserUri(), m_settings.server, m_settings.transport, 0))) {
        Say(QStringLiteral("error the logon could not start"));
        return false;
    }
    return true;
}

void CPeer::Stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_stopGuard.start(kStopTimeoutMs);
    if (!m_client || FAILED(m_client->PrepareForShutdown()))
        Finish(0);
    else
        m_client->Shutdown();
}

void CPeer::Finish(int exitCode)
{
    m_stopGuard.stop();
    m_sessions.clear();
    m_profile.reset();
    if (m_client) {
        m_client->Unadvise(m_cookie);
        m_client->Shutdown();
    }
    emit finished(exitCode);
}

void CPeer::Handle(RTC_EVENT type, const RtcEventPtr& event)
{
    switch (type) {
    case RTCE_PROFILE: OnProfile(static_cast<const IRTCProfileEvent2&>(*event)); break;
    case RTCE_REGISTRATION_STATE_CHANGE:
        OnRegistration(static_cast<const IRTCRegistrationStateChangeEvent&>(*event));
        break;
    case RTCE_SESSION_STATE_CHANGE: OnSession(static_cast<const IRTCSessionStateChangeEvent&>(*event)); break;
    case RTCE_INFO: OnInfo(static_cast<const IRTCInfoEvent&>(*event)); break;
    case RTCE_CLIENT: OnClient(static_cast<const IRTCClientEvent&>(*event)); break;
    case RTCE_MESSAGING: m_echo.OnMessaging(static_cast<const IRTCMessagingEvent&>(*event)); break;
    case RTCE_WATCHER:
        if (m_presence)
            m_presence->OnWatcher(static_cast<const IRTCWatcherEvent2&>(*event));
        break;
    default: break;
    }
}

void CPeer::OnProfile(const IRTCProfileEvent2& event)
{
    if (FAILED(event.m_statusCode) || FAILED(event.get_Profile(m_profile))) {
        Say(QStringLiteral("error no profile ") + Hex(event.m_statusCode));
        Finish(1);
        return;
    }
    m_profile->put_AllowedAuth(RTCAU_DIGEST);
    m_client->provisioning()->EnableProfile(m_profile, RTCRF_REGISTER_ALL);
}

void CPeer::OnRegistration(const IRTCRegistrationStateChangeEvent& event)
{
    switch (event.m_state) {
    case RTCRS_REGISTERED:
        Say(QStringLiteral("registered ") + UserUri());
        if (m_presence)
            m_presence->Publish(*m_client, m_profile);
        break;
    case RTCRS_REJECTED:
    case RTCRS_ERROR:
        // The first REGISTER goes out without credentials; its challenge is answered once.
        if (m_credentialRetries++ == 0 && event.m_state == RTCRS_REJECTED && !m_stopping) {
            m_profile->SetCredentials({}, m_settings.user, m_settings.password);
            m_client->provisioning()->EnableProfile(m_profile, RTCRF_REGISTER_ALL);
        } else {
            Say(QStringLiteral("error logon failed ") + Hex(event.m_statusCode));
            Stop();
        }
        break;
    case RTCRS_LOGGED_OFF:
        Say(QStringLiteral("logged-off"));
        Stop();
        break;
    default: break;
    }
}

void CPeer::OnSession(const IRTCSessionStateChangeEvent& event)
{
    RtcSessionPtr session = event.m_session;
    // A message session is opened and accepted by the layer; its messages are the news.
    if (IsMessageSession(session))
        return;
    switch (event.m_state) {
    case RTCSS_INCOMING: {
        m_sessions.push_back(session);
        std::shared_ptr<IRTCEnumParticipants> participants;
        RtcParticipantPtr caller;
        QString uri;
        if (SUCCEEDED(session->EnumerateParticipants(participants)) && participants->Next(caller) == S_OK)
            caller->get_UserURI(uri);
        Say(QStringLiteral("incoming ") + uri);
        break;
    }
    case RTCSS_CONNECTED: Say(QStringLiteral("connected")); break;
    case RTCSS_DISCONNECTED:
        Say(QStringLiteral("disconnected ") + Hex(event.m_statusCode));
        m_sessions.erase(std::remove(m_sessions.begin(), m_sessions.end(), session), m_sessions.end());
        break;
    default: break;
    }
}

void CPeer::OnInfo(const IRTCInfoEvent& event)
{
    if (event.m_infoHeader == QLatin1String("application/dtmf-relay"))
        Say(QStringLiteral("dtmf ") + event.m_info.section(u'=', 1, 1).left(1));
}

void CPeer::OnClient(const IRTCClientEvent& event)
{
    if (event.m_eventType == RTCCET_ASYNC_CLEANUP_DONE)
        Finish(0);
}
