// Logon, registration, the one credential retry and log off, against the fake library.
#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "engine/RtcEventMessage.h"
#include "engine/SettingsStore.h"
#include "tests/fakes/FakeRtcClient.h"
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
    std::shared_ptr<FakeRtcClient> m_client;
    std::shared_ptr<FakeProfile> m_profile;
    RecordingDisplay m_display;
    RecordingBuddyList m_buddyList;
    RecordingWatchers m_watchers;
    QScopedPointer<CClientEngine> m_engine;

    void deliver(RTC_EVENT type, const RtcEventPtr& event)
    {
        QVERIFY(m_client->fire(type, event));
        QCoreApplication::sendPostedEvents(m_engine.data(), CRtcEventMessage::kType);
    }
    void registration(RTC_REGISTRATION_STATE state, HRESULT code = S_OK)
    {
        deliver(RTCE_REGISTRATION_STATE_CHANGE, FakeEvents::registration(m_profile, state, code));
    }
    void startLogonAndGetProfile()
    {
        QCOMPARE(m_engine->StartLogon(kUri, kServer, "UDP"), S_OK);
        deliver(RTCE_PROFILE, FakeEvents::profile(m_profile));
    }
    void logOn()
    {
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        registration(RTCRS_REGISTERED);
    }

private slots:
    void init()
    {
        QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear();
        CSettingsStore::WriteSetting(kSettingUserUri, "1 555 123-0001");
        CSettingsStore::WriteSetting(kSettingAccount, "alice");
        CSettingsStore::WriteSetting(kSettingPassword, "alicepw1");
        CSettingsStore::WriteSetting(kSettingAutoLogon, "1");
        m_client = FakeRtcClient::create();
        m_profile = m_client->makeProfile(kUri, "Alice");
        m_display = RecordingDisplay();
        m_buddyList.log.clear();
        m_watchers.log.clear();
        m_engine.reset(CClientEngine::Create(
            [this](RtcClientPtr& client) {
                client = m_client;
                return S_OK;
            },
            m_display));
        m_engine->SetBuddyListView(&m_buddyList);
        m_engine->SetWatchersView(&m_watchers);
        m_client->log().clear();
        g_closing = false;
    }

    void cleanup()
    {
        m_engine.reset();
        g_closing = false;
    }

    void startLogonAsksForTheProfileAndShowsFindingServer()
    {
        QCOMPARE(m_engine->StartLogon(kUri, kServer, "udp"), S_OK);
        const FakeCall* call = m_client->log().last("Client.GetProfile");
        QVERIFY(call);
        QCOMPARE(call->args, QVariantList({QString(), QString(), kUri, kServer, RTCTR_UDP, 0}));
        QCOMPARE(m_buddyList.log, QStringList({"DeleteAllItems", "InsertBuddiesRoot"}));
        QCOMPARE(m_display.statusBar, "Finding server...");
        QCOMPARE(m_display.menuEnabled.value(ID_LOG_ON, true), false);
        QCOMPARE(m_display.menuEnabled.value(ID_LOG_OFF, true), false);
        QVERIFY(m_engine->IsLogonPending());
    }

    void aSecondLogonWhilePendingOrHeldDoesNothing()
    {
        QCOMPARE(m_engine->StartLogon(kUri, kServer, "UDP"), S_OK);
        QCOMPARE(m_engine->StartLogon(kUri, kServer, "UDP"), S_FALSE);
        deliver(RTCE_PROFILE, FakeEvents::profile(m_profile));
        QCOMPARE(m_engine->StartLogon(kUri, kServer, "UDP"), S_FALSE);
        QCOMPARE(m_client->log().count("Client.GetProfile"), 1);
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
        QCOMPARE(m_engine->StartLogon(kUri, kServer, transport), S_OK);
        m_client->log().clear();
        deliver(RTCE_PROFILE, FakeEvents::profile(m_profile));
        const QStringList ops = m_client->log().opsMatching("Client.");
        QCOMPARE(ops, QStringList({"Client.EnablePresenceEx", "Client.put_PresenceProperty", enableOp}));
        QCOMPARE(m_profile->m_allowedAuth, RTCAU_DIGEST);
        const QVariantList enableArgs = m_client->log().last(enableOp)->args;
        QCOMPARE(enableArgs.value(1).toInt(), 15);
        if (enableOp == "Client.EnableProfileEx")
            QCOMPARE(enableArgs.value(2).toInt(), 15);
        QCOMPARE(m_engine->Profile(), RtcProfilePtr(m_profile));
    }

    void failuresBeforeRegistrationEndTheLogonWithAMessage_data()
    {
        QTest::addColumn<HRESULT>("profileStatus");
        QTest::addColumn<QString>("failingOp");
        QTest::newRow("negative profile event") << E_FAIL << QString();
        QTest::newRow("presence cannot start") << S_OK << "Client.EnablePresenceEx";
        QTest::newRow("profile cannot be enabled") << S_OK << "Client.EnableProfile";
    }

    void failuresBeforeRegistrationEndTheLogonWithAMessage()
    {
        QFETCH(HRESULT, profileStatus);
        QFETCH(QString, failingOp);
        if (!failingOp.isEmpty())
            m_client->setResult(failingOp, E_FAIL);
        MessageCapture messages;
        QCOMPARE(m_engine->StartLogon(kUri, kServer, "UDP"), S_OK);
        deliver(RTCE_PROFILE, FakeEvents::profile(m_profile, profileStatus));
        QCOMPARE(messages.texts, QStringList{"Logon failed!"});
        QCOMPARE(m_engine->Profile(), RtcProfilePtr());
        QCOMPARE(m_display.statusBar, "Logged off");
        QCOMPARE(m_display.menuEnabled.value(ID_LOG_ON), true);
    }

    void aRefusedProfileRequestShowsLogonFailed()
    {
        m_client->setResult("Client.GetProfile", E_FAIL);
        MessageCapture messages;
        QCOMPARE(m_engine->StartLogon(kUri, kServer, "UDP"), E_FAIL);
        QCOMPARE(messages.texts, QStringList{"Logon failed!"});
        QVERIFY(!m_engine->IsLogonPending());
        QVERIFY(m_display.statusBar.isEmpty());
    }

    void aProfileArrivingAfterLogOffIsNeverEnabled()
    {
        QCOMPARE(m_engine->StartLogon(kUri, kServer, "UDP"), S_OK);
        m_engine->LogOff();
        deliver(RTCE_PROFILE, FakeEvents::profile(m_profile));
        QCOMPARE(m_client->log().count("Client.EnableProfile"), 0);
        QCOMPARE(m_client->log().count("Client.EnablePresenceEx"), 0);
        QCOMPARE(m_engine->Profile(), RtcProfilePtr());
        // and a new logon may start again
        QCOMPARE(m_engine->StartLogon(kUri, kServer, "UDP"), S_OK);
    }

    void theFirstChallengeIsAnsweredOnceFromTheStoredCredentials()
    {
        m_engine->SetLogonPassword("typed-secret");
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        m_client->log().clear();
        registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_UNAUTHORIZED);

        QCOMPARE(m_client->log().count("Profile.SetCredentials"), 1);
        QCOMPARE(m_client->log().last("Profile.SetCredentials")->args,
                 QVariantList({"sip:15551230001@sip.orvalo.test", "alice", "typed-secret"}));
        QCOMPARE(m_client->log().count("Client.EnableProfile"), 1);
        QVERIFY(m_engine->Profile());

        // A second rejection straight out of registering ends the logon and asks again.
        registration(RTCRS_REGISTERING);
        registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_UNAUTHORIZED);
        QCOMPARE(m_client->log().count("Profile.SetCredentials"), 1);
        QCOMPARE(m_client->log().count("Client.DisableProfile"), 1);
        QCOMPARE(m_engine->Profile(), RtcProfilePtr());
        QString autoLogon;
        QCOMPARE(CSettingsStore::ReadSetting(kSettingAutoLogon, autoLogon), S_OK);
        QCOMPARE(autoLogon, "0");
        QCOMPARE(m_display.logOnRuns, 1);

        // The next logon gets its own retry.
        m_engine->SetLogonPassword("alicepw1");
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_FORBIDDEN);
        QCOMPARE(m_client->log().count("Profile.SetCredentials"), 2);
    }

    void theRetryFallsBackToTheStoredPassword()
    {
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_PROXY_AUTH_REQUIRED);
        QCOMPARE(m_client->log().last("Profile.SetCredentials")->args.value(2).toString(), "alicepw1");
    }

    void otherFailuresReopenTheDialogOnlyStraightOutOfRegistering()
    {
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        registration(RTCRS_ERROR, RtcSipStatus(503));
        QCOMPARE(m_display.logOnRuns, 1);
        QCOMPARE(m_engine->Profile(), RtcProfilePtr());

        CSettingsStore::WriteSetting(kSettingAutoLogon, "1");
        logOn();
        registration(RTCRS_ERROR, RtcSipStatus(503));
        QCOMPARE(m_display.logOnRuns, 1);
        QCOMPARE(m_engine->Profile(), RtcProfilePtr());
        QCOMPARE(m_display.statusBar, "Logged off");
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
        QCOMPARE(m_engine->Profile(), RtcProfilePtr());
        QCOMPARE(m_display.statusBar, "Logged off");
    }

    void everyStateShowsItsTexts()
    {
        startLogonAndGetProfile();
        registration(RTCRS_REGISTERING);
        QCOMPARE(m_display.statusBar, "Logging on...");
        QCOMPARE(m_display.statusLine, "(Logging on...)");
        QCOMPARE(m_display.actionAndToolsEnabled, false);
        QCOMPARE(m_display.presenceSubmenuEnabled, false);

        registration(RTCRS_REGISTERED);
        QCOMPARE(m_display.statusBar, "Alice (Online)");
        QCOMPARE(m_display.statusLine, "Alice");
        QCOMPARE(m_display.menuText.value(ID_LOG_OFF), "Log Off Alice");
        QCOMPARE(m_display.menuEnabled.value(ID_LOG_ON), false);
        QCOMPARE(m_display.menuEnabled.value(ID_LOG_OFF), true);
        QCOMPARE(m_display.actionAndToolsEnabled, true);
        QCOMPARE(m_display.presenceSubmenuEnabled, true);
        QCOMPARE(m_display.tabsEnabled, true);
        QCOMPARE(m_display.chooser, 1);
        QCOMPARE(m_display.checkedStatus, 1);
        QVERIFY(m_display.addBuddyLinkShown);
        QVERIFY(m_display.awayTimerRunning);
        QCOMPARE(m_display.callLogReloads, 1);
        QVERIFY(m_buddyList.log.contains("RebuildBuddyList"));
        QCOMPARE(m_client->log().count("Client.SetLocalPresenceInfo"), 0);

        registration(RTCRS_LOCAL_PA_LOGGED_OFF);
        QCOMPARE(m_display.statusBar, "Logged on (Presence disabled)");

        registration(RTCRS_UNREGISTERING);
        QCOMPARE(m_display.statusBar, "Logging off...");
        QCOMPARE(m_display.statusLine, "(Logging off...)");

        registration(RTCRS_NOT_REGISTERED);
        QCOMPARE(m_display.statusBar, "Logged off");
        QCOMPARE(m_display.statusLine, "(You are not logged on)");
        QCOMPARE(m_display.menuText.value(ID_LOG_OFF), "Log Off");
        QCOMPARE(m_display.menuEnabled.value(ID_LOG_ON), true);
        QCOMPARE(m_display.menuEnabled.value(ID_LOG_OFF), false);
        QCOMPARE(m_display.tabsEnabled, false);
        QCOMPARE(m_display.chooser, 0);
        QVERIFY(!m_display.awayTimerRunning);
        QCOMPARE(m_display.callLogClears, 1);
        QCOMPARE(m_client->log().count("Client.DisablePresence"), 1);
    }

    void closingSuppressesTheLoggingOffDisplays()
    {
        logOn();
        const RecordingDisplay before = m_display;
        g_closing = true;
        registration(RTCRS_UNREGISTERING);
        registration(RTCRS_NOT_REGISTERED);
        QCOMPARE(m_display.log, before.log);
        // presence is still switched off
        QCOMPARE(m_client->log().count("Client.DisablePresence"), 1);
    }

    void logOffClosesWindowsAndReleasesTheProfile()
    {
        logOn();
        RecordingSessionWnd chat;
        chat.SetEngine(m_engine.data());
        m_engine->AddSessionWindow(&chat);
        m_client->log().clear();
        m_buddyList.log.clear();

        QCOMPARE(m_engine->LogOff(), S_OK);
        QCOMPARE(chat.calls, QStringList{"postClose"});
        QVERIFY(m_engine->SessionWindows().empty());
        QCOMPARE(m_watchers.log, QStringList{"CloseAll"});
        QCOMPARE(m_client->log().ops(), QStringList({"Client.DisableProfile"}));
        QCOMPARE(m_buddyList.log, QStringList{"DeleteAllItems"});
        QCOMPARE(m_engine->Profile(), RtcProfilePtr());
    }

    void noUserNameShowsTheNumber()
    {
        m_profile->m_userName.clear();
        logOn();
        QCOMPARE(m_display.statusBar, "15551230001 (Online)");
        QCOMPARE(m_display.menuText.value(ID_LOG_OFF), "Log Off 15551230001");
    }
};

QTEST_MAIN(TestLogon)
#include "tst_logon.moc"
