// Stands between a core's SIP sockets and the library's parser. The library
// reads its sockets itself, inside iterate(); the only place where a datagram
// can be looked at before the parser sees it, without a race against the
// library's own poll, is the read itself. The program's own recvfrom()
// (module/SipReadRoute.h) therefore hands every read to the guards once one
// watches a port: for a socket a guard watches, every datagram is checked (its
// sender, when SIP may only come from the service, and ScreenSipMessage) and a
// rejected one is dropped and counted; every other socket reads as usual. On a
// connection to the SIP port (TCP) recv() is guarded too: the library gets a
// message only once it is whole and has passed, and a connection that carries
// one that does not pass is ended.
#pragma once

#include <QHostAddress>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/types.h>

struct sockaddr;

class CSipGuard {
public:
    // serviceOnly: only datagrams from the servers set below reach the library.
    explicit CSipGuard(bool serviceOnly);
    ~CSipGuard();
    CSipGuard(const CSipGuard&) = delete;
    CSipGuard& operator=(const CSipGuard&) = delete;

    // The core's SIP listening ports; what arrives on their UDP sockets is checked.
    void Watch(const std::set<int>& ports);
    // A server SIP may come from while only the service is admitted.
    void AddServer(const QHostAddress& address, int port);
    bool serviceOnly() const { return m_serviceOnly; }
    // Datagrams dropped so far.
    quint64 dropped() const { return m_dropped.load(); }

    // Whether the library may see this datagram; counts and logs what it may not.
    bool Admits(const sockaddr* sender, std::string_view datagram);
    // The same judgement for a look ahead of the read, which counts nothing.
    bool WouldAdmit(const sockaddr* sender, std::string_view datagram) const;
    // A read of the library on a connection to the SIP port: hands over whole
    // messages that pass, and ends the connection at one that does not.
    ssize_t ReadStream(int fd, void* buffer, size_t length, int flags);

private:
    struct StreamState {
        ino_t inode = 0;
        size_t passing = 0; // bytes of a message that passed, not read by the library yet
    };

    bool FromServer(const sockaddr* sender, bool anyPort) const;
    // Why a datagram may not reach the library; null when it may.
    const char* Refusal(const sockaddr* sender, std::string_view datagram) const;
    void NoteDropped(const sockaddr* sender, const char* reason);

    const bool m_serviceOnly;
    mutable std::mutex m_mutex;
    std::vector<std::pair<QHostAddress, int>> m_servers;
    std::atomic<quint64> m_dropped{0};
    std::mutex m_streamMutex;
    std::map<int, StreamState> m_streams;
    std::vector<char> m_peek;
};
