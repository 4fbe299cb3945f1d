// Interoperability: the layer calls baresip and is called by it, and the
// headless peer answers baresip; audio must flow both ways every time.
#include "AudioFile.h"
#include "Baresip.h"
#include "ChildProcess.h"
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

constexpr double kLayerTone = 440;
constexpr double kBaresipTone = 700;
constexpr double kPeerTone = 1000;
constexpr int kToneSeconds = 30;
constexpr int kTalkMs = 3000;
constexpr double kMinToneShare = 0.5;

bool HoldsTone(const QString& path, double frequency)
{
    CAudioFile file;
    if (!file.Load(path)) {
        qWarning("no audio in %s", qPrintable(path));
        return false;
    }
    const double share = file.ToneShare(frequency);
    if (share <= kMinToneShare || file.seconds() < 1.0)
        qWarning("%s: %.1f s, %.2f of the energy at %.0f Hz", qPrintable(path), file.seconds(), share, frequency);
    return share > kMinToneShare && file.seconds() >= 1.0;
}

} // namespace

class TestInterop : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void layerCallsBaresip();
    void baresipCallsLayer();
    void peerAnswersBaresip();
    void peerReportsReceivedTones();
    void withoutMicrophoneTheLayerStillSendsAudioAndEveryTone();

private:
    QString Folder(const QString& name) const { return m_home.NewFolder(name); }
    QStringList PeerArguments(const CEndpoint::Account& account, const QString& dataDir,
                              const QString& recording) const;

    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    QString m_layerTone;
    QString m_baresipTone;
    QString m_peerTone;
};

void TestInterop::initTestCase()
{
    m_service = std::make_unique<CSipService>(Folder(QStringLiteral("service")));
    QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
    const QString sounds = Folder(QStringLiteral("sounds"));
    m_layerTone = sounds + QStringLiteral("/layer.wav");
    m_baresipTone = sounds + QStringLiteral("/baresip.wav");
    m_peerTone = sounds + QStringLiteral("/peer.wav");
    QVERIFY(CAudioFile::MakeTone(m_layerTone, kLayerTone, kToneSeconds));
    QVERIFY(CAudioFile::MakeTone(m_baresipTone, kBaresipTone, kToneSeconds, 8000));
    QVERIFY(CAudioFile::MakeTone(m_peerTone, kPeerTone, kToneSeconds));
}

void TestInterop::cleanupTestCase()
{
    m_service.reset();
}

QStringList TestInterop::PeerArguments(const CEndpoint::Account& account, const QString& dataDir,
                                       const QString& recording) const
{
    return {QStringLiteral("--server"),    m_service->server(), QStringLiteral("--user"),        account.number,
            QStringLiteral("--password"),  account.password,    QStringLiteral("--data-dir"),    dataDir,
            QStringLiteral("--play-file"), m_peerTone,          QStringLiteral("--record-file"), recording};
}

void TestInterop::layerCallsBaresip()
{
    const QString recording = Folder(QStringLiteral("layer-calls")) + QStringLiteral("/heard.wav");
    CBaresip baresip(Folder(QStringLiteral("baresip-callee")), *m_service, CEndpoint::kFrank, m_baresipTone);
    QVERIFY(baresip.Start());
    QVERIFY(baresip.WaitOutput(QStringLiteral("200 OK")));
    {
        CEndpoint alice(Folder(QStringLiteral("alice-caller")), m_layerTone, recording);
        QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
        RtcSessionPtr call = alice.Call(CSipService::Uri(CEndpoint::kFrank.number));
        QVERIFY(call);
        QVERIFY(alice.WaitSession(RTCSS_CONNECTED, call));
        CEventQueue::Pump(kTalkMs);
        QCOMPARE(call->Terminate(RTCTR_NORMAL), S_OK);
        QVERIFY(alice.WaitSession(RTCSS_DISCONNECTED, call));
        QVERIFY(baresip.WaitOutput(QStringLiteral("terminated")));
    }
    baresip.Stop();
    QVERIFY(HoldsTone(recording, kBaresipTone));
    QVERIFY(HoldsTone(baresip.ReceivedAudio(), kLayerTone));
}

void TestInterop::baresipCallsLayer()
{
    const QString recording = Folder(QStringLiteral("baresip-calls")) + QStringLiteral("/heard.wav");
    CEndpoint alice(Folder(QStringLiteral("alice-callee")), m_layerTone, recording);
    QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
    CBaresip baresip(Folder(QStringLiteral("baresip-caller")), *m_service, CEndpoint::kFrank, m_baresipTone);
    QVERIFY(baresip.Start(CSipService::Uri(CEndpoint::kAlice.number)));
    RtcSessionPtr call = alice.WaitIncoming();
    QVERIFY(call);
    std::shared_ptr<IRTCEnumParticipants> participants;
    RtcParticipantPtr caller;
    QCOMPARE(call->EnumerateParticipants(participants), S_OK);
    QCOMPARE(participants->Next(caller), S_OK);
    QString uri;
    caller->get_UserURI(uri);
    QCOMPARE(uri, CSipService::Uri(CEndpoint::kFrank.number));
    QCOMPARE(call->Answer(), S_OK);
    QVERIFY(alice.WaitSession(RTCSS_CONNECTED, call));
    QVERIFY(baresip.WaitOutput(QStringLiteral("Call established")));
    CEventQueue::Pump(kTalkMs);
    QCOMPARE(call->Terminate(RTCTR_NORMAL), S_OK);
    QVERIFY(baresip.WaitOutput(QStringLiteral("terminated")));
    QVERIFY(alice.WaitSession(RTCSS_DISCONNECTED, call));
    alice.ShutDown();
    baresip.Stop();
    QVERIFY(HoldsTone(recording, kBaresipTone));
    QVERIFY(HoldsTone(baresip.ReceivedAudio(), kLayerTone));
}

void TestInterop::peerAnswersBaresip()
{
    const QString recording = Folder(QStringLiteral("peer-answers")) + QStringLiteral("/heard.wav");
    CChildProcess peer;
    QVERIFY(peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                       PeerArguments(CEndpoint::kErin, Folder(QStringLiteral("peer-data")), recording),
                       QStringLiteral("registered")));
    CBaresip baresip(Folder(QStringLiteral("baresip-dials-peer")), *m_service, CEndpoint::kFrank, m_baresipTone);
    QVERIFY(baresip.Start(CSipService::Uri(CEndpoint::kErin.number)));
    QVERIFY(baresip.WaitOutput(QStringLiteral("Call established")));
    QVERIFY(peer.WaitOutput(QStringLiteral("incoming ") + CSipService::Uri(CEndpoint::kFrank.number)));
    QVERIFY(peer.WaitOutput(QStringLiteral("connected")));
    CEventQueue::Pump(kTalkMs);
    baresip.Stop();
    QVERIFY(peer.WaitOutput(QStringLiteral("disconnected")));
    QCOMPARE(peer.Stop(), 0);
    QVERIFY(HoldsTone(baresip.ReceivedAudio(), kPeerTone));
    QVERIFY(HoldsTone(recording, kBaresipTone));
}

void TestInterop::peerReportsReceivedTones()
{
    CChildProcess peer;
    QVERIFY(peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                       PeerArguments(CEndpoint::kErin, Folder(QStringLiteral("peer-tones")), QString()),
                       QStringLiteral("registered")));
    CEndpoint alice(Folder(QStringLiteral("alice-tones")), m_layerTone);
    QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
    RtcSessionPtr call = alice.Call(CSipService::Uri(CEndpoint::kErin.number));
    QVERIFY(call);
    QVERIFY(alice.WaitSession(RTCSS_CONNECTED, call));
    for (RTC_DTMF tone : {RTC_DTMF_9, RTC_DTMF_0, RTC_DTMF_POUND}) {
        QCOMPARE(alice.client().SendDTMF(tone), S_OK);
        CEventQueue::Pump(250);
    }
    QVERIFY(peer.WaitOutput(QStringLiteral("dtmf 9\ndtmf 0\ndtmf #")));
    QCOMPARE(call->Terminate(RTCTR_NORMAL), S_OK);
    QVERIFY(peer.WaitOutput(QStringLiteral("disconnected")));
    QCOMPARE(peer.Stop(), 0);
}

// Without a sound device and without a play file the layer still sends audio (silence),
// so that the far end hears a live call and touch tones go out as they do with a
// microphone. Baresip keeps what it decodes: its length counts the packets that came.
void TestInterop::withoutMicrophoneTheLayerStillSendsAudioAndEveryTone()
{
    const QString keys = QStringLiteral("1234567890");
    constexpr int kKeyPeriodMs = 1000;
    CBaresip baresip(Folder(QStringLiteral("baresip-hears-silence")), *m_service, CEndpoint::kFrank, m_baresipTone);
    QVERIFY(baresip.Start());
    QVERIFY(baresip.WaitOutput(QStringLiteral("200 OK")));
    double callSeconds = 0;
    {
        CEndpoint alice(Folder(QStringLiteral("alice-without-microphone")));
        QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
        int capabilities = 0;
        QCOMPARE(alice.client().get_MediaCapabilities(capabilities), S_OK);
        QCOMPARE(capabilities, int(RTCMT_AUDIO_RECEIVE)); // the call window says so
        RtcSessionPtr call = alice.Call(CSipService::Uri(CEndpoint::kFrank.number));
        QVERIFY(call);
        QVERIFY(alice.WaitSession(RTCSS_CONNECTED, call));
        QElapsedTimer connected;
        connected.start();
        for (QChar key : keys) {
            CEventQueue::Pump(kKeyPeriodMs);
            QCOMPARE(alice.client().SendDTMF(static_cast<RTC_DTMF>(key.digitValue())), S_OK);
        }
        CEventQueue::Pump(kKeyPeriodMs);
        callSeconds = connected.elapsed() / 1000.0;
        QCOMPARE(call->Terminate(RTCTR_NORMAL), S_OK);
        QVERIFY(alice.WaitSession(RTCSS_DISCONNECTED, call));
        QVERIFY(baresip.WaitOutput(QStringLiteral("terminated")));
    }
    for (QChar key : keys)
        QVERIFY2(baresip.WaitOutput(QStringLiteral("received event: '%1' (end=1)").arg(key), 0),
                 qPrintable(QString(key)));
    baresip.Stop();

    CAudioFile received;
    QVERIFY(received.Load(baresip.ReceivedAudio()));
    // Packets came all along: two seconds are allowed for setting up and closing the call.
    QVERIFY2(received.seconds() > callSeconds - 2.0,
             qPrintable(QStringLiteral("%1 s of audio in a call of %2 s").arg(received.seconds()).arg(callSeconds)));
}

QTEST_MAIN(TestInterop)
#include "tst_interop.moc"
