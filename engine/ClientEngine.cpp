#include "ClientEngine.h"

#include "AddressRules.h"
#include "EventSink.h"
#include "MessageBox.h"
#include "PresenceStatus.h"
#include "ProcessGlobals.h"
#include "RtcEventMessage.h"
#include "SessionWnd.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>

#include <algorithm>

namespace {
Q_LOGGING_CATEGORY(lcLogon, "orvalo.engine.logon")

const QString kLogonFailed = QStringLiteral("Logon failed!");
const QString kServerLoggedOff =
    QStringLiteral("The Server has logged you off (Perhaps you logged in from another location).");

// The build's date and time, as the compiler spells them ("Nov  1 2004", "08:31:46").
QString BuildVersionText()
{
    return QStringLiteral("Built:%1.%2").arg(QLatin1String(__DATE__), QLatin1String(__TIME__));
}

int IntensityPercent(int level, int minimum, int maximum)
{
    if (maximum == minimum)
        return 0;
    return (level - minimum) * 100 / (maximum - minimum);
}
} // namespace

CClientEngine* CClientEngine::Create(const RtcClientFactory& factory, IMainWindowDisplay& display, QObject* parent)
{
    const QPointer<CClientEngine> engine = new CClientEngine(factory, display, parent);
    if (FAILED(engine->Init())) {
        delete engine; // unless its parent took it along while a box was open
        return nullptr;
    }
    return engine;
}

CClientEngine::CClientEngine(const RtcClientFactory& factory, IMainWindowDisplay& display, QObject* parent)
    : QObject(parent), m_clientFactory(factory), m_display(display)
{
    g_pClientEngine = this;
}

CClientEngine::~CClientEngine()
{
    OnDestroy();
    if (g_pClientEngine == this)
        g_pClientEngine = nullptr;
}

HRESULT CClientEngine::Init()
{
    int version = 0;
    if (!m_clientFactory || FAILED(m_clientFactory(m_client)) || !m_client || FAILED(m_client->get_Version(version))) {
        m_client.reset();
        ShowMessage(QStringLiteral("RTC Client v1.1 or higher required!"));
        return E_FAIL;
    }
    if (version < kRequiredVersion) {
        m_client.reset();
        ShowMessage(QStringLiteral("RTC Client v1.2 or higher required!"));
        return E_FAIL;
    }

    HRESULT hr = m_client->Initialize();
    if (SUCCEEDED(hr))
        hr = m_client->put_EventFilter(kEventFilter);
    if (SUCCEEDED(hr))
        hr = m_client->put_AllowedPorts(RTCTR_TCP, RTCLM_BOTH);
    if (SUCCEEDED(hr))
        hr = m_client->put_AllowedPorts(RTCTR_UDP, RTCLM_BOTH);
    if (SUCCEEDED(hr))
        hr = m_client->put_AnswerMode(RTCST_PC_TO_PC, RTCAM_OFFER_SESSION_EVENT);
    if (SUCCEEDED(hr))
        hr = m_client->put_AnswerMode(RTCST_IM, RTCAM_AUTOMATICALLY_ACCEPT);
    if (SUCCEEDED(hr))
        hr = m_client->put_AnswerMode(RTCST_MULTIPARTY_IM, RTCAM_AUTOMATICALLY_ACCEPT);
    if (SUCCEEDED(hr))
        hr = m_client->put_AnswerMode(RTCST_APPLICATION, RTCAM_OFFER_SESSION_EVENT);
    if (SUCCEEDED(hr)) {
        // Phone sessions are offered by default; a library that refuses these modes still works.
        m_client->put_AnswerMode(RTCST_PC_TO_PHONE, RTCAM_OFFER_SESSION_EVENT);
        m_client->put_AnswerMode(RTCST_PHONE_TO_PHONE, RTCAM_OFFER_SESSION_EVENT);

        m_sink = std::make_shared<CEventSink>();
        hr = m_client->Advise(m_sink, m_sink->m_cookie);
        if (SUCCEEDED(hr)) {
            m_sinkRegistered = true;
            m_sink->SetTarget(this);
        }
    }
    if (SUCCEEDED(hr)) {
        m_client->put_ClientName(kClientName);
        hr = m_client->put_ClientCurVer(BuildVersionText());
    }
    if (FAILED(hr)) {
        ReleaseClientAfterFailedInit();
        return hr;
    }
    return S_OK;
}

void CClientEngine::ReleaseClientAfterFailedInit()
{
    if (m_sinkRegistered) {
        m_sink->SetTarget(nullptr);
        m_client->Unadvise(m_sink->m_cookie);
        m_sinkRegistered = false;
    }
    m_sink.reset();
    m_client.reset();
}

void CClientEngine::OnDestroy()
{
    // Windows still open outlive the engine; they must not call back into it.
    for (CSessionWnd* window : std::exchange(m_sessionWindows, {}))
        window->SetEngine(nullptr);
    m_profile.reset();
    if (m_buddyList)
        m_buddyList->ClearBuddyItems();
    if (!m_client)
        return;
    if (m_sinkRegistered) {
        m_sink->SetTarget(nullptr);
        m_client->Unadvise(m_sink->m_cookie);
        m_sinkRegistered = false;
    }
    if (!m_shutDown) {
        m_client->Shutdown();
        m_shutDown = true;
    }
    m_client.reset();
}

void CClientEngine::OnClose()
{
    SetLocalStatus(RTCXS_PRESENCE_OFFLINE);
    CloseSessionWindows();
    CloseWatchersWindows();
    if (m_client && SUCCEEDED(m_client->PrepareForShutdown())) {
        if (!m_shutDown) {
            m_client->Shutdown();
            m_shutDown = true;
        }
        return; // the library's "cleanup done" event ends the engine
    }
    deleteLater();
}

bool CClientEngine::event(QEvent* event)
{
    if (event->type() != CRtcEventMessage::kType)
        return QObject::event(event);
    const auto* message = static_cast<CRtcEventMessage*>(event);
    DispatchEvent(message->rtcType(), message->rtcEvent());
    return true;
}

void CClientEngine::DispatchEvent(RTC_EVENT type, const RtcEventPtr& event)
{
    // Each handled type offers its own event class; anything else is dropped.
    auto as = [&event]<typename T>(T*) { return std::dynamic_pointer_cast<T>(event); };
    switch (type) {
    case RTCE_CLIENT:
        if (auto e = as(static_cast<IRTCClientEvent*>(nullptr)))
            OnClientEvent(*e);
        break;
    case RTCE_REGISTRATION_STATE_CHANGE:
        if (auto e = as(static_cast<IRTCRegistrationStateChangeEvent*>(nullptr)))
            OnRegistrationStateChange(*e);
        break;
    case RTCE_SESSION_STATE_CHANGE:
        if (auto e = as(static_cast<IRTCSessionStateChangeEvent*>(nullptr)))
            OnSessionStateChange(*e);
        break;
    case RTCE_PARTICIPANT_STATE_CHANGE:
        if (auto e = as(static_cast<IRTCParticipantStateChangeEvent*>(nullptr)))
            OnParticipantStateChange(*e);
        break;
    case RTCE_MEDIA:
        if (auto e = as(static_cast<IRTCMediaEvent*>(nullptr)))
            OnMediaEvent(*e);
        break;
    case RTCE_INTENSITY:
        if (auto e = as(static_cast<IRTCIntensityEvent*>(nullptr)))
            OnIntensityEvent(*e);
        break;
    case RTCE_MESSAGING:
        if (auto e = as(static_cast<IRTCMessagingEvent*>(nullptr)))
            OnMessagingEvent(*e);
        break;
    case RTCE_BUDDY:
        if (auto e = as(static_cast<IRTCBuddyEvent2*>(nullptr)))
            OnBuddyEvent(*e);
        break;
    case RTCE_WATCHER:
        if (auto e = as(static_cast<IRTCWatcherEvent2*>(nullptr)))
            OnWatcherEvent(*e);
        break;
    case RTCE_PROFILE:
        if (auto e = as(static_cast<IRTCProfileEvent2*>(nullptr)))
            OnProfileEvent(*e);
        break;
    default: break;
    }
}

void CClientEngine::OnClientEvent(const IRTCClientEvent& event)
{
    RTC_CLIENT_EVENT_TYPE type;
    if (FAILED(event.get_EventType(type)))
        return;
    if (type == RTCCET_ASYNC_CLEANUP_DONE) {
        deleteLater();
        return;
    }
    if (g_activeCallWindow)
        g_activeCallWindow->OnClientEvent(type);
}

void CClientEngine::OnParticipantStateChange(const IRTCParticipantStateChangeEvent& event)
{
    RtcParticipantPtr participant;
    RTC_PARTICIPANT_STATE state;
    RtcSessionPtr session;
    if (FAILED(event.get_Participant(participant)) || FAILED(event.get_State(state)) ||
        FAILED(participant->get_Session(session)))
        return;
    CSessionWnd* window = nullptr;
    if (SUCCEEDED(FindSessionWindow(session, window)))
        window->OnParticipantStateChange(participant, state);
}

void CClientEngine::OnMediaEvent(const IRTCMediaEvent& event)
{
    int mediaType;
    RTC_MEDIA_EVENT_TYPE type;
    RTC_MEDIA_EVENT_REASON reason;
    if (FAILED(event.get_MediaType(mediaType)) || FAILED(event.get_EventType(type)) ||
        FAILED(event.get_EventReason(reason)))
        return;
    if (g_activeCallWindow)
        g_activeCallWindow->OnMedia(mediaType, type, reason);
}

void CClientEngine::OnIntensityEvent(const IRTCIntensityEvent& event)
{
    RTC_AUDIO_DEVICE direction;
    int level, minimum, maximum;
    if (FAILED(event.get_Direction(direction)) || FAILED(event.get_Level(level)) || FAILED(event.get_Min(minimum)) ||
        FAILED(event.get_Max(maximum)))
        return;
    if (g_activeCallWindow)
        g_activeCallWindow->OnIntensity(direction, IntensityPercent(level, minimum, maximum));
}

void CClientEngine::OnMessagingEvent(const IRTCMessagingEvent& event)
{
    RtcSessionPtr session;
    CSessionWnd* window = nullptr;
    if (FAILED(event.get_Session(session)) || FAILED(FindSessionWindow(session, window)))
        return;
    RTC_MESSAGING_EVENT_TYPE type;
    RtcParticipantPtr participant;
    if (FAILED(event.get_EventType(type)) || FAILED(event.get_Participant(participant)))
        return;
    if (type == RTCMSET_MESSAGE) {
        QString header, body;
        if (SUCCEEDED(event.get_MessageHeader(header)) && SUCCEEDED(event.get_Message(body)))
            window->OnMessage(participant, header, body);
    } else if (type == RTCMSET_STATUS) {
        RTC_MESSAGING_USER_STATUS status;
        if (SUCCEEDED(event.get_UserStatus(status)))
            window->OnUserStatus(participant, status);
    }
}

// --- logon and registration ---

HRESULT CClientEngine::StartLogon(const QString& userUri, const QString& server, const QString& transport)
{
    if (m_profile || m_logonPending)
        return S_FALSE;

    if (m_buddyList) {
        m_buddyList->DeleteAllItems();
        m_buddyList->InsertBuddiesRoot();
    }
    m_credentialRetries = 0;

    const HRESULT hr = RequestProfile(userUri, server, transport);
    if (FAILED(hr)) {
        ShowMessage(kLogonFailed);
        return hr;
    }
    m_logonPending = true;
    m_display.SetStatusBarText(QStringLiteral("Finding server..."));
    // A logon under way can always be given up.
    m_display.EnableMenuItem(ID_LOG_ON, false);
    m_display.EnableMenuItem(ID_LOG_OFF, true);
    return S_OK;
}

HRESULT CClientEngine::RequestProfile(const QString& userUri, const QString& server, const QString& transport)
{
    if (transport.compare(QLatin1String("UDP"), Qt::CaseInsensitive) == 0)
        m_transport = RTCTR_UDP;
    else if (transport.compare(QLatin1String("TCP"), Qt::CaseInsensitive) == 0)
        m_transport = RTCTR_TCP;
    else if (transport.compare(QLatin1String("TLS"), Qt::CaseInsensitive) == 0)
        m_transport = RTCTR_TLS;

    IRTCClientProvisioning2* provisioning = m_client ? m_client->provisioning() : nullptr;
    if (!provisioning)
        return E_NOINTERFACE;
    return provisioning->GetProfile(QString(), QString(), userUri, server, m_transport, 0);
}

void CClientEngine::OnProfileEvent(const IRTCProfileEvent2& event)
{
    RTC_PROFILE_EVENT_TYPE type;
    HRESULT status;
    if (FAILED(event.get_EventType(type)) || FAILED(event.get_StatusCode(status)) || type != RTCPFET_PROFILE_GET)
        return;
    // A profile nobody waits for any more (logged off meanwhile) is dropped unused.
    if (!m_logonPending || m_profile)
        return;
    m_logonPending = false;

    HRESULT hr = status;
    if (SUCCEEDED(hr))
        hr = event.get_Profile(m_profile);
    if (SUCCEEDED(hr))
        hr = m_profile->put_AllowedAuth(RTCAU_DIGEST);
    if (SUCCEEDED(hr))
        hr = ActivateProfile();
    if (SUCCEEDED(hr))
        return;

    LogOff();
    ShowMessage(kLogonFailed);
}

HRESULT CClientEngine::ActivateProfile()
{
    HRESULT hr = SetPresenceEnabled(true);
    if (FAILED(hr))
        return hr;
    // The status is in place before the first publication goes out: nothing the
    // chooser will not show (and, logging on transparently, nothing but offline)
    // may ever reach a watcher, whatever an earlier logon had published.
    IRTCClientPresence2* presence = m_client ? m_client->presence() : nullptr;
    const int status = CSettingsStore::IsFlagSet(QLatin1String(kSettingLogonTransparently)) ? RTCXS_PRESENCE_OFFLINE
                                                                                            : RTCXS_PRESENCE_ONLINE;
    hr = presence ? presence->SetLocalPresenceInfo(static_cast<RTC_PRESENCE_STATUS>(status), QString()) : E_NOINTERFACE;
    if (FAILED(hr))
        return hr;
    m_publishedStatus = status;
    return SetProfileEnabled(true);
}

HRESULT CClientEngine::SetProfileEnabled(bool enable)
{
    IRTCClientProvisioning2* provisioning = m_client ? m_client->provisioning() : nullptr;
    if (!provisioning || !m_profile)
        return E_NOINTERFACE;
    if (!enable)
        return provisioning->DisableProfile(m_profile);
    if (m_transport == RTCTR_UDP)
        return provisioning->EnableProfile(m_profile, RTCRF_REGISTER_ALL);
    return provisioning->EnableProfileEx(m_profile, RTCRF_REGISTER_ALL, RTCRMF_ALL_ROAMING);
}

void CClientEngine::OnRegistrationStateChange(const IRTCRegistrationStateChangeEvent& event)
{
    RTC_REGISTRATION_STATE state;
    HRESULT statusCode;
    RtcProfilePtr profile;
    if (FAILED(event.get_State(state)) || FAILED(event.get_StatusCode(statusCode)))
        return;
    // The end of a profile given up already (log off, shut-down) is nobody's business:
    // it must neither reopen the dialog nor change what a newer logon shows.
    if (FAILED(event.get_Profile(profile)) || !profile || profile != m_profile) {
        qCDebug(lcLogon) << "registration state" << state << "of a profile no longer held dropped";
        return;
    }

    switch (state) {
    case RTCRS_NOT_REGISTERED:
        // Still held, so still wanted: the layer registers again as soon as it can.
        if (g_closing)
            ShowLoggedOff();
        else
            ShowLoggingOn();
        break;
    case RTCRS_REGISTERING: ShowLoggingOn(); break;
    case RTCRS_REGISTERED: ShowLoggedOn(); break;
    case RTCRS_REJECTED:
    case RTCRS_ERROR:
        if (g_closing)
            LogOff();
        else
            ApplyRegistrationFailure(statusCode);
        break;
    case RTCRS_UNREGISTERING: ShowLoggingOff(); break;
    case RTCRS_LOGGED_OFF:
        if (!ShowMessage(kServerLoggedOff))
            return;
        LogOff();
        break;
    case RTCRS_LOCAL_PA_LOGGED_OFF: m_display.SetStatusBarText(QStringLiteral("Logged on (Presence disabled)")); break;
    default: break;
    }
    m_lastRegistrationState = state;
}

void CClientEngine::ApplyRegistrationFailure(HRESULT statusCode)
{
    const bool authenticationFailure = statusCode == RTC_E_STATUS_CLIENT_FORBIDDEN ||
                                       statusCode == RTC_E_STATUS_CLIENT_UNAUTHORIZED ||
                                       statusCode == RTC_E_STATUS_CLIENT_PROXY_AUTH_REQUIRED;
    if (m_credentialRetries < 1 && authenticationFailure) {
        ++m_credentialRetries;
        if (FAILED(RetryWithCredentials()))
            EndFailedLogon();
        return;
    }
    if (m_lastRegistrationState == RTCRS_REGISTERING) {
        EndFailedLogon();
        return;
    }
    LogOff();
}

HRESULT CClientEngine::RetryWithCredentials()
{
    QString typedNumber, account, password = m_logonPassword;
    CSettingsStore::ReadSetting(QLatin1String(kSettingUserUri), typedNumber);
    CSettingsStore::ReadSetting(QLatin1String(kSettingAccount), account);
    if (password.isEmpty())
        CSettingsStore::ReadSetting(QLatin1String(kSettingPassword), password);
    if (!m_profile)
        return E_FAIL;
    const HRESULT hr = m_profile->SetCredentials(ToServiceSipUri(typedNumber), account, password);
    if (FAILED(hr))
        return hr;
    return ActivateProfile();
}

// The logon failed for good: turn automatic logon off and ask the user again.
void CClientEngine::EndFailedLogon()
{
    LogOff();
    CSettingsStore::WriteSetting(QLatin1String(kSettingAutoLogon), QStringLiteral("0"));
    m_credentialRetries = 0;
    m_display.RunLogOn();
}

void CClientEngine::ShowLoggingOn()
{
    m_display.SetStatusBarText(QStringLiteral("Logging on..."));
    m_display.SetStatusLine(QStringLiteral("(Logging on...)"));
    m_display.EnableMenuItem(ID_LOG_ON, false);
    // However long the layer keeps trying, the user can give up.
    m_display.EnableMenuItem(ID_LOG_OFF, true);
    m_display.EnablePresenceSubmenu(false);
    m_display.EnableActionAndToolsMenus(false);
    m_display.RedrawMenuBar();
}

void CClientEngine::ShowLoggingOff()
{
    if (g_closing)
        return;
    m_display.SetStatusBarText(QStringLiteral("Logging off..."));
    m_display.SetStatusLine(QStringLiteral("(Logging off...)"));
    m_display.EnableMenuItem(ID_LOG_ON, false);
    m_display.EnableMenuItem(ID_LOG_OFF, false);
    m_display.EnablePresenceSubmenu(false);
    m_display.EnableActionAndToolsMenus(false);
    m_display.RedrawMenuBar();
}

void CClientEngine::ShowLoggedOn()
{
    QString name;
    QString statusText = QStringLiteral("(Online)");
    QString logOffText = QStringLiteral("Log Off");
    if (SUCCEEDED(GetLocalDisplayName(name)) || (m_client && SUCCEEDED(m_client->get_LocalUserURI(name)))) {
        statusText = OwnStatusText(RTCXS_PRESENCE_ONLINE, name);
        logOffText = QStringLiteral("Log Off %1").arg(name);
    }
    m_display.SetStatusBarText(statusText);
    m_display.SetStatusLine(name);

    // Online, or Invisible when logging on transparently (both set before the profile
    // was enabled), or after a lost registration what the chooser showed meanwhile:
    // published again, since the service may have forgotten it.
    OnStatusCommand(m_publishedStatus);

    m_display.SetMenuItemText(ID_LOG_OFF, logOffText);
    m_display.EnableMenuItem(ID_LOG_ON, false);
    m_display.EnableMenuItem(ID_LOG_OFF, true);
    m_display.EnableActionAndToolsMenus(true);
    m_display.EnablePresenceSubmenu(true);

    m_display.EnableTabsAndChooser(true);
    m_display.ShowAddBuddyLink(true);
    const QPointer<CClientEngine> alive(this);
    m_display.ReloadCallLog(); // may report an unusable call log in a box
    if (!alive)
        return;
    RebuildBuddyList();
    m_display.RedrawMenuBar();
    emit loggedOn();
}

void CClientEngine::ShowLoggedOff()
{
    SetPresenceEnabled(false);
    CloseWatchersWindows();
    if (g_closing)
        return;
    m_display.StopAwayTimer();
    m_display.SetStatusBarText(QStringLiteral("Logged off"));
    m_display.SetStatusLine(QStringLiteral("(You are not logged on)"));
    m_display.SetMenuItemText(ID_LOG_OFF, QStringLiteral("Log Off"));
    m_display.EnableMenuItem(ID_LOG_ON, true);
    m_display.EnableMenuItem(ID_LOG_OFF, false);
    m_display.EnableActionAndToolsMenus(false);
    m_display.RedrawMenuBar();
    m_display.EnableTabsAndChooser(false);
    m_display.SelectStatusChooser(0);
    m_display.ClearCallLogList();
}

HRESULT CClientEngine::LogOff()
{
    m_logonPending = false;
    if (m_profile) {
        CloseSessionWindows();
        CloseWatchersWindows();
        // Watchers are told "offline" while the registration still stands.
        SetPresenceEnabled(false);
        SetProfileEnabled(false);
        if (m_buddyList)
            m_buddyList->DeleteAllItems();
        m_profile.reset();
        m_logonPassword.clear();
    }
    // Nothing is held any more, whatever the unregistration still does on the wire
    // (with the service gone that takes half a minute): "Log On" works at once.
    ShowLoggedOff();
    return S_OK;
}

void CClientEngine::CloseSessionWindows()
{
    const std::vector<CSessionWnd*> windows = std::exchange(m_sessionWindows, {});
    for (CSessionWnd* window : windows) {
        window->SetEngine(nullptr); // it has left the list already
        window->PostClose();
    }
}

void CClientEngine::CloseWatchersWindows()
{
    m_waitingWatchers.clear(); // offers made before log off are not asked after it
    if (m_watchers)
        m_watchers->CloseAllWatchersWindows();
}

// --- the user's own presence ---

QString CClientEngine::PresenceStoragePath(const QString& userUri)
{
    QString number = userUri;
    ToDisplayNumber(number);
    // Only characters that are safe in a file name on every system.
    number.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9+_]")), QStringLiteral("_"));
    if (number.isEmpty())
        number = QStringLiteral("_");
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder).filePath(number + QStringLiteral(".xml"));
}

HRESULT CClientEngine::SetPresenceEnabled(bool enable)
{
    if (enable == m_presenceEnabled)
        return S_FALSE;
    if (m_buddyList)
        m_buddyList->ClearBuddyItems();

    IRTCClientPresence2* presence = m_client ? m_client->presence() : nullptr;
    if (!presence)
        return E_NOINTERFACE;

    if (enable) {
        QString userUri;
        HRESULT hr = m_profile ? m_profile->get_UserURI(userUri) : E_FAIL;
        if (FAILED(hr))
            return hr;
        const QString path = PresenceStoragePath(userUri);
        QDir().mkpath(QFileInfo(path).absolutePath());
        hr = presence->EnablePresenceEx(m_profile, path, 0);
        if (FAILED(hr))
            return hr;
        const QString computerName = QSysInfo::machineHostName();
        if (!computerName.isEmpty())
            presence->put_PresenceProperty(RTCPP_DEVICE_NAME, computerName);
    } else {
        const HRESULT hr = presence->DisablePresence();
        if (FAILED(hr))
            return hr;
    }
    m_presenceEnabled = enable;
    return S_OK;
}

HRESULT CClientEngine::SetLocalStatus(int status)
{
    QString name;
    if (FAILED(GetLocalDisplayName(name)) && m_client)
        m_client->get_LocalUserURI(name);
    const QString text = OwnStatusText(status, name);

    IRTCClientPresence2* presence = m_client ? m_client->presence() : nullptr;
    if (!presence)
        return E_NOINTERFACE;
    const HRESULT hr = presence->SetLocalPresenceInfo(static_cast<RTC_PRESENCE_STATUS>(status), QString());
    if (FAILED(hr))
        return hr;
    m_publishedStatus = status;

    m_display.CheckStatusItem(status);
    m_display.SetStatusBarText(text);
    m_display.SetStatusLine(name);
    m_display.SelectStatusChooser(status);
    return S_OK;
}

void CClientEngine::OnStatusCommand(int status)
{
    if (status == RTCXS_PRESENCE_ONLINE)
        m_display.StartAwayTimer();
    else
        m_display.StopAwayTimer();
    // When the status could not be published, the chooser and the menu keep showing
    // what others see.
    const int shown = SUCCEEDED(SetLocalStatus(status)) ? status : m_publishedStatus;
    m_display.CheckStatusItem(shown);
    m_display.SelectStatusChooser(shown);
}

void CClientEngine::OnAwayTimer()
{
    // Invisible stays invisible, and nobody is shown away while logged off.
    if (!m_profile || m_publishedStatus == RTCXS_PRESENCE_OFFLINE) {
        m_display.StopAwayTimer();
        return;
    }
    OnStatusCommand(RTCXS_PRESENCE_AWAY);
}

HRESULT CClientEngine::GetLocalDisplayName(QString& name)
{
    if (!m_profile)
        return E_FAIL;
    QString userName;
    if (SUCCEEDED(m_profile->get_UserName(userName)) && !userName.isEmpty()) {
        name = userName;
        return S_OK;
    }
    QString uri;
    const HRESULT hr = GetLocalUserUri(uri);
    if (FAILED(hr))
        return hr;
    ToDisplayNumber(uri);
    name = uri;
    return S_OK;
}

HRESULT CClientEngine::GetLocalUserUri(QString& uri)
{
    if (m_profile)
        return m_profile->get_UserURI(uri);
    if (m_client)
        return m_client->get_LocalUserURI(uri);
    return E_FAIL;
}

// --- session windows ---

HRESULT CClientEngine::FindSessionWindow(const RtcSessionPtr& session, CSessionWnd*& window) const
{
    const auto it = std::find_if(m_sessionWindows.begin(), m_sessionWindows.end(),
                                 [&](CSessionWnd* candidate) { return candidate->Session() == session; });
    if (!session || it == m_sessionWindows.end())
        return E_FAIL;
    window = *it;
    return S_OK;
}

void CClientEngine::AddSessionWindow(CSessionWnd* window)
{
    m_sessionWindows.push_back(window);
}

void CClientEngine::RemoveSessionWindow(CSessionWnd* window)
{
    std::erase(m_sessionWindows, window);
}

bool CClientEngine::ShowMessage(const QString& text)
{
    const QPointer<CClientEngine> alive(this);
    CMessageBox::Show(m_display.OwnerWindow(), text);
    return alive;
}
