// The sockets through which the SIP stack of a core receives. Watching them lets
// the event loop run the stack the moment a request or an answer arrives.
#pragma once

#include <QByteArray>
#include <QHostAddress>

#include <sys/socket.h>

#include <set>
#include <utility>
#include <vector>

// Which sockets belong to the SIP stack: those bound to its listening ports, and
// the connections it opened to its servers (TCP and TLS).
struct SipSocketFilter {
    std::set<int> localPorts;
    std::vector<std::pair<QHostAddress, int>> peers;

    bool empty() const { return localPorts.empty() && peers.empty(); }
};

// Descriptors of this process's IPv4/IPv6 sockets that pass the filter.
std::vector<int> FindSipSockets(const SipSocketFilter& filter);

// Whether the descriptor still is a socket that passes the filter.
bool IsSipSocket(int fd, const SipSocketFilter& filter);

// Whether data is waiting on the descriptor.
bool IsReadable(int fd);

// The next datagram waiting on the socket, left in place for the stack, and who
// sent it; empty if none.
struct SPeekedDatagram {
    QByteArray bytes;
    sockaddr_storage sender{};
};
SPeekedDatagram PeekDatagram(int fd);

// How many bytes wait in the socket's receive queue (every datagram, not only the
// next one); -1 if the system does not say.
qint64 QueuedBytes(int fd);

// What tells the data at the head of the receive queue from the next: its first
// bytes and who sent it. Empty if nothing waits.
QByteArray QueueHead(int fd);
