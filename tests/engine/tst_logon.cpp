// Logon, registration, the one credential retry and log off, against the fake library.
#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "engine/SettingsStore.h"
#include "tests/fakes/EngineRig.h"
#include "tests/fakes/IsolatedHome.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/RecordingSessionWnd.h"
#include "tests/fakes/RecordingViews.h"

#include <QSettings>
#include <QtTest>

namespace {
const QString kUri = QStringLiteral("sip:15551230001@sip.orvalo.test");
const QString kServer = QStringLiteral("127.0.0.1:15060");
} // namespace

class TestLogon : public QObject {
    Q_OBJECT

private:
    IsolatedHome m_home;
    std::unique_ptr<EngineRig> m_rig;
    RecordingBuddyList m_buddyList;
    RecordingWatchers m_watchers;

    void registration(RTC_REGISTRATION_STATE state, HRESULT code = S_OK) { m_rig->registration(state, code); }
    void startLogonAndGetProfile() { m_rig->startLogon(); }
    void logOn() { m_rig->logOn(); }

private slots:
    void init()
    {
        QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear();
        CSettingsStore::WriteSetting(kSettingUserUri, "1 555 123-0001");
        CSettingsStore::WriteSetting(kSettingAccount, "alice");
        CSettingsStore::WriteSetting(kSettingPassword, "alicepw1");
        CSettingsStore::WriteSetting(kSettingAutoLogon, "1");
        m_rig = std::make_unique<EngineRig>(kUri);
        m_buddyList.log.clear();
        m_watchers.log.clear();
        m_rig->engine().SetBuddyListView(&m_buddyList);
        m_rig->engine().SetWatchersView(&m_watchers);
        g_closing = false;
    }

    void cleanup()
    {
        m_rig.reset();
        g_closing = false;
    }

    void startLogonAsksForTheProfileAndShowsFindingServer()
    {
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, "udp"), S_OK);
        const FakeCall* call = m_rig->client().log().last("Client.GetProfile");
        QVERIFY(call);
        QCOMPARE(call->args, QVariantList({QString(), QString(), kUri, kServer, RTCTR_UDP, 0}));
        QCOMPARE(m_buddyList.log, QStringList({"DeleteAllItems", "InsertBuddiesRoot"}));
        QCOMPARE(m_rig->display().statusBar, "Finding server...");
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_ON, true), false);
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_OFF, false), true);
        QVERIFY(m_rig->engine().IsLogonPending());
    }

    void aSecondLogonWhilePendingOrHeldDoesNothing()
    {
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, "UDP"), S_OK);
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, "UDP"), S_FALSE);
        m_rig->deliver(RTCE_PROFILE, FakeEvents::profile(m_rig->profile()));
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, "UDP"), S_FALSE);
        QCOMPARE(m_rig->client().log().count("Client.GetProfile"), 1);
    }

    void theProfileIsEnabledWithPresenceFirst_data()
    {
        QTest::addColumn<QString>("transport");
        QTest::addColumn<QString>("enableOp");
        QTest::newRow("udp") << "UDP"
                             << "Client.EnableProfile";
        QTest::newRow("tcp") << "TCP"
                             << "Client.EnableProfileEx";
    }

    void theProfileIsEnabledWithPresenceFirst()
    {
        QFETCH(QString, transport);
        QFETCH(QString, enableOp);
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, transport), S_OK);
        m_rig->client().log().clear();
        m_rig->deliver(RTCE_PROFILE, FakeEvents::profile(m_rig->profile()));
        const QStringList ops = m_rig->client().log().opsMatching("Client.");
        QCOMPARE(ops, QStringList({"Client.EnablePresenceEx", "Client.put_PresenceProperty",
                                   "Client.SetLocalPresenceInfo", enableOp}));
        QCOMPARE(m_rig->profile()->m_allowedAuth, RTCAU_DIGEST);
        const QVariantList enableArgs = m_rig->client().log().last(enableOp)->args;
        QCOMPARE(enableArgs.value(1).toInt(), 15);
        if (enableOp == "Client.EnableProfileEx")
            QCOMPARE(enableArgs.value(2).toInt(), 15);
        QCOMPARE(m_rig->engine().Profile(), RtcProfilePtr(m_rig->profile()));
    }

    void failuresBeforeRegistrationEndTheLogonWithAMessage_data()
    {
        QTest::addColumn<HRESULT>("profileStatus");
        QTest::addColumn<QString>("failingOp");
        QTest::newRow("negative profile event") << E_FAIL << QString();
        QTest::newRow("presence cannot start") << S_OK << "Client.EnablePresenceEx";
        QTest::newRow("logon status cannot be set") << S_OK << "Client.SetLocalPresenceInfo";
        QTest::newRow("profile cannot be enabled") << S_OK << "Client.EnableProfile";
    }

    void failuresBeforeRegistrationEndTheLogonWithAMessage()
    {
        QFETCH(HRESULT, profileStatus);
        QFETCH(QString, failingOp);
        if (!failingOp.isEmpty())
            m_rig->client().setResult(failingOp, E_FAIL);
        MessageCapture messages;
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, "UDP"), S_OK);
        m_rig->deliver(RTCE_PROFILE, FakeEvents::profile(m_rig->profile(), profileStatus));
        QCOMPARE(messages.texts, QStringList{"Logon failed!"});
        QCOMPARE(m_rig->engine().Profile(), RtcProfilePtr());
        QCOMPARE(m_rig->display().statusBar, "Logged off");
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_ON), true);
    }

    void aRefusedProfileRequestShowsLogonFailed()
    {
        m_rig->client().setResult("Client.GetProfile", E_FAIL);
        MessageCapture messages;
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, "UDP"), E_FAIL);
        QCOMPARE(messages.texts, QStringList{"Logon failed!"});
        QVERIFY(!m_rig->engine().IsLogonPending());
        QVERIFY(m_rig->display().statusBar.isEmpty());
    }

    void aProfileArrivingAfterLogOffIsNeverEnabled()
    {
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, "UDP"), S_OK);
        m_rig->engine().LogOff();
        m_rig->deliver(RTCE_PROFILE, FakeEvents::profile(m_rig->profile()));
        QCOMPARE(m_rig->client().log().count("Client.EnableProfile"), 0);
        QCOMPARE(m_rig->client().log().count("Client.EnablePresenceEx"), 0);
        QCOMPARE(m_rig->engine().Profile(), RtcProfilePtr());
        // and a new logon may start again
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, "UDP"), S_OK);
    }

    void theFirstChallengeIsAnsweredOnceFromTheStoredCredentials()
    {
        m_rig->engine().SetLogonPassword("typed-secret");
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        m_rig->client().log().clear();
        registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_UNAUTHORIZED);

        QCOMPARE(m_rig->client().log().count("Profile.SetCredentials"), 1);
        QCOMPARE(m_rig->client().log().last("Profile.SetCredentials")->args,
                 QVariantList({"sip:15551230001@sip.orvalo.test", "alice", "typed-secret"}));
        QCOMPARE(m_rig->client().log().count("Client.EnableProfile"), 1);
        QVERIFY(m_rig->engine().Profile());

        // A second rejection straight out of registering ends the logon and asks again.
        registration(RTCRS_REGISTERING);
        registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_UNAUTHORIZED);
        QCOMPARE(m_rig->client().log().count("Profile.SetCredentials"), 1);
        QCOMPARE(m_rig->client().log().count("Client.DisableProfile"), 1);
        QCOMPARE(m_rig->engine().Profile(), RtcProfilePtr());
        QString autoLogon;
        QCOMPARE(CSettingsStore::ReadSetting(kSettingAutoLogon, autoLogon), S_OK);
        QCOMPARE(autoLogon, "0");
        QCOMPARE(m_rig->display().logOnRuns, 1);

        // The next logon gets its own retry.
        m_rig->engine().SetLogonPassword("alicepw1");
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_FORBIDDEN);
        QCOMPARE(m_rig->client().log().count("Profile.SetCredentials"), 2);
    }

    void theRetryFallsBackToTheStoredPassword()
    {
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_PROXY_AUTH_REQUIRED);
        QCOMPARE(m_rig->client().log().last("Profile.SetCredentials")->args.value(2).toString(), "alicepw1");
    }

    void otherFailuresReopenTheDialogOnlyStraightOutOfRegistering()
    {
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        registration(RTCRS_ERROR, RtcSipStatus(503));
        QCOMPARE(m_rig->display().logOnRuns, 1);
        QCOMPARE(m_rig->engine().Profile(), RtcProfilePtr());

        CSettingsStore::WriteSetting(kSettingAutoLogon, "1");
        logOn();
        registration(RTCRS_ERROR, RtcSipStatus(503));
        QCOMPARE(m_rig->display().logOnRuns, 1);
        QCOMPARE(m_rig->engine().Profile(), RtcProfilePtr());
        QCOMPARE(m_rig->display().statusBar, "Logged off");
        QString autoLogon;
        CSettingsStore::ReadSetting(kSettingAutoLogon, autoLogon);
        QCOMPARE(autoLogon, "1");
    }

    void theServerLoggingUsOffIsReported()
    {
        logOn();
        MessageCapture messages;
        registration(RTCRS_LOGGED_OFF);
        QCOMPARE(messages.texts,
                 QStringList{"The Server has logged you off (Perhaps you logged in from another location)."});
        QCOMPARE(m_rig->engine().Profile(), RtcProfilePtr());
        QCOMPARE(m_rig->display().statusBar, "Logged off");
    }

    void everyStateShowsItsTexts()
    {
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        QCOMPARE(m_rig->display().statusBar, "Logging on...");
        QCOMPARE(m_rig->display().statusLine, "(Logging on...)");
        QCOMPARE(m_rig->display().actionAndToolsEnabled, false);
        QCOMPARE(m_rig->display().presenceSubmenuEnabled, false);

        registration(RTCRS_REGISTERED);
        QCOMPARE(m_rig->display().statusBar, "Alice (Online)");
        QCOMPARE(m_rig->display().statusLine, "Alice");
        QCOMPARE(m_rig->display().menuText.value(ID_LOG_OFF), "Log Off Alice");
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_ON), false);
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_OFF), true);
        QCOMPARE(m_rig->display().actionAndToolsEnabled, true);
        QCOMPARE(m_rig->display().presenceSubmenuEnabled, true);
        QCOMPARE(m_rig->display().tabsEnabled, true);
        QCOMPARE(m_rig->display().chooser, 1);
        QCOMPARE(m_rig->display().checkedStatus, 1);
        QVERIFY(m_rig->display().addBuddyLinkShown);
        QVERIFY(m_rig->display().awayTimerRunning);
        QCOMPARE(m_rig->display().callLogReloads, 1);
        QCOMPARE(m_rig->client().log().count("Client.EnumerateGroups"), 1); // the buddy list was rebuilt

        registration(RTCRS_LOCAL_PA_LOGGED_OFF);
        QCOMPARE(m_rig->display().statusBar, "Logged on (Presence disabled)");

        registration(RTCRS_UNREGISTERING);
        QCOMPARE(m_rig->display().statusBar, "Logging off...");
        QCOMPARE(m_rig->display().statusLine, "(Logging off...)");

        m_rig->engine().LogOff();
        QCOMPARE(m_rig->display().statusBar, "Logged off");
        QCOMPARE(m_rig->display().statusLine, "(You are not logged on)");
        QCOMPARE(m_rig->display().menuText.value(ID_LOG_OFF), "Log Off");
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_ON), true);
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_OFF), false);
        QCOMPARE(m_rig->display().tabsEnabled, false);
        QCOMPARE(m_rig->display().chooser, 0);
        QVERIFY(!m_rig->display().awayTimerRunning);
        QCOMPARE(m_rig->display().callLogClears, 1);
        QCOMPARE(m_rig->client().log().count("Client.DisablePresence"), 1);
    }

    void closingSuppressesTheLoggingOffDisplays()
    {
        logOn();
        const RecordingDisplay before = m_rig->display();
        g_closing = true;
        registration(RTCRS_UNREGISTERING);
        registration(RTCRS_NOT_REGISTERED);
        QCOMPARE(m_rig->display().log, before.log);
        // presence is still switched off
        QCOMPARE(m_rig->client().log().count("Client.DisablePresence"), 1);
    }

    void logOffClosesWindowsAndReleasesTheProfile()
    {
        logOn();
        RecordingSessionWnd chat;
        chat.SetEngine(&m_rig->engine());
        m_rig->engine().AddSessionWindow(&chat);
        m_rig->client().log().clear();
        m_buddyList.log.clear();

        QCOMPARE(m_rig->engine().LogOff(), S_OK);
        QCOMPARE(chat.calls, QStringList{"postClose"});
        QVERIFY(m_rig->engine().SessionWindows().empty());
        QVERIFY(m_watchers.log.contains("CloseAll"));
        QCOMPARE(m_rig->client().log().ops(), QStringList({"Client.DisablePresence", "Client.DisableProfile"}));
        QCOMPARE(m_buddyList.log, QStringList({"ClearBuddyItems", "DeleteAllItems"}));
        QCOMPARE(m_rig->engine().Profile(), RtcProfilePtr());
    }

    void eachLogonPublishesTheChoosersStatusFirst_data()
    {
        QTest::addColumn<bool>("transparently");
        QTest::addColumn<int>("status");
        QTest::newRow("online") << false << int(RTCXS_PRESENCE_ONLINE);
        QTest::newRow("logon transparently") << true << int(RTCXS_PRESENCE_OFFLINE);
    }

    void eachLogonPublishesTheChoosersStatusFirst()
    {
        QFETCH(bool, transparently);
        QFETCH(int, status);
        CSettingsStore::WriteSetting(kSettingLogonTransparently, transparently ? "1" : "");
        // An earlier logon of this run left another status with the library.
        logOn();
        m_rig->engine().OnStatusCommand(RTCXS_PRESENCE_BUSY);
        m_rig->engine().LogOff();
        m_rig->client().log().clear();

        logOn();
        const QStringList ops = m_rig->client().log().opsMatching("Client.");
        const qsizetype published = ops.indexOf("Client.SetLocalPresenceInfo");
        QVERIFY(published >= 0 && published < ops.indexOf("Client.EnableProfile"));
        for (const FakeCall& call : m_rig->client().log().calls())
            if (call.op == "Client.SetLocalPresenceInfo")
                QCOMPARE(call.args.value(0).toInt(), status);
        QCOMPARE(m_rig->display().chooser, status);
        QCOMPARE(m_rig->display().checkedStatus, status);
    }

    void eventsOfAProfileNoLongerHeldChangeNothing_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::addColumn<int>("state");
        QTest::addColumn<HRESULT>("code");
        QTest::newRow("challenge after log off") << false << int(RTCRS_REJECTED) << RTC_E_STATUS_CLIENT_UNAUTHORIZED;
        QTest::newRow("error after log off") << false << int(RTCRS_ERROR) << RtcSipStatus(503);
        QTest::newRow("server log-off after log off") << false << int(RTCRS_LOGGED_OFF) << S_OK;
        QTest::newRow("challenge while closing") << true << int(RTCRS_REJECTED) << RTC_E_STATUS_CLIENT_FORBIDDEN;
        QTest::newRow("error while closing") << true << int(RTCRS_ERROR) << RtcSipStatus(408);
    }

    void eventsOfAProfileNoLongerHeldChangeNothing()
    {
        QFETCH(bool, closing);
        QFETCH(int, state);
        QFETCH(HRESULT, code);
        logOn();
        MessageCapture messages;
        if (closing)
            g_closing = true;
        else
            m_rig->engine().LogOff();
        // Straight out of registering, where a held profile's failure would reopen the dialog.
        registration(RTCRS_REGISTERING);
        m_rig->client().log().clear();
        registration(static_cast<RTC_REGISTRATION_STATE>(state), code);

        QVERIFY(messages.texts.isEmpty());
        QCOMPARE(m_rig->display().logOnRuns, 0);
        QString autoLogon;
        CSettingsStore::ReadSetting(kSettingAutoLogon, autoLogon);
        QCOMPARE(autoLogon, "1");
        QCOMPARE(m_rig->client().log().count("Profile.SetCredentials"), 0);
        if (!closing)
            QCOMPARE(m_rig->display().statusBar, "Logged off");
    }

    void aLateEventOfAnEarlierProfileLeavesANewLogonAlone()
    {
        logOn();
        const auto earlier = m_rig->profile();
        m_rig->engine().LogOff();
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, "UDP"), S_OK);
        m_rig->deliver(RTCE_REGISTRATION_STATE_CHANGE, FakeEvents::registration(earlier, RTCRS_NOT_REGISTERED));
        QCOMPARE(m_rig->display().statusBar, "Finding server...");
        QVERIFY(m_rig->engine().IsLogonPending());
    }

    void aLostRegistrationShowsLoggingOnAndComesBackWithTheChoosersStatus_data()
    {
        QTest::addColumn<int>("lostState");
        QTest::newRow("layer retrying") << int(RTCRS_REGISTERING);
        QTest::newRow("registration gone") << int(RTCRS_NOT_REGISTERED);
    }

    void aLostRegistrationShowsLoggingOnAndComesBackWithTheChoosersStatus()
    {
        QFETCH(int, lostState);
        logOn();
        m_rig->engine().OnStatusCommand(RTCXS_PRESENCE_BUSY);
        registration(static_cast<RTC_REGISTRATION_STATE>(lostState), RTC_E_TIMEOUT);
        QCOMPARE(m_rig->display().statusLine, "(Logging on...)");
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_ON), false);
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_OFF), true);
        QVERIFY(m_rig->engine().Profile());

        m_rig->client().log().clear();
        registration(RTCRS_REGISTERED);
        QCOMPARE(m_rig->client().log().last("Client.SetLocalPresenceInfo")->args.value(0).toInt(),
                 int(RTCXS_PRESENCE_BUSY));
        QCOMPARE(m_rig->display().chooser, int(RTCXS_PRESENCE_BUSY));
        QCOMPARE(m_rig->display().statusBar, "Alice (Busy)");
    }

    void logOffWhileTheServiceIsGoneFreesLogOnAtOnce()
    {
        logOn();
        registration(RTCRS_REGISTERING, RTC_E_TIMEOUT);
        m_rig->engine().LogOff();
        QCOMPARE(m_rig->engine().Profile(), RtcProfilePtr());
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_ON), true);
        QCOMPARE(m_rig->display().menuEnabled.value(ID_LOG_OFF), false);
        QCOMPARE(m_rig->engine().StartLogon(kUri, kServer, "UDP"), S_OK);
    }

    void noUserNameShowsTheNumber()
    {
        m_rig->profile()->m_userName.clear();
        logOn();
        QCOMPARE(m_rig->display().statusBar, "15551230001 (Online)");
        QCOMPARE(m_rig->display().menuText.value(ID_LOG_OFF), "Log Off 15551230001");
    }
};

QTEST_MAIN(TestLogon)
#include "tst_logon.moc"
