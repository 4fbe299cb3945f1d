// A socket file nobody listens on, as a phone that crashed leaves it behind.
#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <algorithm>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

inline bool LeaveStaleSocket(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (name.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    std::copy(name.begin(), name.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound && QFileInfo::exists(path);
}
