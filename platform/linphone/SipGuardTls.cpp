// What a TLS connection carries, screened once the toolbox has decrypted it,
// with the same framing and rules as a TCP connection (JudgeSipStream). The
// library reads through bctbx_ssl_read(); the guard reads the plaintext into a
// buffer of the connection's own and hands the library whole messages that
// passed. It reads a whole record each time (the toolbox reads the socket one
// record at a time), so what it does not hold yet is still in the socket, and
// the library's poll wakes it for it.
#include "SipGuard.h"

#include <bctoolbox/crypto.h>

#include <algorithm>

#include <sys/socket.h>

namespace {

// The largest plaintext of one TLS record.
constexpr size_t kTlsRecord = 16 * 1024;

} // namespace

void CSipGuard::AdoptTls(void* context, int fd, std::string_view firstBytes)
{
    std::lock_guard<std::mutex> lock(m_tlsMutex);
    TlsState& state = m_tls[context];
    state = {};
    state.fd = fd;
    state.plaintext.assign(firstBytes);
}

void CSipGuard::ForgetTls(void* context)
{
    std::lock_guard<std::mutex> lock(m_tlsMutex);
    m_tls.erase(context);
}

std::int32_t CSipGuard::ReadTls(void* context, unsigned char* buffer, size_t length, SipTlsReadFunction system)
{
    std::lock_guard<std::mutex> lock(m_tlsMutex);
    TlsState& state = m_tls[context];
    if (state.ended)
        return 0;
    size_t delivered = 0;
    // Bounded: each turn hands over bytes, judges a message whole, or reads a
    // record; the buffer never holds more than a message and a record.
    while (delivered < length) {
        if (state.passing > 0) {
            const size_t part = std::min(state.passing, length - delivered);
            std::copy_n(state.plaintext.begin(), part, buffer + delivered);
            state.plaintext.erase(0, part);
            state.passing -= part;
            delivered += part;
            continue;
        }
        const SipStreamJudgement judgement = JudgeSipStream(state.plaintext);
        if (judgement.kind == SipStreamJudgement::Kind::Passes) {
            state.passing = judgement.length;
            continue;
        }
        if (judgement.kind != SipStreamJudgement::Kind::Incomplete) {
            // As on TCP: a message that may not pass is answered and taken out;
            // bytes that cannot be cut into one end the connection, after what passed before.
            const sockaddr_storage peer = PeerOf(state.fd);
            RefuseOnStream(reinterpret_cast<const sockaddr*>(&peer), state.plaintext, judgement,
                           [context](const std::string& answer) {
                               return bctbx_ssl_write(static_cast<bctbx_ssl_context_t*>(context),
                                                      reinterpret_cast<const unsigned char*>(answer.data()),
                                                      answer.size()) == static_cast<std::int32_t>(answer.size());
                           });
            if (judgement.kind == SipStreamJudgement::Kind::Dropped) {
                state.plaintext.erase(0, judgement.length);
                continue;
            }
            // The library sees the end when it reads again, which the shut socket makes it do.
            shutdown(state.fd, SHUT_RDWR);
            state.plaintext.clear();
            state.ended = true;
            break;
        }
        // Whole messages first; the rest of this one is still in the socket.
        if (delivered > 0)
            break;
        unsigned char record[kTlsRecord];
        const std::int32_t read = system(context, record, sizeof(record));
        if (read <= 0)
            return read; // wants more, closed or failed: the library handles it as ever
        state.plaintext.append(reinterpret_cast<const char*>(record), static_cast<size_t>(read));
    }
    return static_cast<std::int32_t>(delivered);
}
