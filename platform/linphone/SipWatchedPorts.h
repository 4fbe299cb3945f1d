// Which guard, if any, screens a socket or a TLS connection of the process.
// Listening sockets are recognised by their local port rather than by their
// descriptor: the library may open them again, and a closed descriptor's number
// may come back as an unrelated socket (media, for one). Connections the phone
// opened to its server are recognised by their far end, and TLS contexts by the
// connection their first read went through.
#pragma once

#include "SipGuard.h"
#include "module/SipReadRoute.h"

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <vector>

class CWatchedPorts {
public:
    static CWatchedPorts& Instance();

    void Set(CSipGuard* guard, const std::set<int>& ports, const std::set<int>& tlsPorts);
    // Drops the guard's ports and TLS contexts: it is going away.
    void Forget(CSipGuard* guard);

    // Runs `use(guard, kind)` with the guard that screens the socket, under the
    // lock so that the guard cannot go away meanwhile; `fallback()` for other sockets.
    template <typename Use, typename Fallback> auto With(int fd, Use use, Fallback fallback);

    // A read of a TLS context (bctbx_ssl_read): through its guard, or as usual
    // for a context that reads no SIP connection (DTLS of media, for one).
    std::int32_t ReadTls(void* context, unsigned char* buffer, size_t length, SipTlsReadFunction system);
    // The toolbox frees the context.
    void TlsContextFreed(void* context);

    // While a TLS context reads its first bytes, the guard whose connection it
    // reads says so here (per thread: every core reads on its own thread).
    struct TlsReadCapture {
        CSipGuard* guard = nullptr;
        int fd = -1;
    };
    static TlsReadCapture*& CurrentTlsRead();

private:
    struct Port {
        int port;
        CSipGuard* guard;
        bool tls;
    };
    bool WatchesAny() const { return m_any.load(std::memory_order_relaxed); }
    std::pair<CSipGuard*, SipSocketKind> GuardFor(int fd, int type);

    // Recursive: a TLS read holds it while the toolbox reads the socket below.
    std::recursive_mutex m_mutex;
    std::vector<Port> m_ports;
    std::vector<CSipGuard*> m_guards;
    // Null for a context that reads no SIP connection.
    std::map<void*, CSipGuard*> m_tlsContexts;
    std::atomic<bool> m_any{false};
};

template <typename Use, typename Fallback> auto CWatchedPorts::With(int fd, Use use, Fallback fallback)
{
    if (!WatchesAny())
        return fallback();
    int type = 0;
    socklen_t length = sizeof(type);
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || (type != SOCK_DGRAM && type != SOCK_STREAM))
        return fallback();
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const auto [guard, kind] = GuardFor(fd, type);
    return guard ? use(*guard, kind) : fallback();
}
