// Voice calls between two liblinphone endpoints through the local service, with
// audio from tone files and the received audio checked in the recordings.
#include "AudioFile.h"
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include <QtEndian>
#include <QtTest>

#include <optional>

namespace {

constexpr double kAliceTone = 440;
constexpr double kBobTone = 1000;
constexpr int kToneSeconds = 30;
constexpr int kTalkMs = 3000;
// A tone that made it through the codec fills most of the recording's energy.
constexpr double kMinToneShare = 0.5;
constexpr double kMinRms = 0.01;

using SessionEvent = std::shared_ptr<IRTCSessionStateChangeEvent>;

RtcParticipantPtr FirstParticipant(const RtcSessionPtr& session)
{
    std::shared_ptr<IRTCEnumParticipants> participants;
    RtcParticipantPtr participant;
    if (SUCCEEDED(session->EnumerateParticipants(participants)))
        participants->Next(participant);
    return participant;
}

QString ReceivedTones(CEventQueue& events, int count)
{
    QString tones;
    for (int i = 0; i < count; ++i) {
        auto info = events.Next<IRTCInfoEvent>(RTCE_INFO);
        if (!info)
            break;
        if (info->m_infoHeader == QLatin1String("application/dtmf-relay"))
            tones += info->m_info.section(u'=', 1, 1).left(1);
    }
    return tones;
}

// The size of the sound data that a WAV file's header gives; the recorder
// writes it when it closes the file.
quint32 WavDataBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(40))
        return 0;
    const QByteArray size = file.read(4);
    return size.size() == 4 ? qFromLittleEndian<quint32>(size.constData()) : 0;
}

} // namespace

class TestCalls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void callCarriesAudioAndTonesBothWays();
    void callerHangingUpEndsTheCallee();
    void calleeHangingUpEndsTheCaller();
    void declinedCallsReachTheCallerWithTheirCode_data();
    void declinedCallsReachTheCallerWithTheirCode();
    void unreachablePartiesEndWithTheirCode_data();
    void unreachablePartiesEndWithTheirCode();
    void incomingCallCarriesCallerIdentity();
    void incomingCallWithoutNameFailsTheNameRead();
    void cancelledCallEndsAtTheCallee();
    void autoAnswerModeAcceptsAtOnce();

private:
    QString Folder(const QString& name) const { return m_home.NewFolder(name); }
    // Alice calls Bob and Bob answers; both sides are connected on return.
    bool Connect(RtcSessionPtr& aliceCall, RtcSessionPtr& bobCall);

    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    QString m_aliceTone;
    QString m_bobTone;
    QString m_aliceRecording;
    QString m_bobRecording;
    std::unique_ptr<CEndpoint> m_alice;
    std::unique_ptr<CEndpoint> m_bob;
};

void TestCalls::initTestCase()
{
    m_service = std::make_unique<CSipService>(Folder(QStringLiteral("service")));
    QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
    const QString sounds = Folder(QStringLiteral("sounds"));
    m_aliceTone = sounds + QStringLiteral("/alice.wav");
    m_bobTone = sounds + QStringLiteral("/bob.wav");
    QVERIFY(CAudioFile::MakeTone(m_aliceTone, kAliceTone, kToneSeconds));
    QVERIFY(CAudioFile::MakeTone(m_bobTone, kBobTone, kToneSeconds));
}

void TestCalls::cleanupTestCase()
{
    m_service.reset();
}

void TestCalls::init()
{
    const QString recordings = Folder(QStringLiteral("recordings"));
    m_aliceRecording = recordings + QStringLiteral("/alice-heard.wav");
    m_bobRecording = recordings + QStringLiteral("/bob-heard.wav");
    m_alice = std::make_unique<CEndpoint>(Folder(QStringLiteral("alice")), m_aliceTone, m_aliceRecording);
    m_bob = std::make_unique<CEndpoint>(Folder(QStringLiteral("bob")), m_bobTone, m_bobRecording);
    QVERIFY(m_alice->Logon(*m_service, CEndpoint::kAlice, RTCTR_UDP, QStringLiteral("Alice Example")));
    QVERIFY(m_bob->Logon(*m_service, CEndpoint::kBob));
}

void TestCalls::cleanup()
{
    m_alice.reset();
    m_bob.reset();
}

bool TestCalls::Connect(RtcSessionPtr& aliceCall, RtcSessionPtr& bobCall)
{
    aliceCall = m_alice->Call(CSipService::Uri(CEndpoint::kBob.number));
    if (!aliceCall)
        return false;
    bobCall = m_bob->WaitIncoming();
    if (!bobCall || FAILED(bobCall->Answer()))
        return false;
    return m_alice->WaitSession(RTCSS_CONNECTED, aliceCall) && m_bob->WaitSession(RTCSS_CONNECTED, bobCall);
}

void TestCalls::callCarriesAudioAndTonesBothWays()
{
    RtcSessionPtr aliceCall;
    RtcSessionPtr bobCall;
    QVERIFY(Connect(aliceCall, bobCall));
    QVERIFY(m_alice->events().Take<IRTCMediaEvent>(RTCE_MEDIA, [](const auto& e) {
        return e.m_eventType == RTCMET_STARTED && e.m_mediaType == RTCMT_AUDIO_RECEIVE;
    }));

    for (RTC_DTMF tone : {RTC_DTMF_1, RTC_DTMF_2, RTC_DTMF_3, RTC_DTMF_4, RTC_DTMF_STAR, RTC_DTMF_POUND}) {
        QCOMPARE(m_alice->client().SendDTMF(tone), S_OK);
        CEventQueue::Pump(250); // tones sent back to back would overlap
    }
    QCOMPARE(ReceivedTones(m_bob->events(), 6), QStringLiteral("1234*#"));

    CEventQueue::Pump(kTalkMs);
    for (CEndpoint* side : {m_alice.get(), m_bob.get()}) {
        int quality = 0;
        QCOMPARE(side->client().get_NetworkQuality(quality), S_OK);
        QVERIFY2(quality >= 1 && quality <= 100, qPrintable(QString::number(quality)));
    }

    QCOMPARE(bobCall->Terminate(RTCTR_NORMAL), S_OK);
    SessionEvent ended = m_alice->WaitSession(RTCSS_DISCONNECTED, aliceCall);
    QVERIFY(ended);
    QCOMPARE(ended->m_statusCode, S_OK);
    QVERIFY(m_bob->WaitSession(RTCSS_DISCONNECTED, bobCall));
    int quality = -1;
    m_alice->client().get_NetworkQuality(quality);
    QCOMPARE(quality, 0);

    CAudioFile aliceHeard;
    CAudioFile bobHeard;
    QVERIFY(aliceHeard.Load(m_aliceRecording));
    QVERIFY(bobHeard.Load(m_bobRecording));
    QVERIFY2(aliceHeard.seconds() > 1.0, qPrintable(QString::number(aliceHeard.seconds())));
    QVERIFY2(aliceHeard.Rms() > kMinRms, qPrintable(QString::number(aliceHeard.Rms())));
    QVERIFY2(bobHeard.Rms() > kMinRms, qPrintable(QString::number(bobHeard.Rms())));
    QVERIFY2(aliceHeard.ToneShare(kBobTone) > kMinToneShare,
             qPrintable(QString::number(aliceHeard.ToneShare(kBobTone))));
    QVERIFY2(bobHeard.ToneShare(kAliceTone) > kMinToneShare,
             qPrintable(QString::number(bobHeard.ToneShare(kAliceTone))));
    QVERIFY(aliceHeard.ToneShare(kAliceTone) < 0.1);
}

void TestCalls::callerHangingUpEndsTheCallee()
{
    RtcSessionPtr aliceCall;
    RtcSessionPtr bobCall;
    QVERIFY(Connect(aliceCall, bobCall));
    // Sound has reached the caller's recording (past its 44-byte header), so that the
    // header the recorder completes on closing gives a size.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_aliceRecording).size() > 44 + 320, CEventQueue::kDefaultWaitMs);
    // The caller's window hears of the hang-up before the library stops the streams:
    // the recording is still open, its header not yet completed.
    std::optional<quint32> recordedBytesWhenTold;
    m_alice->events().SetArrivalHook([&](RTC_EVENT type, const RtcEventPtr& event) {
        const auto* change = dynamic_cast<const IRTCSessionStateChangeEvent*>(event.get());
        if (type == RTCE_SESSION_STATE_CHANGE && change && change->m_state == RTCSS_DISCONNECTED &&
            !recordedBytesWhenTold)
            recordedBytesWhenTold = WavDataBytes(m_aliceRecording);
    });
    const auto noHook = qScopeGuard([this] { m_alice->events().SetArrivalHook({}); });
    QCOMPARE(aliceCall->Terminate(RTCTR_NORMAL), S_OK);
    QVERIFY(m_bob->WaitSession(RTCSS_DISCONNECTED, bobCall));
    QVERIFY(m_alice->WaitSession(RTCSS_DISCONNECTED, aliceCall));
    QCOMPARE(recordedBytesWhenTold, std::optional<quint32>(0));
    // and the library does stop them right after.
    QTRY_VERIFY_WITH_TIMEOUT(WavDataBytes(m_aliceRecording) > 0, CEventQueue::kDefaultWaitMs);
    auto participant = m_bob->events().Take<IRTCParticipantStateChangeEvent>(
        RTCE_PARTICIPANT_STATE_CHANGE, [](const auto& e) { return e.m_state == RTCPS_DISCONNECTED; });
    QVERIFY(participant);
    // Terminating what already ended changes nothing.
    QCOMPARE(aliceCall->Terminate(RTCTR_NORMAL), S_FALSE);
}

void TestCalls::calleeHangingUpEndsTheCaller()
{
    RtcSessionPtr aliceCall;
    RtcSessionPtr bobCall;
    QVERIFY(Connect(aliceCall, bobCall));
    QCOMPARE(bobCall->Terminate(RTCTR_NORMAL), S_OK);
    QVERIFY(m_alice->WaitSession(RTCSS_DISCONNECTED, aliceCall));
    RTC_SESSION_STATE state = RTCSS_IDLE;
    aliceCall->get_State(state);
    QCOMPARE(state, RTCSS_DISCONNECTED);
}

void TestCalls::declinedCallsReachTheCallerWithTheirCode_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<HRESULT>("status");
    QTest::newRow("busy") << int(RTCTR_BUSY) << RTC_E_STATUS_CLIENT_BUSY_HERE;
    QTest::newRow("reject") << int(RTCTR_REJECT) << RTC_E_STATUS_GLOBAL_DECLINE;
}

void TestCalls::declinedCallsReachTheCallerWithTheirCode()
{
    QFETCH(int, reason);
    QFETCH(HRESULT, status);
    RtcSessionPtr aliceCall = m_alice->Call(CSipService::Uri(CEndpoint::kBob.number));
    QVERIFY(aliceCall);
    RtcSessionPtr bobCall = m_bob->WaitIncoming();
    QVERIFY(bobCall);
    // A person takes a moment to decide (an instant decline races in the proxy).
    QVERIFY(m_alice->events().Take<IRTCParticipantStateChangeEvent>(
        RTCE_PARTICIPANT_STATE_CHANGE, [](const auto& e) { return e.m_state == RTCPS_ALERTING; }));
    QCOMPARE(bobCall->Terminate(static_cast<RTC_TERMINATE_REASON>(reason)), S_OK);
    SessionEvent ended = m_alice->WaitSession(RTCSS_DISCONNECTED, aliceCall);
    QVERIFY(ended);
    QCOMPARE(ended->m_statusCode, status);
    QVERIFY(m_bob->WaitSession(RTCSS_DISCONNECTED, bobCall));
}

void TestCalls::unreachablePartiesEndWithTheirCode_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<HRESULT>("status");
    QTest::newRow("unknown") << QStringLiteral("15559990000") << RTC_E_STATUS_CLIENT_NOT_FOUND;
    QTest::newRow("not registered") << CEndpoint::kDave.number << RTC_E_STATUS_CLIENT_TEMPORARILY_NOT_AVAILABLE;
}

void TestCalls::unreachablePartiesEndWithTheirCode()
{
    QFETCH(QString, number);
    QFETCH(HRESULT, status);
    RtcSessionPtr call = m_alice->Call(CSipService::Uri(number));
    QVERIFY(call);
    SessionEvent ended = m_alice->WaitSession(RTCSS_DISCONNECTED, call);
    QVERIFY(ended);
    QCOMPARE(ended->m_statusCode, status);
    auto participant = m_alice->events().Take<IRTCParticipantStateChangeEvent>(
        RTCE_PARTICIPANT_STATE_CHANGE, [](const auto& e) { return e.m_state == RTCPS_DISCONNECTED; });
    QVERIFY(participant);
    QCOMPARE(participant->m_statusCode, status);
}

void TestCalls::incomingCallCarriesCallerIdentity()
{
    RtcSessionPtr aliceCall = m_alice->Call(CSipService::Uri(CEndpoint::kBob.number), QStringLiteral("Bob"));
    QVERIFY(aliceCall);
    RtcSessionPtr bobCall = m_bob->WaitIncoming();
    QVERIFY(bobCall);
    RTC_SESSION_TYPE type = RTCST_APPLICATION;
    QCOMPARE(bobCall->get_Type(type), S_OK);
    QVERIFY(type == RTCST_PC_TO_PC || type == RTCST_PC_TO_PHONE);
    RtcParticipantPtr caller = FirstParticipant(bobCall);
    QVERIFY(caller);
    QString uri;
    QString name;
    QCOMPARE(caller->get_UserURI(uri), S_OK);
    QCOMPARE(uri, CSipService::Uri(CEndpoint::kAlice.number));
    QCOMPARE(caller->get_Name(name), S_OK);
    QCOMPARE(name, QStringLiteral("Alice Example"));
    RtcSessionPtr owner;
    QCOMPARE(caller->get_Session(owner), S_OK);
    QCOMPARE(owner, bobCall);
    QCOMPARE(bobCall->Terminate(RTCTR_REJECT), S_OK);
    QVERIFY(m_alice->WaitSession(RTCSS_DISCONNECTED, aliceCall));
}

void TestCalls::incomingCallWithoutNameFailsTheNameRead()
{
    RtcSessionPtr bobCall = m_bob->Call(CSipService::Uri(CEndpoint::kAlice.number));
    QVERIFY(bobCall);
    RtcSessionPtr aliceCall = m_alice->WaitIncoming();
    QVERIFY(aliceCall);
    RtcParticipantPtr caller = FirstParticipant(aliceCall);
    QVERIFY(caller);
    QString name;
    QCOMPARE(caller->get_Name(name), RTC_E_NO_DISPLAY_NAME);
    QString uri;
    QCOMPARE(caller->get_UserURI(uri), S_OK);
    QCOMPARE(uri, CSipService::Uri(CEndpoint::kBob.number));
    QCOMPARE(aliceCall->Terminate(RTCTR_REJECT), S_OK);
}

void TestCalls::cancelledCallEndsAtTheCallee()
{
    RtcSessionPtr aliceCall = m_alice->Call(CSipService::Uri(CEndpoint::kBob.number));
    QVERIFY(aliceCall);
    RtcSessionPtr bobCall = m_bob->WaitIncoming();
    QVERIFY(bobCall);
    QCOMPARE(aliceCall->Terminate(RTCTR_NORMAL), S_OK);
    QVERIFY(m_bob->WaitSession(RTCSS_DISCONNECTED, bobCall));
    QVERIFY(m_alice->WaitSession(RTCSS_DISCONNECTED, aliceCall));
    QCOMPARE(bobCall->Answer(), RTC_E_INVALID_STATE);
}

void TestCalls::autoAnswerModeAcceptsAtOnce()
{
    QCOMPARE(m_bob->client().put_AnswerMode(RTCST_PC_TO_PC, RTCAM_AUTOMATICALLY_ACCEPT), S_OK);
    RtcSessionPtr aliceCall = m_alice->Call(CSipService::Uri(CEndpoint::kBob.number));
    QVERIFY(aliceCall);
    QVERIFY(m_alice->WaitSession(RTCSS_CONNECTED, aliceCall));
    QVERIFY(m_bob->WaitSession(RTCSS_CONNECTED));
    QCOMPARE(aliceCall->Terminate(RTCTR_NORMAL), S_OK);
    QVERIFY(m_bob->WaitSession(RTCSS_DISCONNECTED));
}

QTEST_MAIN(TestCalls)
#include "tst_calls.moc"
