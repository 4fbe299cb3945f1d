// The user's own presence: enabling it, publishing a status, and the automatic Away.
#include "engine/ClientEngine.h"
#include "engine/PresenceStatus.h"
#include "engine/RtcEventMessage.h"
#include "engine/SettingsStore.h"
#include "tests/fakes/FakeRtcClient.h"
#include "tests/fakes/IsolatedHome.h"
#include "tests/fakes/RecordingViews.h"

#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {
const QString kUri = QStringLiteral("sip:15551234567@sip.orvalo.test");
}

class TestLocalPresence : public QObject {
    Q_OBJECT

private:
    IsolatedHome m_home;
    std::shared_ptr<FakeRtcClient> m_client;
    std::shared_ptr<FakeProfile> m_profile;
    RecordingDisplay m_display;
    QScopedPointer<CClientEngine> m_engine;

    void deliver(RTC_EVENT type, const RtcEventPtr& event)
    {
        QVERIFY(m_client->fire(type, event));
        QCoreApplication::sendPostedEvents(m_engine.data(), CRtcEventMessage::kType);
    }
    void logOn()
    {
        QCOMPARE(m_engine->StartLogon(kUri, "127.0.0.1", "UDP"), S_OK);
        deliver(RTCE_PROFILE, FakeEvents::profile(m_profile));
        deliver(RTCE_REGISTRATION_STATE_CHANGE, FakeEvents::registration(m_profile, RTCRS_REGISTERING));
        deliver(RTCE_REGISTRATION_STATE_CHANGE, FakeEvents::registration(m_profile, RTCRS_REGISTERED));
    }
    QList<int> publishedStatuses() const
    {
        QList<int> statuses;
        for (const FakeCall& call : m_client->log().calls())
            if (call.op == "Client.SetLocalPresenceInfo")
                statuses << call.args.value(0).toInt();
        return statuses;
    }

private slots:
    void init()
    {
        QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear();
        m_client = FakeRtcClient::create();
        m_profile = m_client->makeProfile(kUri, "Alice");
        m_display = RecordingDisplay();
        m_engine.reset(CClientEngine::Create(
            [this](RtcClientPtr& client) {
                client = m_client;
                return S_OK;
            },
            m_display));
        m_client->log().clear();
    }

    void cleanup() { m_engine.reset(); }

    void enablingTwiceDoesNothingTheSecondTime()
    {
        logOn();
        m_client->log().clear();
        QCOMPARE(m_engine->SetPresenceEnabled(true), S_FALSE);
        QVERIFY(m_client->log().calls().empty());
    }

    void theStoreIsNamedAfterTheNumberInTheDataFolder()
    {
        logOn();
        const FakeCall* call = m_client->log().last("Client.EnablePresenceEx");
        QVERIFY(call);
        const QString expected =
            QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath("15551234567.xml");
        QCOMPARE(call->args.value(1).toString(), expected);
        QCOMPARE(call->args.value(2).toInt(), 0);
        // The device name others see is this computer's.
        QCOMPARE(m_client->m_presenceProperties[RTCPP_DEVICE_NAME], QSysInfo::machineHostName());
    }

    void storeNamesAreSafeFileNames_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("member") << "sip:9995551234@sip.orvalo.test"
                                << "9995551234.xml";
        QTest::newRow("plus kept") << "tel:+44-20-1234"
                                   << "+44201234.xml";
        QTest::newRow("path characters") << "sip:../../etc/x@evil"
                                         << "__etc_xevil.xml";
        QTest::newRow("nothing left") << "sip:@"
                                      << "_.xml";
    }

    void storeNamesAreSafeFileNames()
    {
        QFETCH(QString, uri);
        QFETCH(QString, fileName);
        const QString path = CClientEngine::PresenceStoragePath(uri);
        QCOMPARE(QFileInfo(path).fileName(), fileName);
        QCOMPARE(QFileInfo(path).absolutePath(),
                 QFileInfo(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).absoluteFilePath());
    }

    void loggingOnTransparentlyPublishesInvisibleFirst()
    {
        CSettingsStore::WriteSetting(kSettingLogonTransparently, "1");
        logOn();
        QCOMPARE(publishedStatuses(), QList<int>{0});
        QCOMPARE(m_display.chooser, 0);
        QCOMPARE(m_display.checkedStatus, 0);
        QCOMPARE(m_display.statusBar, "Alice (Invisible)");
        // Invisible never turns into Away.
        QVERIFY(!m_display.awayTimerRunning);
        QCOMPARE(m_display.awayTimerStarts, 0);
        m_engine->OnAwayTimer();
        QCOMPARE(publishedStatuses(), QList<int>{0});
    }

    void onlineTurnsAwayWhenTheTimerFires()
    {
        logOn();
        m_engine->OnStatusCommand(RTCXS_PRESENCE_ONLINE);
        QVERIFY(m_display.awayTimerRunning);
        m_engine->OnAwayTimer();
        QCOMPARE(publishedStatuses(), QList<int>({1, 2}));
        QCOMPARE(m_display.chooser, 2);
        QCOMPARE(m_display.statusBar, "Alice (Away)");
        QVERIFY(!m_display.awayTimerRunning);
    }

    void everyStatusCommandSetsTimerStatusAndChooser_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("statusBar");
        const QStringList texts{"Invisible", "Online",        "Away",         "Idle",
                                "Busy",      "Be right back", "On the phone", "Out to lunch"};
        for (int status = 0; status < kStatusCount; ++status)
            QTest::newRow(qPrintable(texts[status])) << status << QStringLiteral("Alice (%1)").arg(texts[status]);
    }

    void everyStatusCommandSetsTimerStatusAndChooser()
    {
        QFETCH(int, status);
        QFETCH(QString, statusBar);
        logOn();
        m_engine->OnStatusCommand(status);
        QCOMPARE(publishedStatuses(), QList<int>{status});
        QCOMPARE(m_display.statusBar, statusBar);
        QCOMPARE(m_display.statusLine, "Alice");
        QCOMPARE(m_display.chooser, status);
        QCOMPARE(m_display.checkedStatus, status);
        QCOMPARE(m_display.awayTimerRunning, status == RTCXS_PRESENCE_ONLINE);
    }

    void aManualStatusTurnsAwayOnlyAfterTheTimerIsArmedAgain()
    {
        logOn();
        m_engine->OnStatusCommand(RTCXS_PRESENCE_BUSY);
        QVERIFY(!m_display.awayTimerRunning);
        // Any activity re-arms the timer (the view does that); its expiry then sets Away.
        m_display.StartAwayTimer();
        m_engine->OnAwayTimer();
        QCOMPARE(publishedStatuses(), QList<int>({4, 2}));
    }

    void aStatusThatCannotBePublishedLeavesTheDisplayOnThePublishedOne()
    {
        logOn();
        m_engine->OnStatusCommand(RTCXS_PRESENCE_BUSY);
        m_client->setResult("Client.SetLocalPresenceInfo", RtcSipStatus(500));
        m_engine->OnStatusCommand(RTCXS_PRESENCE_OUT_TO_LUNCH);
        QCOMPARE(m_display.chooser, RTCXS_PRESENCE_BUSY);
        QCOMPARE(m_display.checkedStatus, RTCXS_PRESENCE_BUSY);
        QCOMPARE(m_display.statusBar, "Alice (Busy)");
    }

    void theTimerFiringWhileLoggedOffChangesNothing()
    {
        m_engine->OnAwayTimer();
        QVERIFY(publishedStatuses().isEmpty());
        QVERIFY(!m_display.awayTimerRunning);
        QCOMPARE(m_display.chooser, -1);
    }

    void closingGoesOfflineFirst()
    {
        logOn();
        m_client->log().clear();
        m_engine->OnClose();
        const QStringList ops = m_client->log().opsMatching("Client.");
        QCOMPARE(ops.value(0), "Client.SetLocalPresenceInfo");
        QCOMPARE(publishedStatuses(), QList<int>{0});
    }

    void theDisplayNameFallsBackToTheNumber()
    {
        m_profile->m_userName.clear();
        logOn();
        QString name;
        QCOMPARE(m_engine->GetLocalDisplayName(name), S_OK);
        QCOMPARE(name, "15551234567");
        QString uri;
        QCOMPARE(m_engine->GetLocalUserUri(uri), S_OK);
        QCOMPARE(uri, kUri);

        m_engine->LogOff();
        QVERIFY(FAILED(m_engine->GetLocalDisplayName(name)));
        m_client->m_localUserUri = "sip:local@host";
        QCOMPARE(m_engine->GetLocalUserUri(uri), S_OK);
        QCOMPARE(uri, "sip:local@host");
    }
};

QTEST_MAIN(TestLocalPresence)
#include "tst_local_presence.moc"
