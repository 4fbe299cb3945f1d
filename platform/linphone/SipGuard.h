// Stands between a core's SIP sockets and the library's parser. The library
// reads its sockets itself, inside iterate(); the only place where a datagram
// can be looked at before the parser sees it, without a race against the
// library's own poll, is the read itself. The program's own recvfrom()
// (module/SipReadRoute.h) therefore hands every read to the guards once one
// watches a port: for a socket a guard watches, every datagram is checked (its
// sender, when SIP may only come from the service, and ScreenSipMessage) and a
// rejected one is dropped and counted; every other socket reads as usual. On a
// connection to the SIP port (TCP) recv() is guarded too: the library gets a
// message only once it is whole and has passed; one that does not pass is taken
// out of the stream, and bytes that cannot be cut into a message within the
// bounds end the connection. On TLS the same happens to what the
// connection carries once decrypted (the program's bctbx_ssl_read()), and its
// ciphertext only gets the sender check. Connections the phone opened to its
// server are guarded like those to its SIP port. A request refused for what it
// holds, from a sender that may send SIP, is answered with an error
// (BuildSipRefusalAnswer) the way it came, within a budget of answers per
// second: otherwise the service would send it again for half a minute, and the
// sender would never learn why.
#pragma once

#include "SipScreen.h"
#include "TokenBucket.h"
#include "module/SipReadRoute.h"

#include <QHostAddress>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/socket.h>
#include <sys/types.h>

// What a socket the guard screens is to the phone.
enum class SipSocketKind {
    Datagram,
    StreamOnSipPort, // a connection to a plain SIP listening port
    StreamOnTlsPort, // a connection to a TLS listening port
    StreamToServer,  // a connection the phone opened to its server (TCP or TLS)
};

class CSipGuard {
public:
    // serviceOnly: only datagrams from the servers set below reach the library.
    explicit CSipGuard(bool serviceOnly);
    ~CSipGuard();
    CSipGuard(const CSipGuard&) = delete;
    CSipGuard& operator=(const CSipGuard&) = delete;

    // The core's SIP listening ports, those of them that take TLS among them.
    void Watch(const std::set<int>& ports, const std::set<int>& tlsPorts = {});
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
    // Whether that is the address and port of a server of a profile.
    bool IsServer(const sockaddr* address) const { return FromServer(address, false); }
    // A read of the library on a connection it screens: hands over whole
    // messages that pass, takes out those that do not, and ends the connection
    // at bytes that cannot be cut into a message. A TLS
    // connection only gets the sender check here; ReadTls screens what it carries.
    ssize_t ReadStream(int fd, void* buffer, size_t length, int flags, SipSocketKind kind);

    // A TLS context whose first read went through a connection (fd) this guard
    // screens, with the plaintext that read gave.
    void AdoptTls(void* context, int fd, std::string_view firstBytes);
    // A read of the library through the context (bctbx_ssl_read(), which
    // `system` is): whole messages that passed, or the toolbox's own result.
    std::int32_t ReadTls(void* context, unsigned char* buffer, size_t length, SipTlsReadFunction system);
    void ForgetTls(void* context);

private:
    struct StreamState {
        ino_t inode = 0;
        enum class Content { Unknown, Sip, Tls } content = Content::Unknown;
        size_t passing = 0; // bytes of a message that passed, not read by the library yet
    };
    struct TlsState {
        int fd = -1;
        std::string plaintext; // decrypted, not read by the library yet
        size_t passing = 0;    // the first bytes of it, which passed
        bool ended = false;
    };
    // Sends an answer back the way the refused message came; true if all went out.
    using AnswerWriter = std::function<bool(const std::string& answer)>;

    // The far end of a connection (all zero when it has none).
    static sockaddr_storage PeerOf(int fd);
    bool FromServer(const sockaddr* sender, bool anyPort) const;
    // Whether SIP from there may reach the library at all.
    bool SenderAdmitted(const sockaddr* sender, bool anyPort) const;
    void NoteDropped(const sockaddr* sender, const char* reason);
    // Answers a refused message, if it is a request that can be answered, through `write`.
    void Answer(const sockaddr* sender, std::string_view message, SipVerdict verdict, const AnswerWriter& write);
    // Counts the refusal of a stream's next message and answers it if it can be.
    void RefuseOnStream(const sockaddr* sender, std::string_view bytes, const SipStreamJudgement& judgement,
                        const AnswerWriter& write);
    // The first read of a connection: the sender check, and whether it carries TLS.
    bool StartStream(int fd, int flags, SipSocketKind kind, StreamState& state);

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
    std::mutex m_tlsMutex;
    std::map<void*, TlsState> m_tls;
};
