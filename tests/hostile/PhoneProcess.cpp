#include "PhoneProcess.h"

#include "SipService.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QSettings>
#include <QUdpSocket>

namespace {
constexpr int kStartMs = 10000;
constexpr int kStopMs = 10000;
constexpr int kMaxDrainReads = 1000;

// A UDP port nobody uses at the moment (the program binds UDP and TCP to it).
int FreePort()
{
    QUdpSocket socket;
    socket.bind(QHostAddress::LocalHost, 0);
    return socket.localPort();
}
} // namespace

CPhoneProcess::CPhoneProcess(const CSipService& service, const Account& account, QString folder)
    : m_service(service), m_account(account), m_folder(std::move(folder))
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

CPhoneProcess::~CPhoneProcess()
{
    Stop();
}

QString CPhoneProcess::dataDir() const
{
    return m_folder + QStringLiteral("/data");
}

QString CPhoneProcess::trace() const
{
    QFile file(m_folder + QStringLiteral("/sip-trace.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool CPhoneProcess::Start(bool directSip, bool trace, const QStringList& more)
{
    // The settings of a user who logs on automatically (the program reads them from XDG_CONFIG_HOME).
    QSettings settings(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Quenlark/OrvaloPhone.conf"),
                       QSettings::IniFormat);
    settings.setValue(QStringLiteral("UserURI"), m_account.number);
    settings.setValue(QStringLiteral("Account"), m_account.number);
    settings.setValue(QStringLiteral("Password"), m_account.password);
    settings.setValue(QStringLiteral("AutoLogon"), QStringLiteral("1"));
    settings.sync();

    if (m_sipPort == 0)
        m_sipPort = FreePort();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), m_platform);
    m_process.setProcessEnvironment(environment);
    QStringList arguments{QStringLiteral("--sip-server"),    m_service.server(),
                          QStringLiteral("--sip-domain"),    QString::fromLatin1(CSipService::kDomain),
                          QStringLiteral("--data-dir"),      dataDir(),
                          QStringLiteral("--sip-port"),      QString::number(m_sipPort),
                          QStringLiteral("--report-stalls"), QString::number(kStallReportMs)};
    if (directSip)
        arguments << QStringLiteral("--direct-sip");
    if (trace)
        arguments << QStringLiteral("--sip-trace") << m_folder + QStringLiteral("/sip-trace.log");
    arguments << more;
    m_output.clear();
    m_process.start(QStringLiteral(ORVALO_PHONE_PATH), arguments);
    return m_process.waitForStarted(kStartMs);
}

void CPhoneProcess::Stop()
{
    if (!running())
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(kStopMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopMs);
    }
    output();
}

QString CPhoneProcess::output()
{
    // What the program wrote while nothing ran the event loop is still in the pipe.
    for (int read = 0; read < kMaxDrainReads && m_process.waitForReadyRead(0); ++read) {
    }
    m_output += QString::fromUtf8(m_process.readAll());
    return m_output;
}

QList<CPhoneProcess::Stall> CPhoneProcess::StallsAfter(qsizetype outputPosition)
{
    static const QRegularExpression stall(
        QStringLiteral("event loop stalled for (\\d+) ms \\((\\d+) ms of it running"));
    QList<Stall> stalls;
    auto matches = stall.globalMatch(output().mid(outputPosition));
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        stalls.append({match.captured(1).toInt(), match.captured(2).toInt()});
    }
    return stalls;
}

int CPhoneProcess::LongestStallAfter(qsizetype outputPosition)
{
    int longest = 0;
    for (const Stall& stall : StallsAfter(outputPosition))
        longest = std::max(longest, stall.ms);
    return longest;
}
