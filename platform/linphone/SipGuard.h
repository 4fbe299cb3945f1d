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
// one that does not pass is ended. A request refused for what it holds, from a
// sender that may send SIP, is answered with an error (BuildSipRefusalAnswer) on
// the same socket, within a budget of answers per second: otherwise the service
// would send it again for half a minute, and the sender would never learn why.
#pragma once

#include "SipScreen.h"
#include "TokenBucket.h"

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
    // Refused requests answered so far.
    quint64 answered() const { return m_answered.load(); }

    // Whether the library may see this datagram, read from the socket fd; counts
    // and logs what it may not, and answers what it may not see if it should.
    bool Admits(int fd, const sockaddr* sender, std::string_view datagram);
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
    // Whether SIP from there may reach the library at all.
    bool SenderAdmitted(const sockaddr* sender, bool anyPort) const;
    void NoteDropped(const sockaddr* sender, const char* reason);
    // Answers a refused message, if it is a request that can be answered, on the
    // socket it came from (to its sender, for a datagram).
    void Answer(int fd, const sockaddr* sender, std::string_view message, SipVerdict verdict, bool stream);

    const bool m_serviceOnly;
    mutable std::mutex m_mutex;
    std::vector<std::pair<QHostAddress, int>> m_servers;
    std::atomic<quint64> m_dropped{0};
    std::atomic<quint64> m_answered{0};
    std::mutex m_answersMutex;
    CTokenBucket m_answers;
    std::mutex m_streamMutex;
    std::map<int, StreamState> m_streams;
    std::vector<char> m_peek;
};
