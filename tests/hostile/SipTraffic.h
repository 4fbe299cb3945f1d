// Hand-made SIP for the hostile-traffic tests, on loopback only: a request
// builder whose parts a test may replace with hostile ones, a raw UDP and TCP
// sender, and a probe that asks, through the service, whether the phone answers.
#pragma once

#include <QByteArray>
#include <QUdpSocket>

struct SipRequest {
    QByteArray method = "MESSAGE";
    QByteArray requestUri;
    QByteArray from = "<sip:mallory@hostile.invalid>";
    QByteArray to;
    QByteArray contentType = "text/plain";
    QByteArray body;
    QByteArray callId;       // empty: a fresh one
    QByteArray extraHeaders; // more header lines, each ending in CRLF

    // The request as sent from 127.0.0.1:viaPort, with a fresh tag.
    QByteArray Build(quint16 viaPort) const;
};

class CSipTraffic {
public:
    CSipTraffic();
    quint16 port() const { return m_socket.localPort(); }
    QUdpSocket& socket() { return m_socket; }

    void SendUdp(const QByteArray& message, int port);
    // Connects, writes the bytes and closes; false if the connection was not taken.
    bool SendTcp(const QByteArray& message, int port);
    // The first answer with that status to the call that reaches the socket in time; empty if none.
    QByteArray WaitAnswer(const QByteArray& callId, int status, int timeoutMs);
    // OPTIONS through the service to the address, asked again every second: true
    // once the phone behind it answers 200 (it is registered and it works).
    bool Answers(int servicePort, const QByteArray& address, int timeoutMs);

private:
    QUdpSocket m_socket;
};
