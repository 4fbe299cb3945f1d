#include "SipGuard.h"

#include "SipTrace.h"
#include "module/SipReadRoute.h"

#include <QLoggingCategory>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <set>

#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

Q_LOGGING_CATEGORY(lcSipGuard, "orvalo.sip.guard")

// Answers to refused requests: enough for a peer that gets a few wrong, too few
// for anyone to use the phone to send traffic elsewhere.
constexpr double kAnswersPerSecond = 20;
constexpr double kAnswerBurst = 20;

// The length of a sender's address, for sending back to it; 0 for a kind the guard does not answer.
socklen_t AddressLength(const sockaddr* address)
{
    if (address && address->sa_family == AF_INET)
        return sizeof(sockaddr_in);
    if (address && address->sa_family == AF_INET6)
        return sizeof(sockaddr_in6);
    return 0;
}

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

// The SIP ports guards watch, by local port rather than by descriptor: the
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

    // Runs `use` with the guard watching the socket's local port, under the lock
    // so that the guard cannot go away meanwhile; `fallback` for other sockets.
    template <typename Use, typename Fallback> auto With(int fd, Use use, Fallback fallback)
    {
        if (!m_any.load(std::memory_order_relaxed))
            return fallback();
        int type = 0;
        socklen_t length = sizeof(type);
        sockaddr_storage local{};
        socklen_t localLength = sizeof(local);
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || (type != SOCK_DGRAM && type != SOCK_STREAM) ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0)
            return fallback();
        const int port = Endpoint(reinterpret_cast<const sockaddr*>(&local)).second;
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = std::find_if(m_ports.begin(), m_ports.end(), [port](const auto& p) { return p.first == port; });
        return it == m_ports.end() ? fallback() : use(*it->second, type == SOCK_STREAM);
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

// A bare line end, which the library skips as noise between messages. It takes
// an empty read, or "nothing there", for a broken channel and ends every
// transaction on it, so a dropped datagram is replaced by this.
ssize_t Filler(void* buffer, size_t length)
{
    static constexpr char kFiller[] = "\r\n";
    const size_t filler = std::min(length, sizeof(kFiller) - 1);
    std::copy_n(kFiller, filler, static_cast<char*>(buffer));
    return static_cast<ssize_t>(filler);
}

ssize_t GuardedRecvFrom(int fd, void* buffer, size_t length, int flags, sockaddr* sender, socklen_t* senderLength);

// The C library's recvfrom(), handed over by the program's own when it routes its reads here.
std::atomic<SipReadFunction> g_systemRecvFrom{nullptr};

SipReadFunction SystemRecvFrom()
{
    return g_systemRecvFrom.load(std::memory_order_acquire);
}

// The program's recvfrom() (SipReadRoute.h) sends the reads here from now on.
// Without it nothing would be screened: the guard says so loudly.
bool RouteReadsThroughGuards()
{
    static const bool routed = [] {
        using Route = SipReadFunction (*)(SipReadFunction);
        const auto route = reinterpret_cast<Route>(dlsym(RTLD_DEFAULT, "OrvaloRouteSipReads"));
        if (route)
            g_systemRecvFrom.store(route(&GuardedRecvFrom), std::memory_order_release);
        else
            qCCritical(lcSipGuard) << "the program does not route its socket reads: SIP is not screened";
        return route != nullptr;
    }();
    return routed;
}

} // namespace

CSipGuard::CSipGuard(bool serviceOnly) : m_serviceOnly(serviceOnly), m_answers(kAnswersPerSecond, kAnswerBurst)
{
}

CSipGuard::~CSipGuard()
{
    CWatchedPorts::Instance().Clear(this);
}

void CSipGuard::Watch(const std::set<int>& ports)
{
    if (!ports.empty())
        RouteReadsThroughGuards();
    CWatchedPorts::Instance().Set(this, ports);
}

void CSipGuard::AddServer(const QHostAddress& address, int port)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto server = std::make_pair(address, port);
    if (std::find(m_servers.begin(), m_servers.end(), server) == m_servers.end())
        m_servers.push_back(server);
}

bool CSipGuard::FromServer(const sockaddr* sender, bool anyPort) const
{
    const auto [address, port] = Endpoint(sender);
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::any_of(m_servers.begin(), m_servers.end(), [&, port = port](const auto& server) {
        return (anyPort || server.second == port) && server.first.isEqual(address, QHostAddress::TolerantConversion);
    });
}

bool CSipGuard::SenderAdmitted(const sockaddr* sender, bool anyPort) const
{
    return !m_serviceOnly || FromServer(sender, anyPort);
}

bool CSipGuard::Admits(int fd, const sockaddr* sender, std::string_view datagram)
{
    // A sender that may not send SIP is never answered: its address may be forged.
    if (!SenderAdmitted(sender, false)) {
        NoteDropped(sender, "not from the service");
        return false;
    }
    const SipVerdict verdict = ScreenSipMessage(datagram);
    if (verdict == SipVerdict::Accepted)
        return true;
    NoteDropped(sender, Describe(verdict));
    Answer(fd, sender, datagram, verdict, false);
    return false;
}

bool CSipGuard::WouldAdmit(const sockaddr* sender, std::string_view datagram) const
{
    return SenderAdmitted(sender, false) && ScreenSipMessage(datagram) == SipVerdict::Accepted;
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

void CSipGuard::Answer(int fd, const sockaddr* sender, std::string_view message, SipVerdict verdict, bool stream)
{
    const socklen_t senderLength = AddressLength(sender);
    if (!senderLength)
        return;
    const std::optional<SipRefusalAnswer> answer = BuildSipRefusalAnswer(message, verdict);
    if (!answer)
        return;
    const auto [address, port] = Endpoint(sender);
    bool withinBudget = false;
    {
        std::lock_guard<std::mutex> lock(m_answersMutex);
        withinBudget = m_answers.Take(CTokenBucket::Clock::now());
    }
    if (!withinBudget) {
        CSipTrace::Note(QStringLiteral("left a refused SIP request from %1:%2 unanswered (too many answers)")
                            .arg(address.toString())
                            .arg(port)
                            .toStdString());
        return;
    }
    const ssize_t sent = sendto(fd, answer->text.data(), answer->text.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                stream ? nullptr : sender, stream ? 0 : senderLength);
    if (sent != static_cast<ssize_t>(answer->text.size())) {
        qCWarning(lcSipGuard) << "cannot answer a refused SIP request:" << std::strerror(errno);
        return;
    }
    const quint64 count = ++m_answered;
    const QString text = QStringLiteral("answered a refused SIP request from %1:%2 with %3; %4 answered so far")
                             .arg(address.toString())
                             .arg(port)
                             .arg(answer->status)
                             .arg(count);
    CSipTrace::Note(text.toStdString());
    if (std::has_single_bit(count))
        qCWarning(lcSipGuard).noquote() << text;
}

ssize_t CSipGuard::ReadStream(int fd, void* buffer, size_t length, int flags)
{
    std::lock_guard<std::mutex> lock(m_streamMutex);
    struct stat status {};
    fstat(fd, &status);
    StreamState& state = m_streams[fd];
    if (state.inode != status.st_ino)
        state = {status.st_ino, 0};
    const SipReadFunction system = SystemRecvFrom();
    auto pass = [&] {
        const ssize_t received = system(fd, buffer, std::min(length, state.passing), flags, nullptr, nullptr);
        if (received > 0)
            state.passing -= static_cast<size_t>(received);
        return received;
    };
    // The rest of a message that passed.
    if (state.passing > 0)
        return pass();
    // The next message is looked at whole before the library gets a byte of it.
    m_peek.resize(SipLimits::kMaxMessage + 1);
    const ssize_t seen = system(fd, m_peek.data(), m_peek.size(), flags | MSG_PEEK, nullptr, nullptr);
    if (seen <= 0)
        return system(fd, buffer, length, flags, nullptr, nullptr);
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof(peer);
    getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength);
    const auto* sender = reinterpret_cast<const sockaddr*>(&peer);
    const std::string_view bytes(m_peek.data(), static_cast<size_t>(seen));
    const std::optional<size_t> framed = SipFramedLength(bytes);
    const char* refusal = nullptr;
    SipVerdict verdict = SipVerdict::Accepted;
    // A server connects from a port of its choosing.
    if (!SenderAdmitted(sender, true))
        refusal = "not from the service";
    else if (!framed)
        refusal = "no message within the bounds";
    else if (*framed == 0 || *framed > bytes.size())
        return Filler(buffer, length); // more is on its way; the library comes back
    else if (verdict = ScreenSipMessage(bytes.substr(0, *framed));
             verdict != SipVerdict::Accepted &&
             bytes.substr(0, *framed).find_first_not_of("\r\n") != std::string_view::npos)
        refusal = Describe(verdict);
    if (refusal) {
        // A stream cannot skip a message it cannot trust: the connection ends,
        // after the answer if the message is a request that can have one.
        NoteDropped(sender, refusal);
        if (verdict != SipVerdict::Accepted) {
            Answer(fd, sender, bytes.substr(0, *framed), verdict, true);
            // Closing with unread bytes would reset the connection, and the answer with it.
            system(fd, m_peek.data(), static_cast<size_t>(seen), flags | MSG_DONTWAIT, nullptr, nullptr);
        }
        shutdown(fd, SHUT_RDWR);
        m_streams.erase(fd);
        return 0;
    }
    state.passing = *framed;
    return pass();
}

namespace {

// Every read of the process comes here once routed (SipReadRoute.h); only those
// on a port a guard watches are looked at.
ssize_t GuardedRecvFrom(int fd, void* buffer, size_t length, int flags, sockaddr* sender, socklen_t* senderLength)
{
    auto read = [&] { return SystemRecvFrom()(fd, buffer, length, flags, sender, senderLength); };
    if (flags & MSG_PEEK)
        return read();
    return CWatchedPorts::Instance().With(
        fd,
        [&](CSipGuard& guard, bool stream) {
            if (stream)
                return guard.ReadStream(fd, buffer, length, flags);
            sockaddr_storage own{};
            socklen_t ownLength = sizeof(own);
            sockaddr* from = sender ? sender : reinterpret_cast<sockaddr*>(&own);
            const ssize_t received =
                SystemRecvFrom()(fd, buffer, length, flags, from, sender ? senderLength : &ownLength);
            if (received < 0 ||
                guard.Admits(fd, from, {static_cast<const char*>(buffer), static_cast<size_t>(received)}))
                return received;
            return Filler(buffer, length);
        },
        read);
}

} // namespace
