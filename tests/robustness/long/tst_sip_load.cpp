// Load on the real program (the sanitizer build, offscreen) during a call it
// placed to the headless peer: 200 incoming INVITEs within a minute are all
// refused busy and the call's audio goes on; then a burst of 1 000 MESSAGEs
// leaves it running and registered.
#include "PhoneProcess.h"
#include "SipTraffic.h"

#include "tests/integration/AudioFile.h"
#include "tests/integration/ChildProcess.h"
#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {
constexpr int kRegisterMs = 30000;
constexpr int kSignallingMs = 15000;
constexpr int kInvites = 200;
constexpr int kInvitePeriodMs = 200; // 200 within 40 s
constexpr int kAnswerWaitMs = 10000;
constexpr int kMessages = 1000;
constexpr int kMessageSenders = 10;
constexpr int kToneSeconds = 120;
constexpr double kPhoneTone = 440;
constexpr double kMinToneShare = 0.5;

const CEndpoint::Account& kPhone = CEndpoint::kAlice;
const CEndpoint::Account& kPeer = CEndpoint::kCarol;
} // namespace

class TestSipLoad : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    CChildProcess m_peer;
    std::unique_ptr<CPhoneProcess> m_phone;
    CSipTraffic m_probe;
    QString m_peerHeard;

    QByteArray PhoneAddress() const { return CSipService::Uri(kPhone.number).toUtf8(); }

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        const QString sounds = m_home.NewFolder(QStringLiteral("sounds"));
        const QString phoneTone = sounds + QStringLiteral("/phone.wav");
        m_peerHeard = sounds + QStringLiteral("/peer-heard.wav");
        QVERIFY(CAudioFile::MakeTone(phoneTone, kPhoneTone, kToneSeconds));
        QVERIFY(m_peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                             {QStringLiteral("--server"), m_service->server(), QStringLiteral("--user"), kPeer.number,
                              QStringLiteral("--password"), kPeer.password, QStringLiteral("--data-dir"),
                              m_home.NewFolder(QStringLiteral("peer")), QStringLiteral("--record-file"), m_peerHeard},
                             QStringLiteral("registered"), kSignallingMs));
        m_phone = std::make_unique<CPhoneProcess>(*m_service, CPhoneProcess::Account{kPhone.number, kPhone.password},
                                                  m_home.NewFolder(QStringLiteral("phone")));
        QVERIFY(m_phone->Start(false, false,
                               {QStringLiteral("--play-file"), phoneTone, kPeer.number}));
        QVERIFY2(m_peer.WaitOutput(QStringLiteral("connected"), kRegisterMs), qPrintable(m_phone->output()));
    }

    void cleanupTestCase()
    {
        m_phone.reset();
        m_peer.Stop();
        m_service.reset();
    }

    void invitesDuringACallAreAllRefusedBusy()
    {
        CSipTraffic callers;
        QSet<QByteArray> busy;
        static const QRegularExpression callId(QStringLiteral("\r\nCall-ID: *([^\r]+)\r\n"));
        auto collect = [&](int waitMs) {
            QDeadlineTimer deadline(waitMs);
            do {
                QTest::qWait(10);
                while (callers.socket().hasPendingDatagrams()) {
                    const QString reply = QString::fromUtf8(callers.socket().receiveDatagram().data());
                    if (reply.startsWith(QStringLiteral("SIP/2.0 486")))
                        busy.insert(callId.match(reply).captured(1).toUtf8());
                }
            } while (!deadline.hasExpired() && busy.size() < kInvites);
        };
        for (int i = 0; i < kInvites; ++i) {
            SipRequest invite;
            invite.method = "INVITE";
            invite.requestUri = PhoneAddress();
            invite.from = "<sip:caller" + QByteArray::number(i) + "@callers.invalid>";
            invite.contentType = "application/sdp";
            invite.body = "v=0\r\no=c 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
                          "m=audio 40000 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n";
            invite.callId = "load-" + QByteArray::number(i);
            callers.SendUdp(invite.Build(callers.port()), m_service->port());
            collect(kInvitePeriodMs);
        }
        collect(kAnswerWaitMs);
        QCOMPARE(busy.size(), kInvites);
        QVERIFY(m_phone->running());
        QVERIFY(!m_peer.output().contains(QStringLiteral("disconnected")));
    }

    void burstOfMessagesLeavesThePhoneWorking()
    {
        CSipTraffic senders;
        for (int i = 0; i < kMessages; ++i) {
            SipRequest message;
            message.requestUri = PhoneAddress();
            message.from = "<sip:sender" + QByteArray::number(i % kMessageSenders) + "@senders.invalid>";
            message.body = "message " + QByteArray::number(i);
            senders.SendUdp(message.Build(senders.port()), m_service->port());
        }
        QVERIFY2(m_probe.Answers(m_service->port(), PhoneAddress(), kRegisterMs), qPrintable(m_phone->output()));
        QVERIFY(m_phone->running());
        QVERIFY(!m_peer.output().contains(QStringLiteral("disconnected")));
    }

    void theCallsAudioWentOn()
    {
        // The peer ends its call when it stops and closes its recording.
        QCOMPARE(m_peer.Stop(), 0);
        CAudioFile heard;
        QVERIFY(heard.Load(m_peerHeard));
        qInfo("the peer heard %.1f s, %.2f of it the phone's tone", heard.seconds(), heard.ToneShare(kPhoneTone));
        QVERIFY(heard.ToneShare(kPhoneTone) > kMinToneShare);
        QVERIFY(m_phone->running());
    }
};

QTEST_MAIN(TestSipLoad)
#include "tst_sip_load.moc"
