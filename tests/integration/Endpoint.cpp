#include "Endpoint.h"

#include <QDeadlineTimer>
#include <QDir>

const CEndpoint::Account CEndpoint::kAlice{QStringLiteral("15551230001"), QStringLiteral("alicepw1")};
const CEndpoint::Account CEndpoint::kBob{QStringLiteral("15551230002"), QStringLiteral("bobpw2")};
const CEndpoint::Account CEndpoint::kCarol{QStringLiteral("9995550001"), QStringLiteral("carolpw3")};
const CEndpoint::Account CEndpoint::kDave{QStringLiteral("15551230003"), QStringLiteral("davepw4")};
const CEndpoint::Account CEndpoint::kErin{QStringLiteral("15551230004"), QStringLiteral("erinpw5")};
const CEndpoint::Account CEndpoint::kFrank{QStringLiteral("15551230005"), QStringLiteral("frankpw6")};

CEndpoint::CEndpoint(const QString& dataDir, const QString& playFile, const QString& recordFile,
                     const QString& trustedCaFile)
    : m_events(std::make_shared<CEventQueue>())
{
    QDir().mkpath(dataDir);
    m_options.dataDir = dataDir;
    m_options.playFile = playFile;
    m_options.recordFile = recordFile;
    m_options.trustedCaFile = trustedCaFile;
    // For diagnosing a failing test: ORVALO_TEST_TRACE_DIR collects the SIP trace of every endpoint.
    if (const QString traces = qEnvironmentVariable("ORVALO_TEST_TRACE_DIR"); !traces.isEmpty())
        m_options.sipTraceFile = QDir(traces).filePath(QDir(dataDir).dirName() + QStringLiteral(".log"));
    CreateLinphoneRtcClient(m_options, m_client);
    m_client->Initialize();
    m_client->put_EventFilter(kAllEvents);
    m_client->Advise(m_events, m_cookie);
    m_client->put_AllowedPorts(RTCTR_TCP, RTCLM_BOTH);
    m_client->put_AllowedPorts(RTCTR_UDP, RTCLM_BOTH);
    m_client->put_AnswerMode(RTCST_PC_TO_PC, RTCAM_OFFER_SESSION_EVENT);
    m_client->put_AnswerMode(RTCST_IM, RTCAM_AUTOMATICALLY_ACCEPT);
    m_client->put_AnswerMode(RTCST_MULTIPARTY_IM, RTCAM_AUTOMATICALLY_ACCEPT);
    m_client->put_ClientName(QStringLiteral("Orvalo Phone"));
    m_client->put_ClientCurVer(QStringLiteral("Built:test"));
}

CEndpoint::~CEndpoint()
{
    m_profile.reset();
    if (m_client) {
        m_client->Unadvise(m_cookie);
        m_client->Shutdown();
    }
}

RtcProfilePtr CEndpoint::RequestProfile(const CSipService& service, const Account& account, int transport,
                                        const QString& displayName)
{
    const int cookie = 1000 + transport;
    QString uri = CSipService::Uri(account.number);
    if (!displayName.isEmpty())
        uri = QStringLiteral("\"%1\" <%2>").arg(displayName, uri);
    const QString server = transport == RTCTR_TLS ? service.tlsServer() : service.server();
    if (FAILED(m_client->provisioning()->GetProfile({}, {}, uri, server, transport, cookie)))
        return nullptr;
    auto event = m_events->Take<IRTCProfileEvent2>(
        RTCE_PROFILE, [cookie](const IRTCProfileEvent2& e) { return e.m_cookie == cookie; });
    if (!event || FAILED(event->m_statusCode))
        return nullptr;
    m_profile = event->m_profile;
    m_profile->put_AllowedAuth(RTCAU_DIGEST);
    return m_profile;
}

bool CEndpoint::Logon(const CSipService& service, const Account& account, int transport, const QString& displayName)
{
    if (!RequestProfile(service, account, transport, displayName))
        return false;
    if (FAILED(m_client->provisioning()->EnableProfile(m_profile, RTCRF_REGISTER_ALL)))
        return false;
    if (!WaitRegistration(RTCRS_REJECTED))
        return false;
    m_profile->SetCredentials(CSipService::Uri(account.number), account.number, account.password);
    if (FAILED(m_client->provisioning()->EnableProfile(m_profile, RTCRF_REGISTER_ALL)))
        return false;
    return WaitRegistration(RTCRS_REGISTERED);
}

std::shared_ptr<IRTCRegistrationStateChangeEvent> CEndpoint::NextRegistration(int timeoutMs)
{
    return m_events->Next<IRTCRegistrationStateChangeEvent>(RTCE_REGISTRATION_STATE_CHANGE, timeoutMs);
}

bool CEndpoint::WaitRegistration(RTC_REGISTRATION_STATE state, int timeoutMs)
{
    return m_events->TakeThrough<IRTCRegistrationStateChangeEvent>(
               RTCE_REGISTRATION_STATE_CHANGE, [state](const auto& e) { return e.m_state == state; }, timeoutMs) !=
           nullptr;
}

RtcSessionPtr CEndpoint::Call(const QString& uri, const QString& name, RTC_SESSION_TYPE type)
{
    RtcSessionPtr session;
    if (FAILED(m_client->CreateSession(type, {}, {}, 0, session)))
        return nullptr;
    RtcParticipantPtr participant;
    if (FAILED(session->AddParticipant(uri, name, participant)))
        return nullptr;
    return session;
}

std::shared_ptr<IRTCSessionStateChangeEvent> CEndpoint::WaitSession(RTC_SESSION_STATE state,
                                                                    const RtcSessionPtr& session, int timeoutMs)
{
    return m_events->Take<IRTCSessionStateChangeEvent>(
        RTCE_SESSION_STATE_CHANGE,
        [&](const auto& e) { return e.m_state == state && (!session || e.m_session == session); }, timeoutMs);
}

RtcSessionPtr CEndpoint::WaitIncoming(int timeoutMs)
{
    auto event = WaitSession(RTCSS_INCOMING, {}, timeoutMs);
    return event ? event->m_session : nullptr;
}

bool CEndpoint::ShutDown(int timeoutMs)
{
    m_profile.reset();
    if (FAILED(m_client->PrepareForShutdown()))
        return false;
    m_client->Shutdown();
    auto done = m_events->Take<IRTCClientEvent>(
        RTCE_CLIENT, [](const auto& e) { return e.m_eventType == RTCCET_ASYNC_CLEANUP_DONE; }, timeoutMs);
    m_client->Shutdown();
    return done != nullptr;
}

bool CEndpoint::EnablePresence(const QString& storePath)
{
    return SUCCEEDED(presence().EnablePresenceEx(m_profile, storePath, 0));
}

std::shared_ptr<IRTCBuddyEvent2> CEndpoint::WaitBuddy(RTC_BUDDY_EVENT_TYPE type, const QString& uri, int timeoutMs)
{
    return m_events->Take<IRTCBuddyEvent2>(
        RTCE_BUDDY,
        [&](const auto& e) {
            QString buddyUri;
            e.m_buddy->get_PresentityURI(buddyUri);
            return e.m_eventType == type && (uri.isEmpty() || buddyUri == uri);
        },
        timeoutMs);
}

bool CEndpoint::WaitBuddyStatus(const QString& uri, RTC_PRESENCE_STATUS status, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        RtcBuddyPtr buddy;
        RTC_PRESENCE_STATUS current = RTCXS_PRESENCE_OFFLINE;
        if (SUCCEEDED(presence().get_Buddy(uri, buddy)) && SUCCEEDED(buddy->get_Status(current)) && current == status)
            return true;
        CEventQueue::Pump(10);
    } while (!deadline.hasExpired());
    return false;
}

std::shared_ptr<IRTCWatcherEvent2> CEndpoint::WaitWatcher(RTC_WATCHER_EVENT_TYPE type, const QString& uri,
                                                          int timeoutMs)
{
    return m_events->Take<IRTCWatcherEvent2>(
        RTCE_WATCHER,
        [&](const auto& e) {
            QString watcherUri;
            e.m_watcher->get_PresentityURI(watcherUri);
            return e.m_eventType == type && watcherUri == uri;
        },
        timeoutMs);
}
