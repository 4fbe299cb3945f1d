#include "SipMutator.h"

#include "SipTraffic.h"

#include <array>
#include <string_view>

namespace {

using namespace std::string_view_literals;

const QByteArray kSdp = "v=0\r\no=mallory 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
                        "m=audio 40000 RTP/AVP 96 0 101\r\na=rtpmap:96 opus/48000/2\r\na=rtpmap:101 "
                        "telephone-event/8000\r\na=fmtp:101 0-15\r\n";
const QByteArray kPidf = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<presence xmlns=\"urn:ietf:params:xml:ns:pidf\" "
                         "entity=\"sip:mallory@hostile.invalid\"><tuple id=\"t1\"><status><basic>open</basic>"
                         "</status><note>Lunch</note></tuple></presence>\n";

// Characters that tend to upset a SIP parser.
constexpr std::string_view kTricky = "\"<>;:@,=\\ \t\r\n%?&/[]\x00\x7f\xff"sv;

} // namespace

QByteArray CSipMutator::Run(int length)
{
    static constexpr std::array<char, 6> kFill = {'a', '7', '"', '<', '%', ';'};
    return QByteArray(length, kFill[Below(kFill.size())]);
}

QByteArray CSipMutator::Seed(const QByteArray& requestUri, quint16 viaPort)
{
    SipRequest request;
    request.requestUri = requestUri;
    request.from = "\"Mallory\" <sip:mallory@hostile.invalid>";
    switch (Below(5)) {
    case 0: request.body = "hello there"; break;
    case 1:
        request.method = "INVITE";
        request.contentType = "application/sdp";
        request.body = kSdp;
        break;
    case 2:
        request.method = "NOTIFY";
        request.contentType = "application/pidf+xml";
        request.body = kPidf;
        break;
    case 3: request.method = "OPTIONS"; break;
    default:
        request.contentType = "application/im-iscomposing+xml";
        request.body = "<?xml version=\"1.0\"?><isComposing xmlns=\"urn:ietf:params:xml:ns:im-iscomposing\">"
                       "<state>active</state></isComposing>";
        break;
    }
    return request.Build(viaPort);
}

void CSipMutator::Mutate(QByteArray& message, qsizetype protectedPrefix)
{
    const qsizetype free = message.size() - protectedPrefix;
    if (free <= 1)
        return;
    const qsizetype at = protectedPrefix + Below(static_cast<int>(free));
    const qsizetype span = 1 + Below(static_cast<int>(std::min<qsizetype>(free - (at - protectedPrefix), 64)));
    switch (Below(9)) {
    case 0: // flip bytes
        for (int i = 0; i < 1 + Below(8); ++i)
            message[protectedPrefix + Below(static_cast<int>(free))] = static_cast<char>(Below(256));
        break;
    case 1: message.insert(at, QByteArray(1, kTricky[Below(static_cast<int>(kTricky.size()))])); break;
    case 2: message.remove(at, span); break;
    case 3: message.insert(at, message.mid(at, span).repeated(1 + Below(40))); break;
    case 4: // a long run, of a length around the guard's bounds or far beyond
        message.insert(at, Run(std::array{100, 130, 260, 520, 1100, 9000, 20000}[Below(7)]));
        break;
    case 5: message.truncate(at); break;
    case 6: message.replace("\r\n", Below(2) ? "\n" : "\r"); break;
    case 7: message.replace("Content-Length: ", "Content-Length: " + QByteArray::number(Below(100000)) + "0"); break;
    default: // a header many times over
        message.insert(at, (QByteArray("X-Flood: ") + Run(10) + "\r\n").repeated(1 + Below(100)));
        break;
    }
}

QByteArray CSipMutator::Next(const QByteArray& requestUri, quint16 viaPort, bool keepRouting)
{
    QByteArray message = Seed(requestUri, viaPort);
    qsizetype protectedPrefix = 0;
    if (keepRouting) {
        const qsizetype via = message.indexOf("\r\n", message.indexOf("Via: "));
        protectedPrefix = via + 2;
    }
    for (int i = 0, count = 1 + Below(3); i < count; ++i)
        Mutate(message, protectedPrefix);
    return message;
}
