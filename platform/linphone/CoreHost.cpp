#include "CoreHost.h"

#include "NssHold.h"
#include "SipTrace.h"
#include "Tones.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <linphone++/linphone.hh>

#include <sys/stat.h>

namespace {

Q_LOGGING_CATEGORY(lcCoreHost, "orvalo.sip.core")

constexpr QFileDevice::Permissions kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOwnerDir = kOwnerFile | QFileDevice::ExeOwner;

// Incoming calls ring until the user or the caller ends them; the library must
// not give up on its own before the program's prompt does.
constexpr int kIncomingCallTimeoutS = 600;
// A registration, publication or subscription whose refresh failed is tried again after this delay.
constexpr int kRefreshRetryMs = 2000;
// The authorities the system trusts (Debian's bundle), rather than the library's own list.
constexpr char kSystemCaFile[] = "/etc/ssl/certs/ca-certificates.crt";

std::string Std(const QString& text)
{
    return text.toStdString();
}

QString DefaultDataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/sip");
}

// Files the library creates while the core is set up are private from the start.
class CPrivateFiles {
public:
    CPrivateFiles() : m_previous(umask(077)) {}
    ~CPrivateFiles() { umask(m_previous); }
    CPrivateFiles(const CPrivateFiles&) = delete;
    CPrivateFiles& operator=(const CPrivateFiles&) = delete;

private:
    mode_t m_previous;
};

// Databases an earlier version let the library keep. Nothing reads them any
// more; they are set aside once, under a name the library never opens, so that
// the user can still look at them.
void SetAsideUnusedDatabases(const QString& dataDir)
{
    const QDir dir(dataDir);
    for (const QString& name : {QStringLiteral("linphone.db"), QStringLiteral("linphone.db-journal")}) {
        if (!dir.exists(name))
            continue;
        const QString aside = name + QStringLiteral(".set-aside-") +
                              QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmss"));
        if (!QFile::rename(dir.filePath(name), dir.filePath(aside)) && !QFile::remove(dir.filePath(name)))
            qCWarning(lcCoreHost) << "cannot set aside the library file" << dir.filePath(name);
    }
}

} // namespace

CCoreHost::CCoreHost(const LinphoneClientOptions& options)
    : m_options(options), m_dataDir(options.dataDir.isEmpty() ? DefaultDataDir() : options.dataDir), m_pump([this] {
          if (m_core)
              m_core->iterate();
      }),
      m_guard(options.sipFromServiceOnly), m_bindAddress(options.bindAddress)
{
}

CCoreHost::~CCoreHost()
{
    Release();
}

HRESULT CCoreHost::Start(const std::shared_ptr<linphone::CoreListener>& listener)
{
    if (m_core)
        return RTC_E_INVALID_STATE;
    if (!QDir().mkpath(m_dataDir))
        return E_FAIL;
    m_dataDir = QDir(m_dataDir).absolutePath();
    CPrivateFiles privateFiles;
    RestrictPermissions();
    SetAsideUnusedDatabases(m_dataDir);

    // The console stays quiet: the library logs warnings into the data folder only.
    linphone::Core::setLogCollectionPath(Std(m_dataDir));
    linphone::Core::setLogCollectionPrefix("linphone");
    linphone::Core::enableLogCollection(linphone::LogCollectionState::EnabledWithoutPreviousLogHandler);
    m_tracing = !m_options.sipTraceFile.isEmpty() && CSipTrace::Start(Std(m_options.sipTraceFile));
    // The level is the process's: message level while any trace is written.
    linphone::LoggingService::get()->setLogLevel(CSipTrace::Active() ? linphone::LogLevel::Message
                                                                     : linphone::LogLevel::Warning);

    auto factory = linphone::Factory::get();
    const std::string dir = Std(m_dataDir + QLatin1Char('/'));
    factory->setDataDir(dir);
    factory->setConfigDir(dir);
    factory->setDownloadDir(dir);
    // The media library loads every plugin of its plugins folder; Debian's only one
    // is a video display that brings Qt 5 into the process. Calls need none of them:
    // the audio filters are built in.
    const QString plugins = m_dataDir + QStringLiteral("/media-plugins");
    if (!QDir().mkpath(plugins))
        return E_FAIL;
    factory->setMspluginsDir(Std(plugins));
    HoldNssOpen();
    m_core = factory->createCoreWithConfig(CreateConfig(), nullptr);
    if (!m_core)
        return E_FAIL;
    m_core->addListener(listener);
    ConfigureTls();
    ConfigureMedia();
    SetListening(-1, -1, 0);
    if (m_core->start() != 0) {
        m_core->removeListener(listener);
        m_core.reset();
        return E_FAIL;
    }
    m_pump.Start();
    SyncSipPorts();
    RestrictPermissions();
    return S_OK;
}

std::shared_ptr<linphone::Config> CCoreHost::CreateConfig() const
{
    const QString path = m_dataDir + QStringLiteral("/linphonerc");
    auto config = linphone::Factory::get()->createConfig(Std(path));
    // Accounts and credentials come from the program at each logon; none of an
    // earlier run may register on its own.
    for (const std::string& section : config->getSectionsNamesList()) {
        if (section.rfind("proxy_", 0) == 0 || section.rfind("auth_info_", 0) == 0 || section.rfind("friend", 0) == 0)
            config->cleanSection(section);
    }
    // The program keeps its own transcripts and call log. The library's chat and
    // call-history database lives in memory: on disk it kept what hostile senders
    // made up, a record it could not load again stopped every later start, and its
    // writes cost each message 15-80 ms on the user-interface thread.
    // (Without any database the library crashes when it sends a message.)
    config->setString("storage", "backend", "sqlite3");
    config->setString("storage", "uri", ":memory:");
    // and so does its separate call history, which it otherwise writes to call-history.db.
    config->setString("storage", "call_logs_db_uri", ":memory:");
    config->setString("misc", "zrtp_secrets_file", Std(m_dataDir + QStringLiteral("/zrtp-secrets")));
    config->setInt("misc", "store_friends", 0);
    config->setInt("sip", "store_auth_info", 0);
    config->setInt("sip", "inc_timeout", kIncomingCallTimeoutS);
    config->setInt("sip", "refresher_retry_after", kRefreshRetryMs);
    config->setInt("sip", "guess_hostname", 0);
    // The window tells how a call ended, and the program rings by itself: the
    // library's own end-of-call beep would only start a tone stream after each call.
    // Ringback for outgoing calls is not one of these tones and stays.
    config->setInt("sound", "tone_indications", 0);
    config->setInt("video", "capture", 0);
    config->setInt("video", "display", 0);
    config->setInt("video", "automatically_initiate", 0);
    config->setInt("video", "automatically_accept", 0);
    if (!m_bindAddress.isEmpty()) {
        config->setString("sip", "bind_address", Std(m_bindAddress));
        config->setString("rtp", "bind_address", Std(m_bindAddress));
    }
    return config;
}

void CCoreHost::ConfigureTls()
{
    m_core->setRootCa(m_options.trustedCaFile.isEmpty() ? std::string(kSystemCaFile) : Std(m_options.trustedCaFile));
    m_core->verifyServerCertificates(true);
    m_core->verifyServerCn(true);
}

void CCoreHost::ConfigureMedia()
{
    m_core->enableVideoCapture(false);
    m_core->enableVideoDisplay(false);
    auto policy = linphone::Factory::get()->createVideoActivationPolicy();
    policy->setAutomaticallyAccept(false);
    policy->setAutomaticallyInitiate(false);
    m_core->setVideoActivationPolicy(policy);
    m_core->setAudioPort(-1);
    m_core->setUseRfc2833ForDtmf(true);
    m_core->setUseInfoForDtmf(false);
    // The program rings through PlayRing; the library must not ring by itself.
    m_core->setRing("");
    // Typing notices go both ways; delivery and read receipts are not used.
    auto notices = m_core->getImNotifPolicy();
    notices->clear();
    notices->setSendIsComposing(true);
    notices->setRecvIsComposing(true);

    bool hasDevice = false;
    for (const auto& device : m_core->getExtendedAudioDevices()) {
        if (device->hasCapability(linphone::AudioDevice::Capabilities::CapabilityRecord) ||
            device->hasCapability(linphone::AudioDevice::Capabilities::CapabilityPlay))
            hasDevice = true;
    }
    m_usesFiles = m_options.filesOnly || !m_options.playFile.isEmpty() || !m_options.recordFile.isEmpty() || !hasDevice;
    if (m_usesFiles) {
        // Without a sound device calls still carry audio: silence goes out, what comes in is dropped.
        // Without any file the library would send no audio packets at all.
        m_core->setUseFiles(true);
        const QString silence = ProgramSoundFile(m_dataDir + QStringLiteral("/sounds"), ProgramSound::Silence);
        m_core->setPlayFile(Std(m_options.playFile.isEmpty() ? silence : m_options.playFile));
        m_core->setRecordFile(Std(m_options.recordFile));
        m_core->enableEchoCancellation(false);
    }
}

void CCoreHost::SetListening(int udpPort, int tcpPort, int tlsPort)
{
    if (!m_core)
        return;
    auto transports = linphone::Factory::get()->createTransports();
    transports->setUdpPort(udpPort);
    transports->setTcpPort(tcpPort);
    transports->setTlsPort(tlsPort);
    m_core->setTransports(transports);
    SyncSipPorts();
}

void CCoreHost::SetBindAddress(const QString& address)
{
    if (!m_core || address == m_bindAddress)
        return;
    m_bindAddress = address;
    auto config = m_core->getConfig();
    config->setString("sip", "bind_address", Std(address));
    config->setString("rtp", "bind_address", Std(address));
    // The listening sockets pick the address up when they are opened again.
    auto configured = m_core->getTransports();
    const int udp = configured->getUdpPort();
    const int tcp = configured->getTcpPort();
    const int tls = configured->getTlsPort();
    SetListening(0, 0, 0);
    SetListening(udp, tcp, tls);
}

void CCoreHost::SetUserAgent(const QString& name, const QString& version)
{
    if (m_core)
        m_core->setUserAgent(Std(name), Std(version));
}

void CCoreHost::SyncSipPorts()
{
    if (!m_core)
        return;
    auto used = m_core->getTransportsUsed();
    std::set<int> ports;
    for (int port : {used->getUdpPort(), used->getTcpPort(), used->getTlsPort()}) {
        if (port > 0)
            ports.insert(port);
    }
    m_pump.SetSipPorts(ports);
    std::set<int> tlsPorts;
    if (used->getTlsPort() > 0)
        tlsPorts.insert(used->getTlsPort());
    m_guard.Watch(ports, tlsPorts);
}

void CCoreHost::StopAsync()
{
    if (!m_core)
        return;
    // The stopping core closes its sockets while it is still iterated.
    m_pump.SetSipPorts({});
    m_guard.Watch({});
    m_core->stopAsync();
}

void CCoreHost::Release()
{
    if (!m_core)
        return;
    m_pump.Stop();
    m_guard.Watch({});
    if (m_core->getGlobalState() != linphone::GlobalState::Off)
        m_core->stop();
    m_core.reset();
    if (m_tracing)
        CSipTrace::Stop(Std(m_options.sipTraceFile));
    m_tracing = false;
    RestrictPermissions();
}

void CCoreHost::RestrictPermissions() const
{
    QFile::setPermissions(m_dataDir, kOwnerDir);
    QDirIterator it(m_dataDir, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile::setPermissions(path, it.fileInfo().isDir() ? kOwnerDir : kOwnerFile);
    }
}
