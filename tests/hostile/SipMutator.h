// The fuzzer's source of hostile SIP: well-formed requests of the kinds the
// phone receives (messages, calls with SDP, presence notices, options), each
// changed by one or more mutations chosen by a seeded generator, so that a
// failing run can be repeated with its seed.
#pragma once

#include <QByteArray>
#include <QRandomGenerator>

class CSipMutator {
public:
    explicit CSipMutator(quint32 seed) : m_random(seed) {}

    // A mutated request for the address, as sent from 127.0.0.1:viaPort. With
    // keepRouting, the request line and the Via stay intact, so that the service
    // relays the request to the phone and the phone's checks meet the rest.
    QByteArray Next(const QByteArray& requestUri, quint16 viaPort, bool keepRouting);

private:
    QByteArray Seed(const QByteArray& requestUri, quint16 viaPort);
    void Mutate(QByteArray& message, qsizetype protectedPrefix);
    int Below(int bound) { return static_cast<int>(m_random.bounded(static_cast<quint32>(bound))); }
    QByteArray Run(int length);

    QRandomGenerator m_random;
};
