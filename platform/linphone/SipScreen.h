// What the phone lets through to the SIP library. The library's parser works on
// the user-interface thread and its time grows much faster than the length of an
// address (a 16 KB request address kept a core busy for seconds), and it crashed
// on a display name of 64 KB. A message outside these bounds, or not well formed
// at the start line and header level, never reaches it. docs/architecture.md
// says why each bound is what it is.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace SipLimits {
// A whole message: a presence document or an SDP offer is a few kilobytes.
inline constexpr std::size_t kMaxMessage = 32 * 1024;
// Start line and headers together, and their count.
inline constexpr std::size_t kMaxHeaderSection = 8 * 1024;
inline constexpr std::size_t kMaxHeaderLines = 64;
// The start line holds the request address (the phone's own contact).
inline constexpr std::size_t kMaxStartLine = 256;
// A header line that holds addresses (From, To, Contact, Route, ...).
inline constexpr std::size_t kMaxAddressLine = 512;
// Any other header line, and each line of an SDP body.
inline constexpr std::size_t kMaxLine = 1024;
// A quoted display name.
inline constexpr std::size_t kMaxDisplayName = 128;
// A request's method. The library finds where a message starts with a scanner
// that reads at most 16 characters of it, and scans the datagram again from
// every byte when that fails, a time that grows with the square of its size.
inline constexpr std::size_t kMaxMethod = 16;
// The library's time for an address grows with the square of the length of
// each of its words (a host label, a user part, a parameter's name or value: a
// run of characters between . ; : @ = < > , ? / [ ] and spaces). Summed over the
// request address, the Via and the address headers, these squares stay below
// this: one word of 128 characters, 8 to 16 ms of parsing in a release build.
inline constexpr std::size_t kMaxAddressWeight = 16 * 1024;
} // namespace SipLimits

enum class SipVerdict {
    Accepted,
    TooLarge,
    HeaderSectionTooLarge,
    TooManyHeaders,
    LineTooLong,
    DisplayNameTooLong,
    Malformed,
    BodyRefused,
    AddressTooHeavy,
};

// Checks one complete SIP message (a datagram).
SipVerdict ScreenSipMessage(std::string_view message);

// On a stream (TCP): how many bytes at the start of `bytes` make the first
// message (its headers and the body its Content-Length announces, or the line
// ends of a keep-alive); 0 while its headers are still incomplete; nothing when
// no message within the bounds can start there.
std::optional<std::size_t> SipFramedLength(std::string_view bytes);

// The next message on a stream (TCP, or TLS once decrypted), judged before the
// library gets a byte of it.
struct SipStreamJudgement {
    enum class Kind {
        Incomplete, // more bytes must come first
        Passes,     // the first `length` bytes may go to the library
        Dropped,    // the first `length` bytes are a message that may not; the stream goes on after it
        Refused,    // no message within the bounds starts here: the stream must end
    };
    Kind kind = Kind::Incomplete;
    // The message's bytes; 0 when no message within the bounds can start there.
    std::size_t length = 0;
    // Why a framed message is dropped; Accepted when it could not be framed.
    SipVerdict verdict = SipVerdict::Accepted;
};
SipStreamJudgement JudgeSipStream(std::string_view bytes);

// A short English text for the trace.
const char* Describe(SipVerdict verdict);

// A stateless answer to a request the guard refuses, so that its sender, or the
// service relaying it, learns why and stops sending it again.
struct SipRefusalAnswer {
    int status = 0;
    std::string text;
};

// 413 when the body makes a request too large, 513 when its headers do, 415
// (with the body types taken) for a body type the phone does not take, 400 for
// the rest. Nothing for an accepted message, a response, an ACK, or a request
// whose Via, From, To, Call-ID and CSeq cannot be read within the bounds: those
// are copied from the request as they are, and To gets a tag when it has none.
std::optional<SipRefusalAnswer> BuildSipRefusalAnswer(std::string_view message, SipVerdict verdict);
