// The user's own presence: enabling it, publishing a status, and the automatic Away.
#include "engine/ClientEngine.h"
#include "engine/PresenceStatus.h"
#include "engine/SettingsStore.h"
#include "tests/fakes/EngineRig.h"
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
    std::unique_ptr<EngineRig> m_rig;

    void logOn() { m_rig->logOn(); }
    QList<int> publishedStatuses() const
    {
        QList<int> statuses;
        for (const FakeCall& call : m_rig->client().log().calls())
            if (call.op == "Client.SetLocalPresenceInfo")
                statuses << call.args.value(0).toInt();
        return statuses;
    }

private slots:
    void init()
    {
        QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear();
        m_rig = std::make_unique<EngineRig>(kUri);
    }

    void cleanup() { m_rig.reset(); }

    void enablingTwiceDoesNothingTheSecondTime()
    {
        logOn();
        m_rig->client().log().clear();
        QCOMPARE(m_rig->engine().SetPresenceEnabled(true), S_FALSE);
        QVERIFY(m_rig->client().log().calls().empty());
    }

    void theStoreIsNamedAfterTheNumberInTheDataFolder()
    {
        logOn();
        const FakeCall* call = m_rig->client().log().last("Client.EnablePresenceEx");
        QVERIFY(call);
        const QString expected =
            QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath("15551234567.xml");
        QCOMPARE(call->args.value(1).toString(), expected);
        QCOMPARE(call->args.value(2).toInt(), 0);
        // The device name others see is this computer's.
        QCOMPARE(m_rig->client().m_presenceProperties[RTCPP_DEVICE_NAME], QSysInfo::machineHostName());
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
        // Before the profile is enabled, and again once registered.
        QCOMPARE(publishedStatuses(), QList<int>({0, 0}));
        QCOMPARE(m_rig->display().chooser, 0);
        QCOMPARE(m_rig->display().checkedStatus, 0);
        QCOMPARE(m_rig->display().statusBar, "Alice (Invisible)");
        // Invisible never turns into Away.
        QVERIFY(!m_rig->display().awayTimerRunning);
        QCOMPARE(m_rig->display().awayTimerStarts, 0);
        m_rig->engine().OnAwayTimer();
        QCOMPARE(publishedStatuses(), QList<int>({0, 0}));
    }

    void onlineTurnsAwayWhenTheTimerFires()
    {
        logOn();
        m_rig->client().log().clear();
        m_rig->engine().OnStatusCommand(RTCXS_PRESENCE_ONLINE);
        QVERIFY(m_rig->display().awayTimerRunning);
        m_rig->engine().OnAwayTimer();
        QCOMPARE(publishedStatuses(), QList<int>({1, 2}));
        QCOMPARE(m_rig->display().chooser, 2);
        QCOMPARE(m_rig->display().statusBar, "Alice (Away)");
        QVERIFY(!m_rig->display().awayTimerRunning);
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
        m_rig->client().log().clear();
        m_rig->engine().OnStatusCommand(status);
        QCOMPARE(publishedStatuses(), QList<int>{status});
        QCOMPARE(m_rig->display().statusBar, statusBar);
        QCOMPARE(m_rig->display().statusLine, "Alice");
        QCOMPARE(m_rig->display().chooser, status);
        QCOMPARE(m_rig->display().checkedStatus, status);
        QCOMPARE(m_rig->display().awayTimerRunning, status == RTCXS_PRESENCE_ONLINE);
    }

    void aManualStatusTurnsAwayOnlyAfterTheTimerIsArmedAgain()
    {
        logOn();
        m_rig->client().log().clear();
        m_rig->engine().OnStatusCommand(RTCXS_PRESENCE_BUSY);
        QVERIFY(!m_rig->display().awayTimerRunning);
        // Any activity re-arms the timer (the view does that); its expiry then sets Away.
        m_rig->display().StartAwayTimer();
        m_rig->engine().OnAwayTimer();
        QCOMPARE(publishedStatuses(), QList<int>({4, 2}));
    }

    void aStatusThatCannotBePublishedLeavesTheDisplayOnThePublishedOne()
    {
        logOn();
        m_rig->engine().OnStatusCommand(RTCXS_PRESENCE_BUSY);
        m_rig->client().setResult("Client.SetLocalPresenceInfo", RtcSipStatus(500));
        m_rig->engine().OnStatusCommand(RTCXS_PRESENCE_OUT_TO_LUNCH);
        QCOMPARE(m_rig->display().chooser, RTCXS_PRESENCE_BUSY);
        QCOMPARE(m_rig->display().checkedStatus, RTCXS_PRESENCE_BUSY);
        QCOMPARE(m_rig->display().statusBar, "Alice (Busy)");
    }

    void theTimerFiringWhileLoggedOffChangesNothing()
    {
        m_rig->engine().OnAwayTimer();
        QVERIFY(publishedStatuses().isEmpty());
        QVERIFY(!m_rig->display().awayTimerRunning);
        QCOMPARE(m_rig->display().chooser, -1);
    }

    void closingGoesOfflineFirst()
    {
        logOn();
        m_rig->client().log().clear();
        m_rig->engine().OnClose();
        const QStringList ops = m_rig->client().log().opsMatching("Client.");
        QCOMPARE(ops.value(0), "Client.SetLocalPresenceInfo");
        QCOMPARE(publishedStatuses(), QList<int>{0});
    }

    void theDisplayNameFallsBackToTheNumber()
    {
        m_rig->profile()->m_userName.clear();
        logOn();
        QString name;
        QCOMPARE(m_rig->engine().GetLocalDisplayName(name), S_OK);
        QCOMPARE(name, "15551234567");
        QString uri;
        QCOMPARE(m_rig->engine().GetLocalUserUri(uri), S_OK);
        QCOMPARE(uri, kUri);

        m_rig->engine().LogOff();
        QVERIFY(FAILED(m_rig->engine().GetLocalDisplayName(name)));
        m_rig->client().m_localUserUri = "sip:local@host";
        QCOMPARE(m_rig->engine().GetLocalUserUri(uri), S_OK);
        QCOMPARE(uri, "sip:local@host");
    }
};

QTEST_MAIN(TestLocalPresence)
#include "tst_local_presence.moc"
