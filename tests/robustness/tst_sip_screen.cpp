// What the SIP guard lets through to the library: legitimate traffic of every
// kind the phone receives passes; each bound and each well-formedness rule
// rejects at its edge.
#include "platform/linphone/SipGuard.h"
#include "platform/linphone/SipScreen.h"
#include "platform/linphone/SipWatchedPorts.h"
#include "platform/linphone/TokenBucket.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

#include <memory>
#include <string>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

Q_DECLARE_METATYPE(SipVerdict)

namespace {

using namespace SipLimits;

const std::string kFrom = "From: \"Alice\" <sip:15551230001@sip.orvalo.test>;tag=8f2a\r\n";

// A request or answer with the headers every message carries, the extra ones and the body.
std::string Message(const std::string& startLine, const std::string& extra = {}, const std::string& body = {},
                    const std::string& from = kFrom)
{
    return startLine + "\r\n" + "Via: SIP/2.0/UDP 127.0.0.1:5060;branch=z9hG4bK77;rport\r\n" + from +
           "To: <sip:15551230002@sip.orvalo.test>\r\nCall-ID: 4d1e@127.0.0.1\r\nCSeq: 20 MESSAGE\r\n" + extra +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Request(const std::string& method = "MESSAGE")
{
    return method + " sip:15551230002@127.0.0.1:5070;transport=udp SIP/2.0";
}

// A user part of that length made of short words.
std::string Dotted(std::size_t length)
{
    std::string text;
    while (text.size() < length)
        text += text.size() % 8 == 7 ? '.' : 'u';
    return text;
}

std::string Named(std::size_t nameLength)
{
    return "From: \"" + std::string(nameLength, 'n') + "\" <sip:x@sip.orvalo.test>;tag=1\r\n";
}

// As relayed by the service: its own Via on top.
std::string Relayed(std::string message)
{
    return message.insert(message.find("\r\n") + 2, "Via: SIP/2.0/UDP 127.0.0.1:5060;branch=z9hG4bKproxy1\r\n");
}

// The header lines of a message that start with one of the prefixes, in their order.
QByteArrayList LinesStartingWith(const QByteArray& message, const QByteArrayList& prefixes)
{
    QByteArrayList found;
    for (const QByteArray& line : message.left(message.indexOf("\r\n\r\n")).split('\n')) {
        if (std::any_of(prefixes.begin(), prefixes.end(), [&](const QByteArray& p) { return line.startsWith(p); }))
            found << line.chopped(1);
    }
    return found;
}

// What the library's next read of the socket gets through the guard; empty after a wait in vain.
QByteArray ReadThroughGuard(qintptr fd, int timeoutMs)
{
    pollfd waiting{int(fd), POLLIN, 0};
    if (poll(&waiting, 1, timeoutMs) != 1)
        return {};
    QByteArray buffer(64 * 1024, '\0');
    const ssize_t received = recv(int(fd), buffer.data(), buffer.size(), 0);
    return buffer.left(received < 0 ? 0 : received);
}

// The first datagram that reaches the socket in time; empty if none does.
QByteArray Received(QUdpSocket& socket, int timeoutMs)
{
    return socket.waitForReadyRead(timeoutMs) ? socket.receiveDatagram().data() : QByteArray();
}

// What the toolbox's bctbx_ssl_read() gives the guard in a test: one queued
// record per read, then "wants more" (the toolbox's BCTBX_ERROR_NET_WANT_READ).
constexpr std::int32_t kTlsWantsMore = -0x70032000;
QByteArrayList g_tlsRecords;

std::int32_t ReadTlsRecord(void*, unsigned char* buffer, size_t length)
{
    if (g_tlsRecords.isEmpty())
        return kTlsWantsMore;
    const QByteArray record = g_tlsRecords.takeFirst();
    const size_t size = std::min(length, size_t(record.size()));
    std::copy_n(record.constData(), size, buffer);
    return std::int32_t(size);
}

constexpr int kArrivalMs = 2000;
// How long a test waits for an answer that must not come.
constexpr int kSilenceMs = 300;

const std::string kSdp = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
                         "m=audio 7078 RTP/AVP 96 0\r\na=rtpmap:96 opus/48000/2\r\n";

} // namespace

class TestSipScreen : public QObject {
    Q_OBJECT

private slots:
    void verdicts_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<SipVerdict>("verdict");
        auto row = [](const char* name, const std::string& message, SipVerdict verdict) {
            QTest::newRow(name) << QByteArray::fromStdString(message) << verdict;
        };
        const std::string pidf(3000, 'p');
        const std::string auth = "WWW-Authenticate: Digest realm=\"sip.orvalo.test\", nonce=\"" + std::string(64, 'a') +
                                 "\", qop=\"auth\"\r\n";

        row("message", Message(Request(), "Content-Type: text/plain\r\n", "hello"), SipVerdict::Accepted);
        row("challenge", Message("SIP/2.0 401 Unauthorized", auth), SipVerdict::Accepted);
        row("invite with sdp", Message(Request("INVITE"), "Content-Type: application/sdp\r\n", kSdp),
            SipVerdict::Accepted);
        row("presence notify", Message(Request("NOTIFY"), "Content-Type: application/pidf+xml\r\n", pidf),
            SipVerdict::Accepted);
        row("folded header", Message(Request(), "Subject: one\r\n two\r\n"), SipVerdict::Accepted);
        row("keep-alive", "\r\n\r\n", SipVerdict::Accepted);

        row("display name at the bound", Message(Request(), {}, {}, Named(kMaxDisplayName)), SipVerdict::Accepted);
        row("display name over it", Message(Request(), {}, {}, Named(kMaxDisplayName + 1)),
            SipVerdict::DisplayNameTooLong);
        row("display name of 64 KB", Message(Request(), {}, {}, Named(64 * 1024)), SipVerdict::TooLarge);
        row("display name without its closing quote",
            Message(Request(), {}, {}, "From: \"Alice <sip:x@sip.orvalo.test>;tag=1\r\n"), SipVerdict::Malformed);

        // Words short enough that the line's length alone decides.
        const std::string shortStart = "OPTIONS sip:" + Dotted(kMaxStartLine - 22) + "@h SIP/2.0";
        const std::string longStart = "OPTIONS sip:" + Dotted(kMaxStartLine - 21) + "@h SIP/2.0";
        row("request line at the bound", Message(shortStart), SipVerdict::Accepted);
        row("request line over it", Message(longStart), SipVerdict::LineTooLong);
        row("request address of 16 KB", Message("OPTIONS sip:" + std::string(16 * 1024, 'u') + "@h SIP/2.0"),
            SipVerdict::HeaderSectionTooLarge);
        row("address header over its bound",
            Message(Request(), {}, {}, "From: <sip:" + std::string(kMaxAddressLine, 'a') + "@h>;tag=1\r\n"),
            SipVerdict::LineTooLong);
        // A registrar's answer lists each binding of the user, every device, in one line.
        std::string bindings = "Contact: ";
        for (int port = 40000; port < 40006; ++port)
            bindings +=
                "<sip:15551230001@127.0.0.1:" + std::to_string(port) +
                ";transport=udp>;expires=600;+sip.instance=\"<urn:uuid:1030ac03-80f2-005e-8c51-f0676bdf030d>\", ";
        row("bindings of several devices in one line",
            Message("SIP/2.0 200 OK", bindings + "<sip:15551230001@127.0.0.1:5062>\r\n"), SipVerdict::Accepted);
        row("one binding over the bound among several",
            Message("SIP/2.0 200 OK", bindings + "<sip:" + std::string(kMaxAddressLine, 'a') + "@h>\r\n"),
            SipVerdict::LineTooLong);
        row("other header over its bound", Message(Request(), "Subject: " + std::string(kMaxLine, 's') + "\r\n"),
            SipVerdict::LineTooLong);
        std::string many;
        for (std::size_t i = 0; i + 6 < kMaxHeaderLines; ++i)
            many += "X-N: 1\r\n";
        row("headers at the bound", Message(Request(), many), SipVerdict::Accepted);
        row("headers over it", Message(Request(), many + "X-N: 1\r\n"), SipVerdict::TooManyHeaders);
        row("sdp line over the bound",
            Message(Request("INVITE"), "Content-Type: application/sdp\r\n", kSdp + "a=x:" + std::string(kMaxLine, 'x')),
            SipVerdict::LineTooLong);
        row("message over the bound", Message(Request(), "Content-Type: text/plain\r\n", std::string(kMaxMessage, 'b')),
            SipVerdict::TooLarge);

        const std::string composing = "<?xml version=\"1.0\"?><isComposing "
                                      "xmlns=\"urn:ietf:params:xml:ns:im-iscomposing\"><state>active</state>";
        const std::string typing = "Content-Type: application/im-iscomposing+xml\r\n";
        row("typing notice", Message(Request(), typing, composing + "<refresh>60</refresh></isComposing>"),
            SipVerdict::Accepted);
        row("typing notice out of order",
            Message(Request(), typing,
                    composing.substr(0, composing.size() - 21) +
                        "<refresh>60</refresh><state>active</state></isComposing>"),
            SipVerdict::BodyRefused);
        row("typing notice with a stray element", Message(Request(), typing, composing + "<x/></isComposing>"),
            SipVerdict::BodyRefused);
        row("typing notice in another state",
            Message(Request(), typing,
                    composing.substr(0, composing.size() - 21) + "<state>busy</state></isComposing>"),
            SipVerdict::BodyRefused);
        row("typing notice cut short", Message(Request(), typing, composing), SipVerdict::BodyRefused);
        row("typing notice with text between its elements",
            Message(Request(), typing, composing + "x<refresh>60</refresh></isComposing>"), SipVerdict::BodyRefused);
        // The library would keep what follows the body and scan it again with every later datagram.
        row("bytes after the body",
            Message(Request(), typing, composing + "</isComposing>")
                .replace(Message(Request(), typing, composing + "</isComposing>").find("Content-Length: "), 19,
                         "Content-Length: 80"),
            SipVerdict::Malformed);
        row("line ends after the body", Message(Request(), "Content-Type: text/plain\r\n", "hello") + "\r\n",
            SipVerdict::Accepted);
        row("typing notice without a length",
            Request() + "\r\nVia: SIP/2.0/UDP h;branch=z9hG4bK1\r\n" + kFrom +
                "To: <sip:y@h>\r\nCall-ID: 1\r\nCSeq: 1 MESSAGE\r\n" + typing + "\r\n" + composing + "</isComposing>",
            SipVerdict::Malformed);
        row("empty typing notice", Message(Request(), typing), SipVerdict::BodyRefused);
        row("two lengths", Message(Request(), "Content-Length: 0\r\n"), SipVerdict::Malformed);
        row("html message", Message(Request(), "Content-Type: text/html; charset=utf-8\r\n", "<b>hi</b>"),
            SipVerdict::Accepted);
        row("delivery notice", Message(Request(), "Content-Type: message/imdn+xml\r\n", "<imdn/>"),
            SipVerdict::BodyRefused);

        // The library's parser takes a time that grows with the square of each word of an address.
        const std::string longestLabel = "sip:alice@" + std::string(63, 'h') + ".orvalo.test";
        row("host label of the longest length DNS allows",
            Message(Request(), "Route: <" + longestLabel + ";lr>\r\n", {}, "From: <" + longestLabel + ">;tag=1\r\n"),
            SipVerdict::Accepted);
        row("address word just under the weight bound", Message("OPTIONS sip:u@" + std::string(120, 'h') + " SIP/2.0"),
            SipVerdict::Accepted);
        row("address word over it", Message("OPTIONS sip:u@" + std::string(128, 'h') + " SIP/2.0"),
            SipVerdict::AddressTooHeavy);
        row("many long words in a folded route",
            Message(Request(), "Route: <" + longestLabel + ">,\r\n <" + longestLabel + ">,\r\n <" + longestLabel +
                                   ">,\r\n <" + longestLabel + ">\r\n"),
            SipVerdict::AddressTooHeavy);
        row("long word in the via", Message(Request(), "Via: SIP/2.0/UDP " + std::string(128, 'v') + "\r\n"),
            SipVerdict::AddressTooHeavy);

        row("method at its bound", Message(std::string(kMaxMethod, 'M') + " sip:x@h SIP/2.0"), SipVerdict::Accepted);
        row("method over it", Message(std::string(kMaxMethod + 1, 'M') + " sip:x@h SIP/2.0"), SipVerdict::Malformed);
        row("unknown protocol", Message("MESSAGE sip:x@h SIP/3.0"), SipVerdict::Malformed);
        row("method not a token", Message("MES(SAGE sip:x@h SIP/2.0"), SipVerdict::Malformed);
        row("address without scheme", Message("MESSAGE x SIP/2.0"), SipVerdict::Malformed);
        row("status of two digits", Message("SIP/2.0 99 Odd"), SipVerdict::Malformed);
        row("header without colon", Message(Request(), "Subject\r\n"), SipVerdict::Malformed);
        row("control character", Message(Request(), std::string("Subject: a\0b\r\n", 14)), SipVerdict::Malformed);
        row("no end of headers", Request() + "\r\nVia: SIP/2.0/UDP h\r\n", SipVerdict::Malformed);
        row("no call-id",
            Request() + "\r\nVia: SIP/2.0/UDP h;branch=z9hG4bK1\r\n" + kFrom +
                "To: <sip:y@h>\r\nCSeq: 1 MESSAGE\r\n\r\n",
            SipVerdict::Malformed);
        row("length beyond the body",
            Request() + "\r\nVia: SIP/2.0/UDP h;branch=z9hG4bK1\r\n" + kFrom +
                "To: <sip:y@h>\r\nCall-ID: 1\r\nCSeq: 1 MESSAGE\r\nContent-Length: 10\r\n\r\nabc",
            SipVerdict::Malformed);
    }

    void verdicts()
    {
        QFETCH(QByteArray, message);
        QFETCH(SipVerdict, verdict);
        QCOMPARE(ScreenSipMessage(std::string_view(message.constData(), message.size())), verdict);
    }

    // On a stream the guard cuts messages apart before it checks them; -1: no message can start there.
    void framedLengths_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("length");
        const std::string whole = Message(Request(), "Content-Type: text/plain\r\n", "hello");
        const std::string noLength = Request() + "\r\nVia: SIP/2.0/TCP h\r\n\r\n";
        auto row = [](const char* name, const std::string& bytes, int length) {
            QTest::newRow(name) << QByteArray::fromStdString(bytes) << length;
        };
        row("whole message", whole, int(whole.size()));
        row("message and the start of the next", whole + "MESSAGE sip:", int(whole.size()));
        row("headers not complete yet", whole.substr(0, 60), 0);
        row("body not complete yet", whole.substr(0, whole.size() - 2), int(whole.size()));
        row("keep-alive", "\r\n\r\nMESSAGE", 4);
        row("no content length", noLength, -1);
        row("headers over the bound", Request() + "\r\nX: " + std::string(kMaxHeaderSection, 'x'), -1);
        row("body over the bound", Request() + "\r\nContent-Length: " + std::to_string(kMaxMessage) + "\r\n\r\n", -1);
    }

    void framedLengths()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, length);
        const std::optional<std::size_t> framed = SipFramedLength(std::string_view(bytes.constData(), bytes.size()));
        QCOMPARE(framed ? int(*framed) : -1, length);
    }

    // Decrypted TLS reaches the library in whole messages that passed, as many as
    // are whole at once (the library reads again only when the socket wakes it).
    // A read that gives the library nothing passes the toolbox's "wants more" on.
    void tlsPlaintextIsHandedOverInWholeMessages_data()
    {
        QTest::addColumn<QByteArrayList>("records");
        QTest::addColumn<QByteArrayList>("reads"); // empty: "wants more"
        const QByteArray first = QByteArray::fromStdString(Message(Request(), "Content-Type: text/plain\r\n", "one"));
        const QByteArray second = QByteArray::fromStdString(Message(Request("BYE")));
        QTest::newRow("one message") << QByteArrayList{first} << QByteArrayList{first, {}};
        QTest::newRow("two in one record") << QByteArrayList{first + second} << QByteArrayList{first + second, {}};
        QTest::newRow("one over two records")
            << QByteArrayList{first.left(20), first.mid(20)} << QByteArrayList{first, {}};
        QTest::newRow("the rest still to come") << QByteArrayList{first.left(20)} << QByteArrayList{{}};
        QTest::newRow("one and the start of the next")
            << QByteArrayList{first + second.left(20)} << QByteArrayList{first, {}};
        QTest::newRow("a refused message taken out between two")
            << QByteArrayList{first +
                              QByteArray::fromStdString(Message(Request(), {}, {}, Named(kMaxDisplayName + 1))) +
                              second}
            << QByteArrayList{first + second, {}};
        QTest::newRow("keep-alives between messages")
            << QByteArrayList{"\r\n\r\n" + first} << QByteArrayList{"\r\n\r\n" + first, {}};
    }

    void tlsPlaintextIsHandedOverInWholeMessages()
    {
        QFETCH(QByteArrayList, records);
        QFETCH(QByteArrayList, reads);
        CSipGuard guard(false);
        int context = 0;
        g_tlsRecords = records;
        guard.AdoptTls(&context, -1, {});
        for (const QByteArray& expected : reads) {
            QByteArray buffer(64 * 1024, '\0');
            const std::int32_t read =
                guard.ReadTls(&context, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size(), ReadTlsRecord);
            QCOMPARE(read > 0 ? buffer.left(read) : QByteArray(), expected);
            if (expected.isEmpty())
                QCOMPARE(read, kTlsWantsMore);
        }
        guard.ForgetTls(&context);
    }

    // A TLS context whose reads go through no socket a guard watches (the media
    // library's DTLS) reads as if nothing stood in between, however its bytes look.
    void otherTlsContextsReadUntouched()
    {
        QUdpSocket sipPort;
        QVERIFY(sipPort.bind(QHostAddress::LocalHost, 0));
        CSipGuard guard(true);
        guard.Watch({sipPort.localPort()});
        const QByteArray first("\x17\xfe\xfd not SIP", 11);
        const QByteArray second = QByteArray::fromStdString(Message(Request(), {}, {}, Named(kMaxDisplayName + 1)));
        g_tlsRecords = {first, second};
        int context = 0;
        for (const QByteArray& expected : {first, second}) {
            QByteArray buffer(1024, '\0');
            const std::int32_t read = CWatchedPorts::Instance().ReadTls(
                &context, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size(), ReadTlsRecord);
            QCOMPARE(buffer.left(std::max(read, 0)), expected);
        }
        CWatchedPorts::Instance().TlsContextFreed(&context);
    }

    // A connection the phone opened to its server is guarded too (the service
    // sends its requests back over it); one that starts with a TLS handshake
    // carries ciphertext, which is screened once decrypted, not here.
    void connectionsToTheServerAreGuarded_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QByteArray>("answer");
        const QByteArray refused =
            QByteArray::fromStdString(Message(Request(), "Content-Type: message/imdn+xml\r\n", "<imdn/>"));
        const QByteArray passing = QByteArray::fromStdString(Message(Request("BYE")));
        const QByteArray handshake("\x16\x03\x03\x00\x02\x01\x00", 7);
        QTest::newRow("a request that passes") << passing << passing << QByteArray();
        QTest::newRow("a refused request") << refused << QByteArray("\r\n") << QByteArray("SIP/2.0 415 ");
        QTest::newRow("TLS") << handshake << handshake << QByteArray();
    }

    void connectionsToTheServerAreGuarded()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, read);
        QFETCH(QByteArray, answer);
        QTcpServer server;
        QUdpSocket sipPort;
        QVERIFY(server.listen(QHostAddress::LocalHost) && sipPort.bind(QHostAddress::LocalHost, 0));
        CSipGuard guard(true);
        guard.AddServer(QHostAddress::LocalHost, server.serverPort());
        guard.Watch({sipPort.localPort()});
        QTcpSocket phone;
        phone.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(phone.waitForConnected(kArrivalMs) && server.waitForNewConnection(kArrivalMs));
        std::unique_ptr<QTcpSocket> service(server.nextPendingConnection());
        service->write(sent);
        QVERIFY(service->waitForBytesWritten(kArrivalMs));

        QCOMPARE(ReadThroughGuard(phone.socketDescriptor(), kArrivalMs), read);
        if (!answer.isEmpty()) {
            QVERIFY(service->waitForReadyRead(kArrivalMs));
            QVERIFY(service->readAll().startsWith(answer));
        }
    }

    // The pump looks at a datagram before the library reads it (a hang-up ends the call
    // early): that look must refuse what the read will drop, and count nothing itself.
    void aLookAheadJudgesAsTheReadDoesWithoutCounting()
    {
        CSipGuard guard(true);
        guard.AddServer(QHostAddress::LocalHost, 5060);
        auto from = [](quint16 port) {
            sockaddr_in sender{};
            sender.sin_family = AF_INET;
            sender.sin_port = htons(port);
            sender.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return sender;
        };
        const std::string bye = Message(Request("BYE"));
        const sockaddr_in server = from(5060), stranger = from(5999);
        QVERIFY(guard.WouldAdmit(reinterpret_cast<const sockaddr*>(&server), bye));
        QVERIFY(!guard.WouldAdmit(reinterpret_cast<const sockaddr*>(&stranger), bye));
        QVERIFY(!guard.WouldAdmit(reinterpret_cast<const sockaddr*>(&server),
                                  Message(Request("BYE"), {}, {}, Named(kMaxDisplayName + 1))));
        QCOMPARE(guard.dropped(), quint64(0));
        QVERIFY(!guard.Admits(-1, reinterpret_cast<const sockaddr*>(&stranger), bye)); // never answered: no socket
        QCOMPARE(guard.dropped(), quint64(1));
    }

    // Which refusal gets which answer, and which gets none; 0: no answer.
    void refusalAnswers_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("status");
        auto row = [](const char* name, const std::string& message, int status) {
            QTest::newRow(name) << QByteArray::fromStdString(Relayed(message)) << status;
        };
        const std::string longLine = "Subject: " + std::string(kMaxLine, 's') + "\r\n";
        row("body over the bound", Message(Request(), "Content-Type: text/plain\r\n", std::string(kMaxMessage, 'b')),
            413);
        row("16 KB request address", Message("MESSAGE sip:" + std::string(16 * 1024, 'u') + "@h SIP/2.0"), 513);
        row("header line over its bound", Message(Request(), longLine), 400);
        row("display name over the bound in Contact",
            Message(Request(), "Contact: \"" + std::string(kMaxDisplayName + 1, 'n') + "\" <sip:x@127.0.0.1>\r\n"),
            400);
        row("delivery notice", Message(Request(), "Content-Type: message/imdn+xml\r\n", "<imdn/>"), 415);
        row("typing notice with a stray element",
            Message(Request(), "Content-Type: application/im-iscomposing+xml\r\n", "<isComposing/>"), 400);

        row("accepted", Message(Request(), "Content-Type: text/plain\r\n", "hello"), 0);
        row("response", Message("SIP/2.0 200 OK", longLine), 0);
        row("ack", Message(Request("ACK"), longLine).replace(Message(Request("ACK")).find("20 MESSAGE"), 10, "20 ACK"),
            0);
        row("display name over the bound in From", Message(Request(), {}, {}, Named(kMaxDisplayName + 1)), 0);
        row("Via over its bound",
            Message(Request(), "Via: SIP/2.0/UDP 127.0.0.1:5062;branch=z9hG4bK" + std::string(kMaxLine, 'v') + "\r\n"),
            0);
        row("CSeq of another method", Message(Request("OPTIONS"), longLine), 0);
        row("header without colon", Message(Request(), "Subject\r\n"), 0);
        row("no call-id",
            Request() + "\r\nVia: SIP/2.0/UDP h;branch=z9hG4bK1\r\n" + kFrom + "To: <sip:y@h>\r\nCSeq: 20 MESSAGE\r\n" +
                longLine + "\r\n",
            0);
    }

    void refusalAnswers()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, status);
        const std::string_view text(message.constData(), message.size());
        const std::optional<SipRefusalAnswer> answer = BuildSipRefusalAnswer(text, ScreenSipMessage(text));
        QCOMPARE(answer ? answer->status : 0, status);
        if (!answer)
            return;
        const QByteArray answered = QByteArray::fromStdString(answer->text);
        QVERIFY2(answered.startsWith("SIP/2.0 " + QByteArray::number(status) + ' '), answered.constData());
        QVERIFY(answered.endsWith("\r\nContent-Length: 0\r\n\r\n"));
        // Via (all of them, in order), From, Call-ID and CSeq as they came; To with a tag of the phone's.
        const QByteArrayList copied = {"Via:", "From:", "Call-ID:", "CSeq:"};
        QCOMPARE(LinesStartingWith(answered, copied), LinesStartingWith(message, copied));
        const QByteArrayList to = LinesStartingWith(message, {"To:"});
        QCOMPARE(to.size(), 1);
        QVERIFY(
            QRegularExpression("^" + QRegularExpression::escape(QString::fromLatin1(to.front())) + ";tag=[0-9a-f]{16}$")
                .match(QString::fromLatin1(LinesStartingWith(answered, {"To:"}).value(0)))
                .hasMatch());
        const QByteArrayList accept = LinesStartingWith(answered, {"Accept:"});
        QCOMPARE(accept.size(), status == 415 ? 1 : 0);
        if (status == 415)
            QVERIFY(accept.front().contains("application/sdp") && accept.front().contains("text/*"));
    }

    // The same request sent again gets the same answer; a To that has a tag keeps it alone.
    void answerTagsAreStableAndNeverAddedTwice()
    {
        const std::string refused = Relayed(Message(Request(), "Content-Type: message/imdn+xml\r\n", "<imdn/>"));
        auto answer = [](const std::string& message) {
            const std::optional<SipRefusalAnswer> built = BuildSipRefusalAnswer(message, ScreenSipMessage(message));
            return built ? built->text : std::string();
        };
        QVERIFY(!answer(refused).empty());
        QCOMPARE(answer(refused), answer(refused));
        std::string otherCall = refused;
        otherCall.replace(otherCall.find("4d1e@"), 4, "9f0c");
        const QByteArrayList toOfOtherCall = LinesStartingWith(QByteArray::fromStdString(answer(otherCall)), {"To:"});
        QVERIFY(toOfOtherCall != LinesStartingWith(QByteArray::fromStdString(answer(refused)), {"To:"}));

        std::string inDialog = refused;
        inDialog.replace(inDialog.find("@sip.orvalo.test>\r\nCall-ID"), 17, "@sip.orvalo.test>;Tag=a1");
        QCOMPARE(LinesStartingWith(QByteArray::fromStdString(answer(inDialog)), {"To:"}),
                 QByteArrayList{"To: <sip:15551230002@sip.orvalo.test>;Tag=a1"});
        std::string folded = refused;
        folded.replace(folded.find("@sip.orvalo.test>\r\nCall-ID"), 17, "@sip.orvalo.test>\r\n ;tag=a1");
        QVERIFY(QByteArray::fromStdString(answer(folded)).contains("test>\r\n ;tag=a1\r\nCall-ID"));
    }

    void answerBudgetRefillsAtItsRateUpToItsBurst()
    {
        CTokenBucket bucket(20, 5);
        const CTokenBucket::Clock::time_point start = CTokenBucket::Clock::now();
        auto taken = [&bucket](CTokenBucket::Clock::time_point at, int tries) {
            int count = 0;
            for (int i = 0; i < tries; ++i)
                count += bucket.Take(at) ? 1 : 0;
            return count;
        };
        QCOMPARE(taken(start, 10), 5);
        QCOMPARE(taken(start + std::chrono::milliseconds(100), 10), 2);
        QCOMPARE(taken(start + std::chrono::seconds(60), 10), 5);
    }

    // Through the program's own recvfrom(): a refused datagram reaches the
    // library as a bare line end, and only a sender that may send SIP is answered.
    void datagramsAreAnsweredOnlyToAdmittedSenders()
    {
        QUdpSocket phone, server, stranger;
        for (QUdpSocket* socket : {&phone, &server, &stranger})
            QVERIFY(socket->bind(QHostAddress::LocalHost, 0));
        CSipGuard guard(true);
        guard.AddServer(QHostAddress::LocalHost, server.localPort());
        guard.Watch({phone.localPort()});
        const QByteArray refused =
            QByteArray::fromStdString(Relayed(Message(Request(), "Subject: " + std::string(kMaxLine, 's') + "\r\n")));

        stranger.writeDatagram(refused, QHostAddress::LocalHost, phone.localPort());
        QCOMPARE(ReadThroughGuard(phone.socketDescriptor(), kArrivalMs), QByteArray("\r\n"));
        server.writeDatagram(refused, QHostAddress::LocalHost, phone.localPort());
        QCOMPARE(ReadThroughGuard(phone.socketDescriptor(), kArrivalMs), QByteArray("\r\n"));
        QVERIFY(Received(server, kArrivalMs).startsWith("SIP/2.0 400 Bad Request\r\nVia: SIP/2.0/UDP 127.0.0.1:5060;"));
        QVERIFY(Received(stranger, kSilenceMs).isEmpty());
        QCOMPARE(guard.dropped(), quint64(2));
        QCOMPARE(guard.answered(), quint64(1));

        // A flood from the service itself is not answered in full.
        const int flood = 100;
        for (int i = 0; i < flood; ++i) {
            server.writeDatagram(refused, QHostAddress::LocalHost, phone.localPort());
            QCOMPARE(ReadThroughGuard(phone.socketDescriptor(), kArrivalMs), QByteArray("\r\n"));
        }
        QVERIFY(guard.answered() < quint64(flood) / 2);
    }

    // A request refused on a connection is answered and taken out, and the
    // stream goes on after it (the service reaches the phone over it); bytes
    // that cannot be cut into a message end it.
    void aConnectionGoesOnPastARefusedRequest_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArrayList>("reads"); // what the library's reads get; empty: the end
        QTest::addColumn<QByteArray>("answer");
        const QByteArray refused =
            QByteArray::fromStdString(Message(Request(), "Content-Type: message/imdn+xml\r\n", "<imdn/>"));
        const QByteArray passing = QByteArray::fromStdString(Message(Request("BYE")));
        QTest::newRow("a refused request between two that pass")
            << passing + refused + passing << QByteArrayList{passing, "\r\n", passing}
            << QByteArray("SIP/2.0 415 Unsupported Media Type\r\n");
        QTest::newRow("no message within the bounds")
            << QByteArray(kMaxHeaderSection + 1, 'h') + passing << QByteArrayList{QByteArray()} << QByteArray();
    }

    void aConnectionGoesOnPastARefusedRequest()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArrayList, reads);
        QFETCH(QByteArray, answer);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        CSipGuard guard(false);
        guard.Watch({listener.serverPort()});
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, listener.serverPort());
        QVERIFY(client.waitForConnected(kArrivalMs) && listener.waitForNewConnection(kArrivalMs));
        std::unique_ptr<QTcpSocket> phone(listener.nextPendingConnection());
        client.write(sent);
        QVERIFY(client.waitForBytesWritten(kArrivalMs));

        for (const QByteArray& expected : reads)
            QCOMPARE(ReadThroughGuard(phone->socketDescriptor(), kArrivalMs), expected);
        if (answer.isEmpty()) {
            QVERIFY(client.state() == QAbstractSocket::UnconnectedState || client.waitForDisconnected(kArrivalMs));
            return;
        }
        QVERIFY(client.waitForReadyRead(kArrivalMs));
        QVERIFY(client.readAll().startsWith(answer));
        QCOMPARE(guard.answered(), quint64(1));
        QVERIFY(!client.waitForDisconnected(kSilenceMs));
    }
};

QTEST_GUILESS_MAIN(TestSipScreen)
#include "tst_sip_screen.moc"
