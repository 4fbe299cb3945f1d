// The fuzzer's hostile traffic as the phone gets it: mutated requests from a
// seeded generator, over UDP in bursts or over TCP a few per connection (the
// phone ends a connection at the first message it refuses). The fuzzer test and
// the stall benchmark send the same mix.
#pragma once

#include <QByteArray>
#include <QString>

class CSipTraffic;

enum class SipTransport { Udp, Tcp };

struct SipStormTarget {
    // To the user's address through the service at servicePort.
    static SipStormTarget ThroughService(const QByteArray& address, int servicePort);
    // Straight to a phone's SIP port on loopback, for the user number.
    static SipStormTarget Direct(const QString& number, int phonePort);

    QByteArray requestUri;
    int port = 0;
    // Through the service: the request line and the Via stay intact so that the
    // service relays the request.
    bool throughService = false;
};

// Sends `count` requests made from `seed`; false when a connection was refused.
bool SendSipStorm(CSipTraffic& traffic, const SipStormTarget& target, SipTransport transport, int count, quint32 seed);
