// Real sound devices: the layer runs on a private PulseAudio server (the rig)
// instead of sound files, calls the headless peer, and what each side hears is
// measured at the other end. The tuning dialog runs against the same devices.
#include "AudioFile.h"
#include "Baresip.h"
#include "ChildProcess.h"
#include "Endpoint.h"
#include "PulseRig.h"
#include "SipService.h"
#include "TestHome.h"

#include "platform/linphone/MicrophoneCheck.h"
#include "tests/fakes/ModalDriver.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>

namespace {

constexpr double kPeerTone = 700;
constexpr double kTestTone = 1000; // the tuning dialog's
constexpr int kToneSeconds = 60;
constexpr int kListenMs = 1500;
constexpr double kMinToneShare = 0.5;
// Through real-time devices a tone comes back a little off pitch: the library
// drops and stretches samples to keep its buffers level.
constexpr double kPitchTolerance = 0.15;
// The speaker starts playing about a second after the call connected.
constexpr int kPlaybackStartMs = 2500;
constexpr int kMutedMs = 3000;
// The tuning dialog's meter shows a change after a few of its updates.
constexpr int kLevelSettleMs = 1000;
// Below this RMS (full scale 1.0) a recording counts as silent: about -66 dBFS.
constexpr double kSilentRms = 0.0005;

struct Heard {
    double rms = 0;
    double share = 0;
};

CAudioFile Loaded(const QString& path)
{
    CAudioFile file;
    if (!file.Load(path))
        qWarning("no audio in %s", qPrintable(path));
    return file;
}

// The level and the tone over a stretch of a recording (seconds from its start).
Heard Measure(CAudioFile file, double frequency, double from = 0, double to = 1e9)
{
    const double seconds = file.seconds();
    file.Trim(from, to);
    const Heard heard{file.Rms(), file.BandShare(frequency * (1 - kPitchTolerance), frequency * (1 + kPitchTolerance))};
    qInfo("[%.1f, %.1f] of %.1f s: RMS %.5f, %.2f near %.0f Hz", from, std::min(to, seconds), seconds, heard.rms,
          heard.share, frequency);
    return heard;
}

// The lowest level of any half second in a stretch of a recording.
double QuietestRms(const CAudioFile& file, double from, double to)
{
    constexpr double kWindow = 0.5;
    double quietest = 1.0;
    for (double at = from; at + kWindow <= to; at += kWindow / 2)
        quietest = std::min(quietest, file.Rms(at, at + kWindow));
    return quietest;
}

} // namespace

class TestAudioRig : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void tuningDialogListsPlaysAndMeasuresTheRigsDevices();
    void callCarriesBothTonesAndFollowsVolumeAndMute();
    void microphoneThatFailsToOpenIsReplacedBySilence();

private:
    QString Folder(const QString& name) const { return m_home.NewFolder(name); }
    bool StartPeer(CChildProcess& peer, const QString& recording);

    CTestHome m_home;
    std::unique_ptr<CPulseRig> m_rig;
    std::unique_ptr<CSipService> m_service;
    QString m_peerTone;
};

void TestAudioRig::initTestCase()
{
    // Before the first core: the media library finds its sound server once.
    m_rig = std::make_unique<CPulseRig>(Folder(QStringLiteral("rig")));
    QVERIFY2(m_rig->Start(), qPrintable(m_rig->error()));
    m_service = std::make_unique<CSipService>(Folder(QStringLiteral("service")));
    QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
    m_peerTone = Folder(QStringLiteral("sounds")) + QStringLiteral("/peer.wav");
    QVERIFY(CAudioFile::MakeTone(m_peerTone, kPeerTone, kToneSeconds));
}

void TestAudioRig::cleanupTestCase()
{
    m_service.reset();
    m_rig.reset();
}

bool TestAudioRig::StartPeer(CChildProcess& peer, const QString& recording)
{
    return peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                      {QStringLiteral("--server"), m_service->server(), QStringLiteral("--user"),
                       CEndpoint::kErin.number, QStringLiteral("--password"), CEndpoint::kErin.password,
                       QStringLiteral("--data-dir"), Folder(QStringLiteral("peer-data")), QStringLiteral("--play-file"),
                       m_peerTone, QStringLiteral("--record-file"), recording},
                      QStringLiteral("registered"));
}

// The dialog offers the rig's devices by name, plays its test tone on the chosen
// speaker, shows the microphone's tone as a level, and the next call uses the
// speaker chosen in it, after a restart too.
void TestAudioRig::tuningDialogListsPlaysAndMeasuresTheRigsDevices()
{
    const QString aliceData = Folder(QStringLiteral("alice-tuning"));
    auto alice = std::make_unique<CEndpoint>(aliceData);
    QVERIFY(alice->Logon(*m_service, CEndpoint::kAlice));
    const QString testTone = Folder(QStringLiteral("tuning")) + QStringLiteral("/test-tone.wav");
    QStringList microphones, speakers;
    int level = -1;
    int quietLevel = -1;
    bool recorded = false;
    // The microphone starts silent, and its tone comes while the dialog is open.
    QVERIFY(m_rig->MuteMicrophone(true));
    CModalDriver driver;
    driver.WhenOpen<QDialog>(
        [&](QDialog& dialog) {
            auto* microphone = dialog.findChild<QComboBox*>(QStringLiteral("microphone"));
            auto* speaker = dialog.findChild<QComboBox*>(QStringLiteral("speaker"));
            for (int i = 0; i < microphone->count(); ++i)
                microphones << microphone->itemText(i);
            for (int i = 0; i < speaker->count(); ++i)
                speakers << speaker->itemText(i);
            auto* meter = dialog.findChild<QProgressBar*>(QStringLiteral("level"));
            CEventQueue::Pump(kLevelSettleMs);
            quietLevel = meter->value();
            m_rig->MuteMicrophone(false);
            speaker->setCurrentIndex(speaker->findText(CPulseRig::kHeadsetName));
            auto* play = dialog.findChild<QPushButton*>(QStringLiteral("testTone"));
            recorded = m_rig->RecordSpeaker(testTone, kListenMs, true, [play] { play->click(); });
            level = meter->value();
            dialog.accept();
        },
        10000);
    QCOMPARE(alice->client().InvokeTuningWizard(nullptr), S_OK);
    QVERIFY(driver.Acted());
    QVERIFY2(microphones.contains(CPulseRig::kMicrophoneName), qPrintable(microphones.join(QLatin1Char(','))));
    QVERIFY2(speakers.contains(CPulseRig::kSpeakerName) && speakers.contains(CPulseRig::kHeadsetName),
             qPrintable(speakers.join(QLatin1Char(','))));
    QVERIFY(recorded);
    QVERIFY(Measure(Loaded(testTone), kTestTone).share > kMinToneShare);
    // The rig's microphone picks up a tone at half of full scale.
    QVERIFY2(quietLevel >= 0 && quietLevel < 10, qPrintable(QString::number(quietLevel)));
    QVERIFY2(level > 50, qPrintable(QString::number(level)));

    // The next call, after a restart, plays on the headset and nothing on the default speaker.
    QVERIFY(alice->ShutDown());
    alice = std::make_unique<CEndpoint>(aliceData);
    QVERIFY(alice->Logon(*m_service, CEndpoint::kAlice));
    CChildProcess peer;
    QVERIFY(StartPeer(peer, QString()));
    RtcSessionPtr call = alice->Call(CSipService::Uri(CEndpoint::kErin.number));
    QVERIFY(call);
    QVERIFY(alice->WaitSession(RTCSS_CONNECTED, call));
    CEventQueue::Pump(kPlaybackStartMs);
    const QString folder = Folder(QStringLiteral("tuned-call"));
    QVERIFY(m_rig->RecordSpeaker(folder + QStringLiteral("/headset.wav"), kListenMs, true));
    QVERIFY(m_rig->RecordSpeaker(folder + QStringLiteral("/speaker.wav"), kListenMs));
    QCOMPARE(call->Terminate(RTCTR_NORMAL), S_OK);
    QVERIFY(peer.WaitOutput(QStringLiteral("disconnected")));
    QCOMPARE(peer.Stop(), 0);
    QVERIFY(Measure(Loaded(folder + QStringLiteral("/headset.wav")), kPeerTone).share > kMinToneShare);
    QVERIFY(Measure(Loaded(folder + QStringLiteral("/speaker.wav")), kPeerTone).rms < kSilentRms);
}

// One call with the rig's microphone and speaker: the peer hears the rig's tone and
// the speaker plays the peer's; the speaker's level follows its slider down to
// silence, a muted speaker (Hold) plays nothing, and while the microphone is muted
// (Mute, Hold) the peer hears nothing.
void TestAudioRig::callCarriesBothTonesAndFollowsVolumeAndMute()
{
    const QString folder = Folder(QStringLiteral("call"));
    const QString heardByPeer = folder + QStringLiteral("/peer-heard.wav");
    CChildProcess peer;
    QVERIFY(StartPeer(peer, heardByPeer));
    CEndpoint alice(Folder(QStringLiteral("alice-call")));
    QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
    RtcSessionPtr call = alice.Call(CSipService::Uri(CEndpoint::kErin.number));
    QVERIFY(call);
    QVERIFY(alice.WaitSession(RTCSS_CONNECTED, call));
    QElapsedTimer connected;
    connected.start();
    CEventQueue::Pump(kPlaybackStartMs);

    // Speaker slider from the top down to the bottom.
    double louder = 1.0;
    for (int volume : {0xFFFF, 0x4000, 0x1000, 0}) {
        const QString wav = folder + QStringLiteral("/speaker-%1.wav").arg(volume);
        QCOMPARE(alice.client().put_Volume(RTCAD_SPEAKER, volume), S_OK);
        QVERIFY(m_rig->RecordSpeaker(wav, kListenMs));
        const Heard heard = Measure(Loaded(wav), kPeerTone);
        if (volume == 0xFFFF)
            QVERIFY(heard.share > kMinToneShare);
        if (volume == 0)
            QVERIFY(heard.rms < kSilentRms);
        else
            QVERIFY2(heard.rms < louder && heard.rms > kSilentRms, qPrintable(QString::number(volume)));
        louder = heard.rms;
    }
    QCOMPARE(alice.client().put_Volume(RTCAD_SPEAKER, 0xFFFF), S_OK);

    // Hold turns the speaker off, whatever its slider shows.
    QCOMPARE(alice.client().put_AudioMuted(RTCAD_SPEAKER, true), S_OK);
    QVERIFY(m_rig->RecordSpeaker(folder + QStringLiteral("/speaker-held.wav"), kListenMs));
    QCOMPARE(alice.client().put_AudioMuted(RTCAD_SPEAKER, false), S_OK);
    QVERIFY(Measure(Loaded(folder + QStringLiteral("/speaker-held.wav")), kPeerTone).rms < kSilentRms);

    // Microphone muted for a while, then open again. The far end's recording runs a
    // second or two behind the call and not quite at the clock's pace: the silence
    // is looked for anywhere after the mute, not at exact times.
    const double mutedAt = connected.elapsed() / 1000.0;
    QCOMPARE(alice.client().put_AudioMuted(RTCAD_MICROPHONE, true), S_OK);
    CEventQueue::Pump(kMutedMs);
    QCOMPARE(alice.client().put_AudioMuted(RTCAD_MICROPHONE, false), S_OK);
    CEventQueue::Pump(kMutedMs);
    QCOMPARE(call->Terminate(RTCTR_NORMAL), S_OK);
    QVERIFY(peer.WaitOutput(QStringLiteral("disconnected")));
    QCOMPARE(peer.Stop(), 0);

    const CAudioFile heard = Loaded(heardByPeer);
    const double end = heard.seconds();
    QVERIFY(Measure(heard, CPulseRig::kMicrophoneTone, 1.0, mutedAt).share > kMinToneShare);
    QVERIFY(QuietestRms(heard, mutedAt, end - 1.0) < kSilentRms);
    QVERIFY(Measure(heard, CPulseRig::kMicrophoneTone, end - 1.0, end).share > kMinToneShare);
    // A microphone that works, muted or not, is never taken for one that failed.
    QVERIFY(!alice.events().Take<IRTCMediaEvent>(
        RTCE_MEDIA, [](const IRTCMediaEvent& e) { return e.m_eventType == RTCMET_FAILED; }, 0));
}

// A microphone the phone lists but cannot open when the call starts (it left the
// sound server after the phone had looked) leaves the call nothing to send. The
// phone sends silence in its place and says once that the microphone failed.
// Baresip keeps what it decodes: its length counts the packets that came.
void TestAudioRig::microphoneThatFailsToOpenIsReplacedBySilence()
{
    constexpr int kCallMs = 8000;
    // Baresip plays files at the rate of its codec only.
    const QString baresipTone = Folder(QStringLiteral("baresip-sounds")) + QStringLiteral("/tone.wav");
    QVERIFY(CAudioFile::MakeTone(baresipTone, kPeerTone, kToneSeconds, 8000));
    CBaresip baresip(Folder(QStringLiteral("baresip-broken-microphone")), *m_service, CEndpoint::kFrank, baresipTone);
    QVERIFY(baresip.Start());
    QVERIFY(baresip.WaitOutput(QStringLiteral("200 OK")));
    CEndpoint alice(Folder(QStringLiteral("alice-broken-microphone")));
    QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
    int capabilities = 0;
    QCOMPARE(alice.client().get_MediaCapabilities(capabilities), S_OK);
    QVERIFY(capabilities & RTCMT_AUDIO_SEND);
    QVERIFY(m_rig->UnplugMicrophone());
    const auto replug = qScopeGuard([this] { QVERIFY(m_rig->PlugMicrophone()); });

    RtcSessionPtr call = alice.Call(CSipService::Uri(CEndpoint::kFrank.number));
    QVERIFY(call);
    QVERIFY(alice.WaitSession(RTCSS_CONNECTED, call));
    QElapsedTimer connected;
    connected.start();
    CEventQueue::Pump(kCallMs);
    const double callSeconds = connected.elapsed() / 1000.0;
    QCOMPARE(call->Terminate(RTCTR_NORMAL), S_OK);
    QVERIFY(alice.WaitSession(RTCSS_DISCONNECTED, call));
    QVERIFY(baresip.WaitOutput(QStringLiteral("terminated")));
    baresip.Stop();

    CAudioFile received;
    QVERIFY(received.Load(baresip.ReceivedAudio()));
    // The silence starts once the failure shows; two seconds are allowed for setting up and closing the call.
    const double allowed = CMicrophoneCheck::kGraceMs / 1000.0 + 2.0;
    QVERIFY2(received.seconds() > callSeconds - allowed,
             qPrintable(QStringLiteral("%1 s of audio in a call of %2 s").arg(received.seconds()).arg(callSeconds)));
    const auto failed = [](const IRTCMediaEvent& e) {
        return e.m_mediaType == RTCMT_AUDIO_SEND && e.m_eventType == RTCMET_FAILED &&
               e.m_eventReason == RTCMER_BAD_DEVICE;
    };
    QVERIFY(alice.events().Take<IRTCMediaEvent>(RTCE_MEDIA, failed, 0));
    QVERIFY(!alice.events().Take<IRTCMediaEvent>(RTCE_MEDIA, failed, 0));
}

QTEST_MAIN(TestAudioRig)
#include "tst_audio_rig.moc"
