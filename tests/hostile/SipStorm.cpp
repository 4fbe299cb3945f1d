#include "SipStorm.h"

#include "SipMutator.h"
#include "SipTraffic.h"

#include <QTest>

namespace {
constexpr int kBurst = 20;
constexpr int kBurstPauseMs = 40;
constexpr int kTcpBatch = 10;
} // namespace

SipStormTarget SipStormTarget::ThroughService(const QByteArray& address, int servicePort)
{
    return {address, servicePort, true};
}

SipStormTarget SipStormTarget::Direct(const QString& number, int phonePort)
{
    return {"sip:" + number.toUtf8() + "@127.0.0.1:" + QByteArray::number(phonePort), phonePort, false};
}

bool SendSipStorm(CSipTraffic& traffic, const SipStormTarget& target, SipTransport transport, int count, quint32 seed)
{
    CSipMutator mutator(seed);
    QByteArray batch;
    for (int sent = 0; sent < count; ++sent) {
        const QByteArray message = mutator.Next(target.requestUri, traffic.port(), target.throughService);
        if (transport == SipTransport::Udp) {
            traffic.SendUdp(message, target.port);
            if (sent % kBurst == kBurst - 1)
                QTest::qWait(kBurstPauseMs);
            continue;
        }
        batch += message;
        if (sent % kTcpBatch == kTcpBatch - 1 || sent == count - 1) {
            if (!traffic.SendTcp(batch, target.port))
                return false;
            batch.clear();
            QTest::qWait(1);
        }
    }
    return true;
}
