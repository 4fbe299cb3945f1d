#include "SipGuard.h"

#include "SipScreen.h"
#include "SipTrace.h"

#include <QLoggingCategory>

#include <algorithm>
#include <bit>
#include <set>

#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

Q_LOGGING_CATEGORY(lcSipGuard, "orvalo.sip.guard")

std::pair<QHostAddress, int> Endpoint(const sockaddr* address)
{
    if (!address)
        return {QHostAddress(), -1};
    if (address->sa_family == AF_INET)
        return {QHostAddress(address), ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port)};
    if (address->sa_family == AF_INET6)
        return {QHostAddress(address), ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port)};
    return {QHostAddress(), -1};
}

// The UDP ports guards watch, by local port rather than by descriptor: the
// library may open its listening socket again, and a closed descriptor's number
// may come back as an unrelated socket (media, for one).
class CWatchedPorts {
public:
    static CWatchedPorts& Instance()
    {
        static CWatchedPorts ports;
        return ports;
    }

    void Set(CSipGuard* guard, const std::set<int>& ports)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Remove(guard);
        for (int port : ports)
            m_ports.emplace_back(port, guard);
        m_any.store(!m_ports.empty());
    }

    void Clear(CSipGuard* guard) { Set(guard, {}); }

    // Runs the check of the guard watching the socket's port under the lock, so
    // that the guard cannot go away meanwhile; true (admit) for other sockets.
    template <typename Check> bool Admits(int fd, Check check)
    {
        if (!m_any.load(std::memory_order_relaxed))
            return true;
        int type = 0;
        socklen_t length = sizeof(type);
        sockaddr_storage local{};
        socklen_t localLength = sizeof(local);
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_DGRAM ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0)
            return true;
        const int port = Endpoint(reinterpret_cast<const sockaddr*>(&local)).second;
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = std::find_if(m_ports.begin(), m_ports.end(), [port](const auto& p) { return p.first == port; });
        return it == m_ports.end() || check(*it->second);
    }

private:
    void Remove(CSipGuard* guard)
    {
        m_ports.erase(
            std::remove_if(m_ports.begin(), m_ports.end(), [guard](const auto& p) { return p.second == guard; }),
            m_ports.end());
    }

    std::mutex m_mutex;
    std::vector<std::pair<int, CSipGuard*>> m_ports;
    std::atomic<bool> m_any{false};
};

using RecvFrom = ssize_t (*)(int, void*, size_t, int, sockaddr*, socklen_t*);

RecvFrom SystemRecvFrom()
{
    static const auto function = reinterpret_cast<RecvFrom>(dlsym(RTLD_NEXT, "recvfrom"));
    return function;
}

} // namespace

CSipGuard::CSipGuard(bool serviceOnly) : m_serviceOnly(serviceOnly)
{
}

CSipGuard::~CSipGuard()
{
    CWatchedPorts::Instance().Clear(this);
}

void CSipGuard::Watch(const std::set<int>& ports)
{
    CWatchedPorts::Instance().Set(this, ports);
}

void CSipGuard::AddServer(const QHostAddress& address, int port)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto server = std::make_pair(address, port);
    if (std::find(m_servers.begin(), m_servers.end(), server) == m_servers.end())
        m_servers.push_back(server);
}

bool CSipGuard::FromServer(const sockaddr* sender) const
{
    const auto [address, port] = Endpoint(sender);
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::any_of(m_servers.begin(), m_servers.end(), [&, port = port](const auto& server) {
        return server.second == port && server.first.isEqual(address, QHostAddress::TolerantConversion);
    });
}

bool CSipGuard::Admits(const sockaddr* sender, std::string_view datagram)
{
    if (m_serviceOnly && !FromServer(sender)) {
        NoteDropped(sender, "not from the service");
        return false;
    }
    const SipVerdict verdict = ScreenSipMessage(datagram);
    if (verdict == SipVerdict::Accepted)
        return true;
    NoteDropped(sender, Describe(verdict));
    return false;
}

void CSipGuard::NoteDropped(const sockaddr* sender, const char* reason)
{
    const quint64 count = ++m_dropped;
    const auto [address, port] = Endpoint(sender);
    const QString text = QStringLiteral("dropped a SIP datagram from %1:%2 (%3); %4 dropped so far")
                             .arg(address.toString())
                             .arg(port)
                             .arg(QLatin1String(reason))
                             .arg(count);
    CSipTrace::Note(text.toStdString());
    // A flood must not flood the console as well: 1, 2, 4, 8, ...
    if (std::has_single_bit(count))
        qCWarning(lcSipGuard).noquote() << text;
}

// Every recvfrom() of the process comes here first (see the header). The
// definition is exported from the program (the library's link options see to
// it), so the SIP library's calls reach it before the C library's.
extern "C" ssize_t recvfrom(int fd, void* buffer, size_t length, int flags, sockaddr* sender, socklen_t* senderLength)
{
    sockaddr_storage own{};
    socklen_t ownLength = sizeof(own);
    sockaddr* from = sender ? sender : reinterpret_cast<sockaddr*>(&own);
    socklen_t* fromLength = sender ? senderLength : &ownLength;
    const ssize_t received = SystemRecvFrom()(fd, buffer, length, flags, from, fromLength);
    if (received < 0 || (flags & MSG_PEEK))
        return received;
    const std::string_view datagram(static_cast<const char*>(buffer), static_cast<size_t>(received));
    if (CWatchedPorts::Instance().Admits(fd, [&](CSipGuard& guard) { return guard.Admits(from, datagram); }))
        return received;
    // The library takes an empty read, or "nothing there", for a broken channel
    // and ends every transaction on it; a bare line end it skips as noise.
    static constexpr char kFiller[] = "\r\n";
    const size_t filler = std::min(length, sizeof(kFiller) - 1);
    std::copy_n(kFiller, filler, static_cast<char*>(buffer));
    return static_cast<ssize_t>(filler);
}
