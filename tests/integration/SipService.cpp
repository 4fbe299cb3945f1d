#include "SipService.h"

#include <QFile>
#include <QProcess>

namespace {

constexpr int kScriptTimeoutMs = 30000;

QString Script()
{
    return QStringLiteral(ORVALO_SOURCE_DIR "/scripts/sip-service");
}

bool RunScript(const QStringList& arguments, QString& output, QString& error)
{
    QProcess process;
    process.start(Script(), arguments);
    if (!process.waitForFinished(kScriptTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        error = QStringLiteral("sip-service did not finish");
        return false;
    }
    output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    error = QString::fromUtf8(process.readAllStandardError()).trimmed();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The number a file of the service holds; 0 if it cannot be read.
qint64 ReadNumber(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
}

} // namespace

CSipService::CSipService(QString folder) : m_folder(std::move(folder))
{
}

CSipService::~CSipService()
{
    Stop();
}

bool CSipService::Start(bool forbiddenOnBadPassword)
{
    QStringList arguments{QStringLiteral("start"), m_folder};
    if (m_port > 0)
        arguments << QStringLiteral("--port") << QString::number(m_port);
    if (forbiddenOnBadPassword)
        arguments << QStringLiteral("--403");
    QString output;
    if (!RunScript(arguments, output, m_error))
        return false;
    m_port = output.toInt();
    m_pid = ReadNumber(m_folder + QStringLiteral("/kamailio.pid"));
    m_tlsPort = int(ReadNumber(m_folder + QStringLiteral("/tls-port")));
    if (m_pid <= 0 || m_tlsPort <= 0) {
        m_error = QStringLiteral("no PID or TLS port file");
        return false;
    }
    return m_port > 0;
}

void CSipService::Stop()
{
    if (m_pid <= 0)
        return;
    QString output;
    QString error;
    RunScript({QStringLiteral("stop"), m_folder}, output, error);
    m_pid = 0;
}

QString CSipService::server() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString CSipService::tlsServer() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_tlsPort);
}

QString CSipService::caFile() const
{
    return m_folder + QStringLiteral("/tls-ca.pem");
}

QString CSipService::Uri(const QString& number)
{
    return QStringLiteral("sip:%1@%2").arg(number, kDomain);
}
