#include "SipSockets.h"

#include <QDir>

#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

// The address and port of a socket end; port -1 if it has none.
std::pair<QHostAddress, int> Endpoint(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(&address);
        return {QHostAddress(reinterpret_cast<const sockaddr*>(ipv4)), ntohs(ipv4->sin_port)};
    }
    if (address.ss_family == AF_INET6) {
        const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(&address);
        return {QHostAddress(reinterpret_cast<const sockaddr*>(ipv6)), ntohs(ipv6->sin6_port)};
    }
    return {QHostAddress(), -1};
}

} // namespace

bool IsSipSocket(int fd, const SipSocketFilter& filter)
{
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode))
        return false;
    sockaddr_storage local{};
    socklen_t length = sizeof(local);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return false;
    const auto [localAddress, localPort] = Endpoint(local);
    if (localPort < 0)
        return false;
    if (filter.localPorts.count(localPort))
        return true;
    if (filter.peers.empty())
        return false;
    sockaddr_storage remote{};
    length = sizeof(remote);
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &length) != 0)
        return false;
    const auto peer = Endpoint(remote);
    for (const auto& [address, port] : filter.peers) {
        if (port == peer.second && address.isEqual(peer.first, QHostAddress::TolerantConversion))
            return true;
    }
    return false;
}

std::vector<int> FindSipSockets(const SipSocketFilter& filter)
{
    std::vector<int> sockets;
    if (filter.empty())
        return sockets;
    // Only Linux lists a process's descriptors cheaply; elsewhere the caller falls back to polling.
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& entry : entries) {
        bool ok = false;
        const int fd = entry.toInt(&ok);
        if (ok && IsSipSocket(fd, filter))
            sockets.push_back(fd);
    }
    return sockets;
}

bool IsReadable(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN);
}

SPeekedDatagram PeekDatagram(int fd)
{
    // A SIP request over UDP fits one datagram of at most 64 KB.
    SPeekedDatagram peeked{QByteArray(65536, Qt::Uninitialized), {}};
    socklen_t senderLength = sizeof(peeked.sender);
    const ssize_t got = recvfrom(fd, peeked.bytes.data(), static_cast<size_t>(peeked.bytes.size()),
                                 MSG_PEEK | MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&peeked.sender), &senderLength);
    peeked.bytes.resize(got > 0 ? got : 0);
    return peeked;
}

QByteArray QueueHead(int fd)
{
    // Enough of a SIP message to hold its Via branch, which differs between transactions.
    char bytes[512];
    sockaddr_storage sender{};
    socklen_t senderLength = sizeof(sender);
    const ssize_t got = recvfrom(fd, bytes, sizeof(bytes), MSG_PEEK | MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (got <= 0)
        return {};
    QByteArray head(bytes, got);
    head.append(reinterpret_cast<const char*>(&sender), std::min<socklen_t>(senderLength, sizeof(sender)));
    return head;
}

qint64 QueuedBytes(int fd)
{
    quint32 memory[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof(memory);
    if (getsockopt(fd, SOL_SOCKET, SO_MEMINFO, memory, &length) != 0 ||
        length <= SK_MEMINFO_RMEM_ALLOC * sizeof(quint32))
        return -1;
    return memory[SK_MEMINFO_RMEM_ALLOC];
}
