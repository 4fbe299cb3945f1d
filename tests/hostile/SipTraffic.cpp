#include "SipTraffic.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTest>

namespace {
constexpr int kConnectMs = 2000;
constexpr int kProbePeriodMs = 1000;
constexpr int kPollMs = 10;

QByteArray Token()
{
    return QByteArray::number(QRandomGenerator::global()->generate64(), 16);
}
// Waits for a datagram while the event loop runs, so that a phone in this
// process reads and answers meanwhile; false once the deadline passed.
bool WaitDatagram(QUdpSocket& socket, const QDeadlineTimer& deadline)
{
    while (!socket.hasPendingDatagrams()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(kPollMs);
    }
    return true;
}
} // namespace

QByteArray SipRequest::Build(quint16 viaPort) const
{
    const QByteArray local = "127.0.0.1:" + QByteArray::number(viaPort);
    QByteArray message = method + ' ' + requestUri + " SIP/2.0\r\n";
    message += "Via: SIP/2.0/UDP " + local + ";branch=z9hG4bK" + Token() + ";rport\r\n";
    message += "Max-Forwards: 70\r\n";
    message += "From: " + from + ";tag=" + Token() + "\r\n";
    message += "To: " + (to.isEmpty() ? "<" + requestUri + ">" : to) + "\r\n";
    message += "Call-ID: " + (callId.isEmpty() ? Token() : callId) + "\r\n";
    message += "CSeq: 1 " + method + "\r\n";
    message += "Contact: <sip:mallory@" + local + ">\r\n";
    message += extraHeaders;
    if (!body.isEmpty())
        message += "Content-Type: " + contentType + "\r\n";
    message += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return message;
}

CSipTraffic::CSipTraffic()
{
    m_socket.bind(QHostAddress::LocalHost, 0);
}

void CSipTraffic::SendUdp(const QByteArray& message, int port)
{
    m_socket.writeDatagram(message, QHostAddress::LocalHost, static_cast<quint16>(port));
}

bool CSipTraffic::SendTcp(const QByteArray& message, int port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    if (!socket.waitForConnected(kConnectMs))
        return false;
    socket.write(message);
    socket.waitForBytesWritten(kConnectMs);
    socket.disconnectFromHost();
    return true;
}

QByteArray CSipTraffic::WaitAnswer(const QByteArray& callId, int status, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (WaitDatagram(m_socket, deadline)) {
        while (m_socket.hasPendingDatagrams()) {
            const QByteArray answer = m_socket.receiveDatagram().data();
            if (answer.startsWith("SIP/2.0 " + QByteArray::number(status)) &&
                answer.contains("Call-ID: " + callId + "\r\n"))
                return answer;
        }
    }
    return {};
}

bool CSipTraffic::Answers(int servicePort, const QByteArray& address, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        SipRequest probe;
        probe.method = "OPTIONS";
        probe.requestUri = address;
        probe.from = "<sip:probe@prober.invalid>";
        probe.callId = "probe-" + Token();
        SendUdp(probe.Build(port()), servicePort);
        const QDeadlineTimer answer(std::min<qint64>(kProbePeriodMs, deadline.remainingTime()));
        while (WaitDatagram(m_socket, answer)) {
            while (m_socket.hasPendingDatagrams()) {
                const QByteArray reply = m_socket.receiveDatagram().data();
                if (reply.startsWith("SIP/2.0 200") && reply.contains(probe.callId))
                    return true;
            }
        }
    }
    return false;
}
