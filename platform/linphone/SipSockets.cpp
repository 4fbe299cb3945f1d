#include "SipSockets.h"

#include <QDir>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

int LocalPort(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return -1;
}

} // namespace

bool IsSocketOnPorts(int fd, const std::set<int>& localPorts)
{
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode))
        return false;
    return localPorts.count(LocalPort(fd)) > 0;
}

std::vector<int> FindSocketsOnPorts(const std::set<int>& localPorts)
{
    std::vector<int> sockets;
    // Only Linux lists a process's descriptors cheaply; elsewhere the caller falls back to polling.
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& entry : entries) {
        bool ok = false;
        const int fd = entry.toInt(&ok);
        if (ok && IsSocketOnPorts(fd, localPorts))
            sockets.push_back(fd);
    }
    return sockets;
}

bool IsReadable(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN);
}
