#include "BenchSupport.h"

#include <QCoreApplication>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <arpa/inet.h>
#include <cmath>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(100);
    }
    return true;
}

void Idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

double CSeries::Median() const
{
    if (m_values.empty())
        return std::nan("");
    std::vector<double> sorted = m_values;
    std::sort(sorted.begin(), sorted.end());
    return sorted.size() % 2 ? sorted[sorted.size() / 2]
                             : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
}

QString CSeries::Summary(int decimals) const
{
    if (m_values.empty())
        return QStringLiteral("n/a");
    std::vector<double> sorted = m_values;
    std::sort(sorted.begin(), sorted.end());
    return QStringLiteral("%1 (%2–%3, n=%4)")
        .arg(Median(), 0, 'f', decimals)
        .arg(sorted.front(), 0, 'f', decimals)
        .arg(sorted.back(), 0, 'f', decimals)
        .arg(sorted.size());
}

bool SampleProcess(qint64 pid, ProcessSample& sample)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!stat.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly))
        return false;
    // Fields after the command name (which may hold blanks): utime and stime are the 12th and 13th.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return false;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    sample.cpuSeconds = (fields[11].toDouble() + fields[12].toDouble()) / ticks;
    for (const QByteArray& entry : status.readAll().split('\n')) {
        const QList<QByteArray> parts = entry.simplified().split(' ');
        if (parts.size() >= 2 && parts[0] == "VmRSS:")
            sample.residentMb = parts[1].toDouble() / 1024;
        else if (parts.size() >= 2 && parts[0] == "RssAnon:")
            sample.privateMb = parts[1].toDouble() / 1024;
    }
    return true;
}

QString MemoryText(const ProcessSample& sample)
{
    return QStringLiteral("%1 / %2").arg(sample.residentMb, 0, 'f', 1).arg(sample.privateMb, 0, 'f', 1);
}

double CpuPercent(qint64 pid, int periodMs)
{
    ProcessSample before;
    ProcessSample after;
    SampleProcess(pid, before);
    const CStopwatch clock;
    WaitUntil([] { return false; }, periodMs);
    SampleProcess(pid, after);
    return 100.0 * (after.cpuSeconds - before.cpuSeconds) / (clock.Ms() / 1000.0);
}

bool CAudioOnset::Heard()
{
    if (m_heard)
        return true;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 44)
        return false;
    // Past the RIFF header: 16-bit samples; sound is anything clearly above the noise floor.
    const qint64 start = std::max<qint64>(44, m_read);
    file.seek(start);
    const QByteArray data = file.read(file.size() - start);
    m_read = start + (data.size() & ~qint64(1));
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        if (std::abs(qFromLittleEndian<qint16>(data.constData() + i)) > 1000)
            return m_heard = true;
    }
    return false;
}

CBaresipControl::~CBaresipControl()
{
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
    if (m_reader.joinable())
        m_reader.join();
    if (m_socket >= 0)
        ::close(m_socket);
}

bool CBaresipControl::Connect(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0 || ::connect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return false;
    m_reader = std::thread([this] { Read(); });
    return true;
}

void CBaresipControl::Send(const QString& command, const QString& params)
{
    QJsonObject message{{QStringLiteral("command"), command}, {QStringLiteral("token"), QStringLiteral("bench")}};
    if (!params.isEmpty())
        message.insert(QStringLiteral("params"), params);
    const QByteArray json = QJsonDocument(message).toJson(QJsonDocument::Compact);
    const QByteArray frame = QByteArray::number(json.size()) + ':' + json + ',';
    [[maybe_unused]] const auto sent = ::send(m_socket, frame.constData(), static_cast<size_t>(frame.size()), 0);
}

void CBaresipControl::Read()
{
    QByteArray buffer;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::recv(m_socket, chunk, sizeof(chunk), 0);
        if (got <= 0)
            return;
        const Moment arrival = Now();
        buffer.append(chunk, got);
        for (;;) {
            const qsizetype colon = buffer.indexOf(':');
            if (colon < 0)
                break;
            const qsizetype length = buffer.left(colon).toLongLong();
            if (buffer.size() < colon + 1 + length + 1)
                break;
            const QJsonObject message = QJsonDocument::fromJson(buffer.mid(colon + 1, length)).object();
            buffer.remove(0, colon + 1 + length + 1);
            if (message.value(QStringLiteral("event")).toBool()) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_events.emplace_back(message.value(QStringLiteral("type")).toString(), arrival);
            }
        }
    }
}

bool CBaresipControl::WaitEvent(const QString& type, int timeoutMs, Moment* arrival)
{
    return WaitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (auto it = m_events.begin(); it != m_events.end(); ++it) {
                if (it->first == type) {
                    if (arrival)
                        *arrival = it->second;
                    m_events.erase(it);
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

void CBaresipControl::Forget()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.clear();
}

int FreeTcpPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

QString MachineDescription()
{
    QString model;
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : cpuinfo.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                model = QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
                break;
            }
        }
    }
    return QStringLiteral("%1, %2 logical CPUs, %3 %4")
        .arg(model)
        .arg(QThread::idealThreadCount())
        .arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion());
}
