#include "SipGuard.h"

#include "SipTrace.h"
#include "SipWatchedPorts.h"

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
std::int32_t GuardedTlsRead(void* context, unsigned char* buffer, size_t length);
void TlsContextFreed(void* context);

// The first byte of a TLS handshake record: what a TLS server sends first.
constexpr unsigned char kTlsHandshakeRecord = 0x16;

// The C library's recvfrom(), handed over by the program's own when it routes its reads here.
std::atomic<SipReadFunction> g_systemRecvFrom{nullptr};

SipReadFunction SystemRecvFrom()
{
    return g_systemRecvFrom.load(std::memory_order_acquire);
}

// The toolbox's bctbx_ssl_read(), handed over the same way.
std::atomic<SipTlsReadFunction> g_systemTlsRead{nullptr};

// The program's recvfrom() and bctbx_ssl_read() (SipReadRoute.h) send the reads
// here from now on. Without them nothing would be screened: the guard says so loudly.
bool RouteReadsThroughGuards()
{
    static const bool routed = [] {
        using Route = SipReadFunction (*)(SipReadFunction);
        using TlsRoute = SipTlsReadFunction (*)(SipTlsReadFunction, SipTlsFreeFunction);
        const auto route = reinterpret_cast<Route>(dlsym(RTLD_DEFAULT, "OrvaloRouteSipReads"));
        const auto tlsRoute = reinterpret_cast<TlsRoute>(dlsym(RTLD_DEFAULT, "OrvaloRouteSipTlsReads"));
        if (route)
            g_systemRecvFrom.store(route(&GuardedRecvFrom), std::memory_order_release);
        else
            qCCritical(lcSipGuard) << "the program does not route its socket reads: SIP is not screened";
        const SipTlsReadFunction tlsRead = tlsRoute ? tlsRoute(&GuardedTlsRead, &TlsContextFreed) : nullptr;
        g_systemTlsRead.store(tlsRead, std::memory_order_release);
        if (!tlsRead)
            qCCritical(lcSipGuard) << "the program does not route its TLS reads: SIP over TLS is not screened";
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
    CWatchedPorts::Instance().Forget(this);
}

void CSipGuard::Watch(const std::set<int>& ports, const std::set<int>& tlsPorts)
{
    if (!ports.empty())
        RouteReadsThroughGuards();
    CWatchedPorts::Instance().Set(this, ports, tlsPorts);
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
    Answer(sender, datagram, verdict, [fd, sender](const std::string& answer) {
        return sendto(fd, answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL, sender, AddressLength(sender)) ==
               static_cast<ssize_t>(answer.size());
    });
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

void CSipGuard::Answer(const sockaddr* sender, std::string_view message, SipVerdict verdict, const AnswerWriter& write)
{
    if (!AddressLength(sender))
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
    if (!write(answer->text)) {
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

sockaddr_storage CSipGuard::PeerOf(int fd)
{
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof(peer);
    getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength);
    return peer;
}

void CSipGuard::RefuseOnStream(const sockaddr* sender, std::string_view bytes, const SipStreamJudgement& judgement,
                               const AnswerWriter& write)
{
    const bool framed = judgement.verdict != SipVerdict::Accepted;
    NoteDropped(sender, framed ? Describe(judgement.verdict) : "no message within the bounds");
    if (framed)
        Answer(sender, bytes.substr(0, judgement.length), judgement.verdict, write);
}

bool CSipGuard::StartStream(int fd, int flags, SipSocketKind kind, StreamState& state)
{
    unsigned char first = 0;
    if (SystemRecvFrom()(fd, &first, 1, flags | MSG_PEEK, nullptr, nullptr) <= 0)
        return true; // nothing yet, or the end: the library finds out by itself
    const sockaddr_storage peer = PeerOf(fd);
    // A server connects from a port of its choosing.
    if (!SenderAdmitted(reinterpret_cast<const sockaddr*>(&peer), true)) {
        NoteDropped(reinterpret_cast<const sockaddr*>(&peer), "not from the service");
        return false;
    }
    // The phone's own connection to its server carries TLS if the server answers with a handshake.
    const bool tls = kind == SipSocketKind::StreamOnTlsPort ||
                     (kind == SipSocketKind::StreamToServer && first == kTlsHandshakeRecord);
    state.content = tls ? StreamState::Content::Tls : StreamState::Content::Sip;
    return true;
}

ssize_t CSipGuard::ReadStream(int fd, void* buffer, size_t length, int flags, SipSocketKind kind)
{
    std::lock_guard<std::mutex> lock(m_streamMutex);
    struct stat status {};
    fstat(fd, &status);
    StreamState& state = m_streams[fd];
    if (state.inode != status.st_ino)
        state = {status.st_ino, StreamState::Content::Unknown, 0};
    const SipReadFunction system = SystemRecvFrom();
    auto end = [&] {
        shutdown(fd, SHUT_RDWR);
        m_streams.erase(fd);
        return ssize_t(0);
    };
    if (state.content == StreamState::Content::Unknown) {
        if (!StartStream(fd, flags, kind, state))
            return end();
        if (state.content == StreamState::Content::Unknown)
            return system(fd, buffer, length, flags, nullptr, nullptr);
    }
    if (state.content == StreamState::Content::Tls) {
        // Ciphertext: its plaintext is screened when the toolbox has decrypted it (ReadTls).
        if (auto* capture = CWatchedPorts::CurrentTlsRead())
            *capture = {this, fd};
        return system(fd, buffer, length, flags, nullptr, nullptr);
    }
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
    const std::string_view bytes(m_peek.data(), static_cast<size_t>(seen));
    const SipStreamJudgement judgement = JudgeSipStream(bytes);
    if (judgement.kind == SipStreamJudgement::Kind::Incomplete)
        return Filler(buffer, length); // more is on its way; the library comes back
    if (judgement.kind != SipStreamJudgement::Kind::Passes) {
        const sockaddr_storage peer = PeerOf(fd);
        RefuseOnStream(reinterpret_cast<const sockaddr*>(&peer), bytes, judgement, [fd](const std::string& answer) {
            return send(fd, answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
                   static_cast<ssize_t>(answer.size());
        });
        // Bytes that cannot be cut into a message leave no place to go on from.
        if (judgement.kind == SipStreamJudgement::Kind::Refused)
            return end();
        // A whole message the library may not see is taken out of the stream;
        // the connection, over which the service reaches the phone, stays.
        system(fd, m_peek.data(), judgement.length, flags | MSG_DONTWAIT, nullptr, nullptr);
        return Filler(buffer, length);
    }
    state.passing = judgement.length;
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
        [&](CSipGuard& guard, SipSocketKind kind) {
            if (kind != SipSocketKind::Datagram)
                return guard.ReadStream(fd, buffer, length, flags, kind);
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

std::int32_t GuardedTlsRead(void* context, unsigned char* buffer, size_t length)
{
    return CWatchedPorts::Instance().ReadTls(context, buffer, length, g_systemTlsRead.load(std::memory_order_acquire));
}

void TlsContextFreed(void* context)
{
    CWatchedPorts::Instance().TlsContextFreed(context);
}

} // namespace
