// The audio call window: what a call shows on the phone page, its timer, its audio
// controls, and how it ends.
#include "CallRig.h"

#include <QtTest>

namespace {
QString Line(const QString& name, const QString& text)
{
    return name + QStringLiteral("\r\r\n") + text;
}
} // namespace

class TestCallWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CallRig> m_rig;

    CallRig& rig() { return *m_rig; }
    std::shared_ptr<FakeSession> placeCallToCarol()
    {
        auto session = rig().placeCall(RTCST_PC_TO_PC, kCarolUri, QStringLiteral("Carol"));
        rig().display().statusMessages.clear();
        rig().log().clear();
        return session;
    }

private slots:
    void init()
    {
        m_rig = std::make_unique<CallRig>();
        rig().logOn();
    }
    void cleanup() { m_rig.reset(); }

    void eachStateShowsItsLineWithTheRemoteName_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("idle") << 0 << "Idle";
        QTest::newRow("incoming") << 1 << "Incoming...";
        QTest::newRow("answering") << 2 << "Answering...";
        QTest::newRow("in progress") << 3 << "Connecting...";
        QTest::newRow("connected") << 4 << "Connected";
        QTest::newRow("hold") << 6 << QString();
        QTest::newRow("refer") << 7 << QString();
    }

    void eachStateShowsItsLineWithTheRemoteName()
    {
        QFETCH(int, state);
        QFETCH(QString, text);
        auto session = placeCallToCarol();
        rig().setState(session, static_cast<RTC_SESSION_STATE>(state));
        const QStringList expected = text.isEmpty() ? QStringList() : QStringList{Line("Carol", text)};
        QCOMPARE(rig().display().statusMessages, expected);
        QCOMPARE(CAVSessionWnd::Active()->State(), static_cast<RTC_SESSION_STATE>(state));
    }

    void theRemotePartyIsNamedByNameElseByNumberElseNotAtAll()
    {
        // A participant without a name is shown by its number.
        auto session = rig().placeCall(RTCST_PC_TO_PHONE, QStringLiteral("sip:15551230003@sip.orvalo.test"));
        rig().setState(session, RTCSS_INPROGRESS);
        QCOMPARE(rig().display().statusMessages.last(), Line("15551230003", "Connecting..."));

        // A name the far end did not send is read as missing, too.
        session->m_participants.front()->m_nameStatus = RTC_E_NO_DISPLAY_NAME;
        rig().setState(session, RTCSS_CONNECTED);
        QCOMPARE(rig().display().statusMessages.last(), Line("15551230003", "Connected"));
        CAVSessionWnd::Active()->DestroyWindow();

        // A session without participants shows the text alone.
        auto bare = rig().callWindowFor();
        QVERIFY(bare);
        rig().setState(bare, RTCSS_INPROGRESS);
        QCOMPARE(rig().display().statusMessages.last(), QString("Connecting..."));
    }

    void disconnectedWithoutConnectedShowsItAndEndsTheCall()
    {
        auto session = placeCallToCarol();
        QPointer<CAVSessionWnd> window = CAVSessionWnd::Active();
        rig().setState(session, RTCSS_INPROGRESS);
        rig().setState(session, RTCSS_DISCONNECTED);

        QCOMPARE(rig().display().statusMessages,
                 QStringList({Line("Carol", "Connecting..."), Line("Carol", "Disconnected")}));
        QVERIFY(!CAVSessionWnd::Active());
        QVERIFY(rig().engine().SessionWindows().empty());
        QCOMPARE(rig().log().count("Session.Terminate"), 1);
        QCOMPARE(rig().log().last("Session.Terminate")->args, QVariantList{RTCTR_NORMAL});
        QVERIFY(rig().display().callTimes.isEmpty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window);

        // Whatever the library still says about the session reaches nobody.
        rig().setState(session, RTCSS_CONNECTED);
        QCOMPARE(rig().display().statusMessages.size(), 2);
    }

    void aStateChangeReachesOnlyTheWindowOfItsSession()
    {
        auto session = placeCallToCarol();
        RtcSessionPtr stranger;
        rig().client().CreateSession(RTCST_PC_TO_PC, QString(), nullptr, 0, stranger);
        rig().deliver(RTCE_SESSION_STATE_CHANGE, FakeEvents::sessionState(stranger, RTCSS_CONNECTED));
        rig().deliver(RTCE_SESSION_STATE_CHANGE, FakeEvents::sessionState(stranger, RTCSS_DISCONNECTED));
        QVERIFY(rig().display().statusMessages.isEmpty());
        QVERIFY(!CAVSessionWnd::Active()->IsCallTimerRunning());
        QCOMPARE(rig().log().count("Session.Terminate"), 0);
    }

    void everySecondShowsTheQualityAndTheCallTime()
    {
        auto session = placeCallToCarol();
        rig().setState(session, RTCSS_CONNECTED);
        CAVSessionWnd* window = CAVSessionWnd::Active();
        QVERIFY(window->IsCallTimerRunning());

        window->OnTimer(); // the library knows no quality yet
        rig().client().m_networkQuality = 73;
        window->OnTimer();
        rig().client().setResult("Client.get_NetworkQuality", E_FAIL);
        window->OnTimer(); // an unreadable quality shows as 0, and the second still counts

        QCOMPARE(rig().display().statusMessages,
                 QStringList({Line("Carol", "Connected"), Line("Carol", "Connected: Network Quality = 0"),
                              Line("Carol", "Connected: Network Quality = 73"),
                              Line("Carol", "Connected: Network Quality = 0")}));
        QCOMPARE(rig().display().qualities, QList<int>({0, 73, 0}));
        QCOMPARE(rig().display().callTimes, QList<int>({1, 2, 3}));
    }

    // A microphone is missing when the call connects, or fails to open after the
    // first second (the layer then reports its sending side failed, and may repeat
    // it after a hold): either way the notice stands for three seconds, once.
    void withoutMicrophoneTheFirstSecondsSaySoOnce_data()
    {
        const QString quality = QStringLiteral("Connected: Network Quality = 0");
        const QString notice = CAVSessionWnd::kNoMicrophone;
        QTest::addColumn<int>("capabilities");
        QTest::addColumn<bool>("microphoneFails");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("microphone") << (RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE) << false
                                    << QStringList{quality, quality, quality, quality, quality};
        QTest::newRow("no microphone") << int(RTCMT_AUDIO_RECEIVE) << false
                                       << QStringList{notice, notice, notice, quality, quality};
        QTest::newRow("microphone fails to open") << (RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE) << true
                                                  << QStringList{quality, notice, notice, notice, quality};
    }

    void withoutMicrophoneTheFirstSecondsSaySoOnce()
    {
        QFETCH(int, capabilities);
        QFETCH(bool, microphoneFails);
        QFETCH(QStringList, lines);
        const auto failure = [this, microphoneFails] {
            if (microphoneFails)
                rig().deliver(RTCE_MEDIA, FakeEvents::media(RTCMT_AUDIO_SEND, RTCMET_FAILED, RTCMER_BAD_DEVICE));
        };
        auto session = placeCallToCarol();
        rig().client().m_mediaCapabilities = capabilities;
        rig().setState(session, RTCSS_CONNECTED);
        CAVSessionWnd* window = CAVSessionWnd::Active();
        window->OnTimer();
        failure();
        window->OnTimer();
        rig().setState(session, RTCSS_HOLD);
        rig().setState(session, RTCSS_CONNECTED); // back from hold: not told again
        failure();
        for (int tick = 0; tick < 3; ++tick)
            window->OnTimer();
        QStringList expected;
        for (const QString& line : lines)
            expected << Line("Carol", line);
        expected.insert(0, Line("Carol", "Connected"));
        expected.insert(3, Line("Carol", "Connected"));
        QCOMPARE(rig().display().statusMessages, expected);
    }

    void theCallTimeGoesOnAcrossAHold()
    {
        auto session = placeCallToCarol();
        rig().setState(session, RTCSS_CONNECTED);
        CAVSessionWnd* window = CAVSessionWnd::Active();
        window->OnTimer();
        window->OnTimer();
        rig().setState(session, RTCSS_HOLD);
        QVERIFY(window->IsCallTimerRunning());
        rig().setState(session, RTCSS_CONNECTED);
        window->OnTimer();
        QCOMPARE(rig().display().callTimes, QList<int>({1, 2, 3}));

        // One timer, whatever CONNECTED repeats: a second per second.
        QTRY_VERIFY_WITH_TIMEOUT(rig().display().callTimes.size() >= 5, 5000);
        QCOMPARE(rig().display().callTimes.mid(0, 5), QList<int>({1, 2, 3, 4, 5}));
        QCOMPARE(window->Seconds(), rig().display().callTimes.last());
    }

    void aNewCallStartsAsTheKeysShow_data()
    {
        QTest::addColumn<bool>("hold");
        QTest::addColumn<bool>("mute");
        QTest::addColumn<bool>("microphoneMuted");
        QTest::addColumn<bool>("speakerMuted");
        QTest::newRow("neither") << false << false << false << false;
        QTest::newRow("mute") << false << true << true << false;
        QTest::newRow("hold") << true << false << true << true;
        QTest::newRow("both") << true << true << true << true;
    }

    void aNewCallStartsAsTheKeysShow()
    {
        QFETCH(bool, hold);
        QFETCH(bool, mute);
        QFETCH(bool, microphoneMuted);
        QFETCH(bool, speakerMuted);
        rig().client().m_muted = {{RTCAD_SPEAKER, !speakerMuted}, {RTCAD_MICROPHONE, !microphoneMuted}};
        rig().display().holdChecked = hold;
        rig().display().muteChecked = mute;
        rig().display().sliderPosition[RTCAD_SPEAKER] = 0;         // top: loudest
        rig().display().sliderPosition[RTCAD_MICROPHONE] = 0xFFFF; // bottom: silent

        QVERIFY(rig().placeCall(RTCST_PC_TO_PHONE, kBobUri));
        QCOMPARE(rig().client().m_muted[RTCAD_MICROPHONE], microphoneMuted);
        QCOMPARE(rig().client().m_muted[RTCAD_SPEAKER], speakerMuted);
        QCOMPARE(rig().client().m_volume[RTCAD_SPEAKER], 0xFFFF);
        QCOMPARE(rig().client().m_volume[RTCAD_MICROPHONE], 0);
    }

    void muteAndVolumeReachTheLibraryAndReportItsFailures()
    {
        placeCallToCarol();
        CAVSessionWnd* window = CAVSessionWnd::Active();
        QCOMPARE(window->SetMuted(RTCAD_MICROPHONE, true), S_OK);
        QCOMPARE(window->SetVolume(RTCAD_SPEAKER, 1234), S_OK);
        QCOMPARE(rig().client().m_muted[RTCAD_MICROPHONE], true);
        QCOMPARE(rig().client().m_volume[RTCAD_SPEAKER], 1234);

        rig().client().setResult("Client.put_AudioMuted", RTC_E_NO_DEVICE);
        rig().client().setResult("Client.put_Volume", RTC_E_NO_DEVICE);
        QCOMPARE(window->SetMuted(RTCAD_SPEAKER, true), RTC_E_NO_DEVICE);
        QCOMPARE(window->SetVolume(RTCAD_MICROPHONE, 1), RTC_E_NO_DEVICE);
    }

    void volumeAndDeviceChangesRefreshTheSliders()
    {
        placeCallToCarol();
        rig().client().m_volume = {{RTCAD_SPEAKER, 0xF000}, {RTCAD_MICROPHONE, 0x1000}};
        rig().deliver(RTCE_CLIENT, FakeEvents::client(RTCCET_VOLUME_CHANGE));
        QCOMPARE(rig().display().sliderPosition.value(RTCAD_SPEAKER), 0x0FFF);
        QCOMPARE(rig().display().sliderPosition.value(RTCAD_MICROPHONE), 0xEFFF);
        QCOMPARE(rig().display().sliderEnabled.value(RTCAD_SPEAKER), true);
        QCOMPARE(rig().display().sliderEnabled.value(RTCAD_MICROPHONE), true);

        // A device that cannot play disables its slider where it stands.
        rig().client().m_mediaCapabilities = RTCMT_AUDIO_SEND;
        rig().client().m_volume[RTCAD_MICROPHONE] = 0x2000;
        rig().deliver(RTCE_CLIENT, FakeEvents::client(RTCCET_DEVICE_CHANGE));
        QCOMPARE(rig().display().sliderEnabled.value(RTCAD_SPEAKER), false);
        QCOMPARE(rig().display().sliderPosition.value(RTCAD_SPEAKER), 0x0FFF);
        QCOMPARE(rig().display().sliderPosition.value(RTCAD_MICROPHONE), 0xDFFF);

        // A failing read ends the refresh; other client events refresh nothing.
        rig().client().m_mediaCapabilities = RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE;
        rig().client().m_volume = {{RTCAD_SPEAKER, 0}, {RTCAD_MICROPHONE, 0}};
        rig().client().setResult("Client.get_AudioMuted", E_FAIL);
        QCOMPARE(CAVSessionWnd::Active()->OnClientEvent(RTCCET_VOLUME_CHANGE), E_FAIL);
        rig().client().setResult("Client.get_AudioMuted", S_OK);
        rig().deliver(RTCE_CLIENT, FakeEvents::client(RTCCET_NETWORK_QUALITY_CHANGE));
        QCOMPARE(rig().display().sliderEnabled.value(RTCAD_SPEAKER), false);
        QCOMPARE(rig().display().sliderPosition.value(RTCAD_MICROPHONE), 0xDFFF);
    }

    void hangingUpEndsTheCallAtOnce()
    {
        auto session = placeCallToCarol();
        rig().setState(session, RTCSS_CONNECTED);
        CAVSessionWnd* window = CAVSessionWnd::Active();
        window->DestroyWindow();
        QVERIFY(!CAVSessionWnd::Active());
        QVERIFY(!window->IsCallTimerRunning());
        QCOMPARE(rig().log().last("Session.Terminate")->args, QVariantList{RTCTR_NORMAL});
        QVERIFY(rig().engine().SessionWindows().empty());

        // The library confirms the end; nobody shows it twice.
        rig().setState(session, RTCSS_DISCONNECTED);
        QCOMPARE(rig().display().statusMessages.size(), 1);
        QCOMPARE(rig().log().count("Session.Terminate"), 1);
        QVERIFY(rig().placeCall(RTCST_PC_TO_PHONE, kBobUri));
        QVERIFY(CAVSessionWnd::Active());
    }

    void loggingOffClosesTheCallFromTheEventLoop()
    {
        placeCallToCarol();
        QPointer<CAVSessionWnd> window = CAVSessionWnd::Active();
        rig().engine().LogOff();
        QVERIFY(rig().engine().SessionWindows().empty());
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window);
        QVERIFY(!CAVSessionWnd::Active());
        QCOMPARE(rig().log().count("Session.Terminate"), 1);
    }

    void aWindowOutlivingItsEngineStaysQuiet()
    {
        auto session = placeCallToCarol();
        rig().setState(session, RTCSS_CONNECTED);
        CAVSessionWnd* window = CAVSessionWnd::Active();
        rig().dropEngine(); // the sanitizers catch any later use of it
        window->OnTimer();
        window->DestroyWindow();
        QCOMPARE(rig().display().statusMessages.size(), 1);
        QCOMPARE(rig().log().count("Session.Terminate"), 1);
        QVERIFY(!CAVSessionWnd::Active());
    }
};

QTEST_MAIN(TestCallWindow)
#include "tst_call_window.moc"
