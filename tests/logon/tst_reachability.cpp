// The service goes away and comes back having forgotten every registration: the
// phone notices, shows that it is not connected, and registers again by itself.
#include "PhoneOverService.h"

#include <QElapsedTimer>

namespace {
const CEndpoint::Account& kUser = CEndpoint::kAlice;
const CEndpoint::Account& kWatcher = CEndpoint::kBob;
constexpr int kOutageMs = 20000;
constexpr int kNoticeMs = 30000;
constexpr int kBackMs = 30000;
} // namespace

class TestReachability : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<CPhoneOverService> m_phone;

    bool showsNotConnected()
    {
        return m_phone->display().statusLine == QLatin1String("(Logging on...)") &&
               m_phone->display().menuEnabled.value(ID_LOG_OFF) && m_phone->engine().Profile();
    }

private slots:
    void init()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        m_phone = std::make_unique<CPhoneOverService>(m_home, *m_service, kUser, kUser.password);
        QVERIFY(m_phone->created());
        QVERIFY(m_phone->Allow(CSipService::Uri(kWatcher.number)));
        QVERIFY(m_phone->LogOn());
    }

    void cleanup()
    {
        m_phone.reset();
        m_service.reset();
    }

    void aServiceThatForgotThePhoneHasItBackWithItsStatus()
    {
        m_phone->engine().OnStatusCommand(RTCXS_PRESENCE_BUSY);
        QElapsedTimer outage;
        outage.start();
        m_service->Stop();
        QVERIFY(CPhoneOverService::WaitFor([this] { return showsNotConnected(); }, kNoticeMs));
        CEventQueue::Pump(int(std::max<qint64>(0, kOutageMs - outage.elapsed())));
        QVERIFY(messages().isEmpty());

        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        QVERIFY(CPhoneOverService::WaitFor([this] { return m_phone->Registered(); }, kBackMs));
        QCOMPARE(m_phone->display().chooser, int(RTCXS_PRESENCE_BUSY));

        // Someone who starts watching now sees the status the user chose.
        const QString folder = m_home.NewFolder(QStringLiteral("watcher"));
        CEndpoint watcher(folder);
        QVERIFY(watcher.Logon(*m_service, kWatcher));
        QVERIFY(watcher.EnablePresence(folder + QStringLiteral("/store.xml")));
        RtcBuddyPtr buddy;
        QCOMPARE(watcher.presence().AddBuddy(m_phone->userUri(), {}, {}, true, {}, 0, buddy), S_OK);
        QVERIFY(watcher.WaitBuddyStatus(m_phone->userUri(), RTCXS_PRESENCE_BUSY, CPhoneOverService::kSignallingMs));
        QVERIFY(watcher.ShutDown());
    }

    void logOffAndLogOnWorkWhileTheServiceIsGone()
    {
        m_service->Stop();
        QVERIFY(CPhoneOverService::WaitFor([this] { return showsNotConnected(); }, kNoticeMs));
        QCOMPARE(m_phone->engine().LogOff(), S_OK);
        QVERIFY(!m_phone->engine().Profile());
        QCOMPARE(m_phone->display().statusBar, QStringLiteral("Logged off"));
        QVERIFY(m_phone->display().menuEnabled.value(ID_LOG_ON));

        QVERIFY(m_phone->StartLogon());
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        QVERIFY(CPhoneOverService::WaitFor([this] { return m_phone->Registered(); }, kBackMs));
        QVERIFY(messages().isEmpty());
    }

private:
    const QStringList& messages() const { return m_phone->messages(); }
};

QTEST_MAIN(TestReachability)
#include "tst_reachability.moc"
