#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

#include <memory>
#include <optional>

Q_LOGGING_CATEGORY(lcSingleInstance, "orvalo.app.instance")

namespace {
constexpr int kConnectTimeoutMs = 1000;
constexpr int kLockTimeoutMs = 3000;

// The address a request carries, or nothing when it is not one line of
// printable UTF-8.
void Drop(QLocalSocket* socket, const char* reason)
{
    qCWarning(lcSingleInstance) << reason;
    socket->abort();
    socket->deleteLater();
}

std::optional<QString> AddressOf(const QByteArray& line)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(line);
    if (decoder.hasError())
        return std::nullopt;
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return std::nullopt;
    return text;
}
} // namespace

CSingleInstance::CSingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_socketPath(std::move(socketPath))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.setMaxPendingConnections(kMaxClients);
    connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

QString CSingleInstance::DefaultSocketPath()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return QString(); // never a shared folder such as /tmp, where another user could take the name
    const QByteArray settings = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation).toUtf8();
    const QString tag =
        QString::fromLatin1(QCryptographicHash::hash(settings, QCryptographicHash::Sha256).toHex().left(12));
    return QDir(runtime).filePath(QStringLiteral("orvalo-phone-%1.socket").arg(tag));
}

CSingleInstance::EStart CSingleInstance::Start(const QString& address)
{
    if (m_socketPath.isEmpty()) {
        qCWarning(lcSingleInstance) << "no private runtime folder: a second start will open a second phone";
        return EStart::First;
    }
    // Two starts at the same moment: the second waits until the first listens.
    QLockFile lock(m_socketPath + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockTimeoutMs))
        qCWarning(lcSingleInstance) << "could not lock" << lock.fileName() << "- going on without it";
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        Listen();
        return EStart::First;
    }
    socket.write(address.toUtf8() + '\n');
    QByteArray answer;
    while (answer.size() < kAnswer.size() && socket.waitForReadyRead(kRequestTimeoutMs))
        answer += socket.read(kAnswer.size() - answer.size());
    return answer == kAnswer ? EStart::HandedOn : EStart::NoAnswer;
}

void CSingleInstance::Listen()
{
    // Nobody answered: whatever socket file is there was left by a phone that is gone.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server.listen(m_socketPath))
        qCWarning(lcSingleInstance) << "cannot listen on" << m_socketPath << m_server.errorString()
                                    << "- a second start will open a second phone";
}

void CSingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        if (m_clients >= kMaxClients) {
            Drop(socket, "too many starts at once; one turned away");
            continue;
        }
        ++m_clients;
        connect(socket, &QObject::destroyed, this, [this] { --m_clients; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto* timeout = new QTimer(socket);
        timeout->setSingleShot(true);
        connect(timeout, &QTimer::timeout, socket, [socket] { Drop(socket, "a start sent no request in time"); });
        timeout->start(kRequestTimeoutMs);
        auto request = std::make_shared<QMetaObject::Connection>();
        *request = connect(socket, &QLocalSocket::readyRead, this, [this, socket, request] {
            const qsizetype end = socket->peek(kMaxRequestBytes + 1).indexOf('\n');
            if (end < 0) {
                if (socket->bytesAvailable() > kMaxRequestBytes)
                    Drop(socket, "a request longer than the limit was refused");
                return;
            }
            QObject::disconnect(*request); // one request per connection
            const std::optional<QString> address = AddressOf(socket->read(end + 1).chopped(1));
            if (!address) {
                Drop(socket, "a request that is not printable text was refused");
                return;
            }
            socket->write(kAnswer);
            socket->disconnectFromServer();
            // From the event loop: dialling may open a modal box, and the socket goes meanwhile.
            QMetaObject::invokeMethod(
                this, [this, text = *address] { emit addressReceived(text); }, Qt::QueuedConnection);
        });
    }
}
