#include "SipWatchedPorts.h"

#include <algorithm>
#include <vector>

#include <netinet/in.h>

namespace {

int PortOf(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return -1;
}

} // namespace

CWatchedPorts& CWatchedPorts::Instance()
{
    static CWatchedPorts ports;
    return ports;
}

CWatchedPorts::TlsReadCapture*& CWatchedPorts::CurrentTlsRead()
{
    thread_local TlsReadCapture* capture = nullptr;
    return capture;
}

void CWatchedPorts::Set(CSipGuard* guard, const std::set<int>& ports, const std::set<int>& tlsPorts)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::erase_if(m_ports, [guard](const Port& p) { return p.guard == guard; });
    std::erase(m_guards, guard);
    for (int port : ports)
        m_ports.push_back({port, guard, tlsPorts.contains(port)});
    if (!ports.empty())
        m_guards.push_back(guard);
    m_any.store(!m_ports.empty());
}

void CWatchedPorts::Forget(CSipGuard* guard)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Set(guard, {}, {});
    std::erase_if(m_tlsContexts, [guard](const auto& context) { return context.second == guard; });
}

std::pair<CSipGuard*, SipSocketKind> CWatchedPorts::GuardFor(int fd, int type)
{
    sockaddr_storage local{};
    socklen_t localLength = sizeof(local);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0)
        return {nullptr, SipSocketKind::Datagram};
    const int port = PortOf(local);
    const auto it = std::find_if(m_ports.begin(), m_ports.end(), [port](const Port& p) { return p.port == port; });
    if (it != m_ports.end()) {
        if (type == SOCK_DGRAM)
            return {it->guard, SipSocketKind::Datagram};
        return {it->guard, it->tls ? SipSocketKind::StreamOnTlsPort : SipSocketKind::StreamOnSipPort};
    }
    // A connection the phone opened to its server carries the server's requests too.
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof(peer);
    if (type != SOCK_STREAM || getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
        return {nullptr, SipSocketKind::Datagram};
    const auto server = std::find_if(m_guards.begin(), m_guards.end(), [&peer](CSipGuard* guard) {
        return guard->IsServer(reinterpret_cast<const sockaddr*>(&peer));
    });
    return {server == m_guards.end() ? nullptr : *server, SipSocketKind::StreamToServer};
}

std::int32_t CWatchedPorts::ReadTls(void* context, unsigned char* buffer, size_t length, SipTlsReadFunction system)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (const auto known = m_tlsContexts.find(context); known != m_tlsContexts.end())
        return known->second ? known->second->ReadTls(context, buffer, length, system)
                             : system(context, buffer, length);
    if (!WatchesAny())
        return system(context, buffer, length);
    // The first read of a context: the guard of the connection below it, if any,
    // hears of it while the toolbox reads the socket. Until then nothing of what
    // it reads may reach the caller.
    TlsReadCapture capture;
    CurrentTlsRead() = &capture;
    std::vector<unsigned char> first(length);
    const std::int32_t read = system(context, first.data(), length);
    CurrentTlsRead() = nullptr;
    m_tlsContexts[context] = capture.guard;
    if (!capture.guard) {
        std::copy_n(first.begin(), std::max(read, 0), buffer);
        return read;
    }
    capture.guard->AdoptTls(context, capture.fd,
                            {reinterpret_cast<const char*>(first.data()), static_cast<size_t>(std::max(read, 0))});
    return read <= 0 ? read : capture.guard->ReadTls(context, buffer, length, system);
}

void CWatchedPorts::TlsContextFreed(void* context)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const auto it = m_tlsContexts.find(context);
    if (it == m_tlsContexts.end())
        return;
    if (it->second)
        it->second->ForgetTls(context);
    m_tlsContexts.erase(it);
}
