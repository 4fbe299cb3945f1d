// What a watcher sees of the user around each logon: the status the chooser shows,
// and with "Logon transparently" nothing but offline, ever.
#include "PhoneOverService.h"

#include "engine/PresenceStatus.h"

namespace {
const CEndpoint::Account& kUser = CEndpoint::kAlice;
const CEndpoint::Account& kWatcher = CEndpoint::kBob;
} // namespace

class TestLogonPresence : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<CPhoneOverService> m_phone;
    std::unique_ptr<CEndpoint> m_watcher;

    QString userUri() const { return CSipService::Uri(kUser.number); }

    // Every status the watcher holds for the user, in order: it updates it on each
    // NOTIFY, and this looks at it whenever the event loop runs.
    QTimer m_recorder;
    QList<int> m_seen;

    void record()
    {
        RtcBuddyPtr buddy;
        RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_OFFLINE;
        if (SUCCEEDED(m_watcher->presence().get_Buddy(userUri(), buddy)) && SUCCEEDED(buddy->get_Status(status)) &&
            (m_seen.isEmpty() || m_seen.last() != status))
            m_seen << status;
    }

    // Logs on and waits until the watcher sees the status.
    void logOnSeenAs(RTC_PRESENCE_STATUS status)
    {
        QVERIFY(m_phone->LogOn());
        QVERIFY(m_watcher->WaitBuddyStatus(userUri(), status, CPhoneOverService::kSignallingMs));
    }

    void logOffSeenOffline()
    {
        // At a person's pace: the watcher hears of a status before the phone has the
        // answer to its PUBLISH, and an un-PUBLISH sent meanwhile is refused (412).
        CEventQueue::Pump(1000);
        QCOMPARE(m_phone->engine().LogOff(), S_OK);
        QVERIFY(m_watcher->WaitBuddyStatus(userUri(), RTCXS_PRESENCE_OFFLINE, CPhoneOverService::kSignallingMs));
    }

private slots:
    // A service of its own for each test: it remembers publications and rules.
    void init()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        m_phone = std::make_unique<CPhoneOverService>(m_home, *m_service, kUser, kUser.password);
        QVERIFY(m_phone->created());
        QVERIFY(m_phone->Allow(CSipService::Uri(kWatcher.number)));

        const QString folder = m_home.NewFolder(QStringLiteral("watcher"));
        m_watcher = std::make_unique<CEndpoint>(folder);
        QVERIFY(m_watcher->Logon(*m_service, kWatcher));
        QVERIFY(m_watcher->EnablePresence(folder + QStringLiteral("/store.xml")));
        RtcBuddyPtr buddy;
        QCOMPARE(m_watcher->presence().AddBuddy(userUri(), {}, {}, true, {}, 0, buddy), S_OK);

        m_recorder.setInterval(5);
        connect(&m_recorder, &QTimer::timeout, this, &TestLogonPresence::record, Qt::UniqueConnection);
        m_recorder.start();

        // A first logon of this run puts the user's rules on the service.
        logOnSeenAs(RTCXS_PRESENCE_ONLINE);
    }

    void cleanup()
    {
        m_recorder.stop();
        m_phone.reset();
        if (m_watcher)
            m_watcher->ShutDown();
        m_watcher.reset();
        m_service.reset();
    }

    void aSecondLogonPublishesWhatTheChooserShows()
    {
        m_phone->engine().OnStatusCommand(RTCXS_PRESENCE_BUSY);
        QVERIFY(m_watcher->WaitBuddyStatus(userUri(), RTCXS_PRESENCE_BUSY, CPhoneOverService::kSignallingMs));
        logOffSeenOffline();
        if (QTest::currentTestFailed())
            return;

        logOnSeenAs(RTCXS_PRESENCE_ONLINE);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_phone->display().chooser, int(RTCXS_PRESENCE_ONLINE));
    }

    void loggingOnTransparentlyShowsWatchersOnlyOffline()
    {
        m_phone->engine().OnStatusCommand(RTCXS_PRESENCE_BUSY);
        QVERIFY(m_watcher->WaitBuddyStatus(userUri(), RTCXS_PRESENCE_BUSY, CPhoneOverService::kSignallingMs));
        logOffSeenOffline();
        if (QTest::currentTestFailed())
            return;
        CSettingsStore::WriteSetting(QLatin1String(kSettingLogonTransparently), QStringLiteral("1"));
        m_seen.clear();

        QVERIFY(m_phone->LogOn());
        QCOMPARE(m_phone->display().chooser, int(RTCXS_PRESENCE_OFFLINE));
        // Some seconds later the user chooses a status: every NOTIFY before it said offline.
        CEventQueue::Pump(7000);
        m_phone->engine().OnStatusCommand(RTCXS_PRESENCE_AWAY);
        QVERIFY(m_watcher->WaitBuddyStatus(userUri(), RTCXS_PRESENCE_AWAY, CPhoneOverService::kSignallingMs));
        record();
        QCOMPARE(m_seen, QList<int>({RTCXS_PRESENCE_OFFLINE, RTCXS_PRESENCE_AWAY}));
    }
};

QTEST_MAIN(TestLogonPresence)
#include "tst_logon_presence.moc"
