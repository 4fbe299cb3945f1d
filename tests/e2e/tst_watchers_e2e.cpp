// Who may watch the user, with the whole phone offscreen against the local
// service: a second account asks to watch, the user answers the prompt, then
// changes the decision in the watchers window; the decisions hold after the
// phone restarts.
#include "WholePhone.h"
#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include "engine/ClientEngine.h"
#include "engine/PresenceStatus.h"
#include "engine/ProcessGlobals.h"
#include "engine/ServiceConfig.h"
#include "platform/linphone/LinphoneClientFactory.h"
#include "presence/WatcherPrompt.h"
#include "presence/WatchersWindows.h"
#include "shell/LogonDialog.h"
#include "shell/MainFrame.h"
#include "shell/MainMenu.h"
#include "shell/OrvaloPhoneApp.h"
#include "shell/OrvaloPhoneView.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/ModalDriver.h"
#include "tests/fakes/PopupMenuPick.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {
constexpr int kSignallingMs = 15000;
// Time given to a watcher to show anything it was wrongly sent.
constexpr int kQuietMs = 1500;
constexpr int kAttempts = 5;

const CEndpoint::Account& kPhone = CEndpoint::kAlice;
const CEndpoint::Account& kWatcher = CEndpoint::kBob;
} // namespace

class TestWatchersEndToEnd : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    MessageCapture m_messages;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<COrvaloPhoneApp> m_app;
    std::unique_ptr<CEndpoint> m_bob;
    CModalDriver m_modal;
    LinphoneClientOptions m_phoneOptions;
    QString m_phoneUri;
    QString m_bobUri;

    COrvaloPhoneView& view() { return *m_app->Frame()->View(); }

    void startPhone()
    {
        g_closing = false;
        m_app = std::make_unique<COrvaloPhoneApp>(
            [options = m_phoneOptions](RtcClientPtr& client) { return CreateLinphoneRtcClient(options, client); });
        FillInLogonWhenAsked(m_modal, kPhone, kSignallingMs);
        QVERIFY(m_app->InitInstance());
        QTRY_VERIFY_WITH_TIMEOUT(m_modal.Acted(), kSignallingMs);
        QTRY_VERIFY2_WITH_TIMEOUT(m_app->Frame()->StatusPane()->text().endsWith(QStringLiteral("(Online)")),
                                  qPrintable(m_app->Frame()->StatusPane()->text() + m_messages.texts.join(u'|')),
                                  kSignallingMs);
    }

    void stopPhone() { QVERIFY(ExitPhone(m_app, kSignallingMs)); }

    // Bob asks the service again for the phone's presence.
    bool bobSubscribesAgain()
    {
        RtcBuddyPtr buddy;
        return SUCCEEDED(m_bob->presence().get_Buddy(m_phoneUri, buddy)) && SUCCEEDED(buddy->Refresh());
    }
    // Whether Bob, given time to show anything he was sent, still sees the phone offline.
    bool bobStillSeesOffline()
    {
        CEventQueue::Pump(kQuietMs);
        RtcBuddyPtr buddy;
        RTC_PRESENCE_STATUS seen = RTCXS_PRESENCE_ONLINE;
        return SUCCEEDED(m_bob->presence().get_Buddy(m_phoneUri, buddy)) && SUCCEEDED(buddy->get_Status(seen)) &&
               seen == RTCXS_PRESENCE_OFFLINE;
    }
    void setPhoneStatus(RTC_PRESENCE_STATUS status)
    {
        m_app->Frame()->Menu()->Action(StatusCommandFor(status))->trigger();
    }

    RtcWatcherPtr bobAsWatcher()
    {
        RtcWatcherPtr watcher;
        g_pClientEngine->Client()->presence()->get_Watcher(m_bobUri, watcher);
        return watcher;
    }
    CWatchersWnd* openWatchersWindow()
    {
        m_app->Frame()->Menu()->Action(ID_WATCHERS)->trigger();
        const QList<CWatchersWnd*> windows = view().WatchersWindows()->Windows();
        if (windows.isEmpty() || !QTest::qWaitForWindowExposed(windows.last()))
            return nullptr;
        return windows.last();
    }
    // The watcher's line in the window once it appears; empty if it never does.
    static QString lineOf(CWatchersWnd& window, const RtcWatcherPtr& watcher)
    {
        if (!QTest::qWaitFor([&] { return window.ItemFor(watcher) != nullptr; }, kSignallingMs))
            return QString();
        return window.ItemFor(watcher)->text();
    }
    bool decide(CWatchersWnd& window, const RtcWatcherPtr& watcher, Qt::MouseButton button, int command)
    {
        QListWidgetItem* item = window.ItemFor(watcher);
        return item && ClickAndPick(*window.List()->viewport(), window.List()->visualItemRect(item).center(), button,
                                    CWatchersWnd::kContextMenuId, command);
    }
    // Answers the next "Incoming Watcher" prompt; `shownNumber` gets the number it showed.
    void answerPrompt(int button, bool addAsBuddy, QString* shownNumber = nullptr)
    {
        m_modal.WhenOpen<CWatcherPrompt>(
            [=](CWatcherPrompt& prompt) {
                if (shownNumber)
                    *shownNumber = prompt.findChild<QLabel*>(QString::number(CWatcherPrompt::kUriId))->text();
                prompt.findChild<QCheckBox*>(QString::number(CWatcherPrompt::kAddAsBuddyId))->setChecked(addAsBuddy);
                prompt.findChild<QPushButton*>(QString::number(button))->click();
            },
            kSignallingMs);
    }

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        m_phoneUri = CSipService::Uri(kPhone.number);
        m_bobUri = CSipService::Uri(kWatcher.number);
        ServiceConfig service = ServiceConfig::current();
        service.sipServer = m_service->server();
        service.sipDomain = QString::fromLatin1(CSipService::kDomain);
        ServiceConfig::setCurrent(service);
        m_phoneOptions.dataDir = m_home.NewFolder(QStringLiteral("phone"));
        m_phoneOptions.filesOnly = true;
        // For diagnosing a failing run: ORVALO_TEST_TRACE_DIR collects the phone's SIP trace.
        if (const QString traces = qEnvironmentVariable("ORVALO_TEST_TRACE_DIR"); !traces.isEmpty())
            m_phoneOptions.sipTraceFile = QDir(traces).filePath(QStringLiteral("phone.log"));
        startPhone();

        const QString bob = m_home.NewFolder(QStringLiteral("bob"));
        m_bob = std::make_unique<CEndpoint>(bob);
        QVERIFY(m_bob->Logon(*m_service, kWatcher));
        QVERIFY(m_bob->EnablePresence(bob + QStringLiteral("/store.xml")));
    }

    void cleanupTestCase()
    {
        stopPhone();
        if (m_bob)
            m_bob->ShutDown();
        m_bob.reset();
        m_service.reset();
    }

    void blockedWatcherSeesTheUserOffline()
    {
        QString shownNumber;
        answerPrompt(CWatcherPrompt::kBlockId, true, &shownNumber);
        RtcBuddyPtr buddy;
        QCOMPARE(m_bob->presence().AddBuddy(m_phoneUri, {}, {}, true, {}, 0, buddy), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(m_modal.Acted(), kSignallingMs);
        QCOMPARE(shownNumber, kWatcher.number);
        // Blocked, and still added as a buddy as the box said.
        RtcBuddyPtr added;
        QTRY_VERIFY_WITH_TIMEOUT(SUCCEEDED(g_pClientEngine->Client()->presence()->get_Buddy(m_bobUri, added)),
                                 kSignallingMs);
        setPhoneStatus(RTCXS_PRESENCE_BUSY);
        QVERIFY(bobStillSeesOffline());
    }

    void allowedInTheWindowTheWatcherSeesTheStatus()
    {
        CWatchersWnd* window = openWatchersWindow();
        QVERIFY(window);
        const RtcWatcherPtr bob = bobAsWatcher();
        QVERIFY(bob);
        QVERIFY2(lineOf(*window, bob).contains(QStringLiteral("(Blocked)")), qPrintable(lineOf(*window, bob)));
        QVERIFY(decide(*window, bob, Qt::LeftButton, CWatchersWnd::kAllowCommand));
        QVERIFY(m_bob->WaitBuddyStatus(m_phoneUri, RTCXS_PRESENCE_BUSY, kSignallingMs));
        QTRY_VERIFY(lineOf(*window, bob).contains(QStringLiteral("(Allowed)")));
    }

    void deniedWatcherReceivesNothingFurther()
    {
        CWatchersWnd* window = view().WatchersWindows()->Windows().last();
        const RtcWatcherPtr bob = bobAsWatcher();
        QVERIFY(decide(*window, bob, Qt::RightButton, CWatchersWnd::kDenyCommand));
        QVERIFY(m_bob->WaitBuddyStatus(m_phoneUri, RTCXS_PRESENCE_OFFLINE, kSignallingMs));
        setPhoneStatus(RTCXS_PRESENCE_AWAY);
        QVERIFY(bobStillSeesOffline());
        QTRY_VERIFY(lineOf(*window, bob).contains(QStringLiteral("(Denied)")));
    }

    void removedWatcherIsAskedAgain()
    {
        CWatchersWnd* window = view().WatchersWindows()->Windows().last();
        const RtcWatcherPtr bob = bobAsWatcher();
        QVERIFY(decide(*window, bob, Qt::LeftButton, CWatchersWnd::kRemoveCommand));
        QVERIFY(!window->ItemFor(bob));

        // The service learns of the removal a moment later; until then it still refuses Bob.
        answerPrompt(CWatcherPrompt::kAllowId, false);
        for (int attempt = 0; attempt < kAttempts && !m_modal.Acted(); ++attempt) {
            QVERIFY(bobSubscribesAgain());
            if (QTest::qWaitFor([this] { return m_modal.Acted(); }, kQuietMs))
                break;
        }
        QVERIFY(m_modal.Acted());
        QVERIFY(m_bob->WaitBuddyStatus(m_phoneUri, RTCXS_PRESENCE_AWAY, kSignallingMs));
    }

    void decisionsSurviveARestartWithoutAnotherPrompt()
    {
        stopPhone();
        startPhone();
        bool prompted = false;
        m_modal.WhenOpen<CWatcherPrompt>([&prompted](CWatcherPrompt& prompt) {
            prompted = true;
            prompt.reject();
        });
        QVERIFY(bobSubscribesAgain());
        setPhoneStatus(RTCXS_PRESENCE_ON_THE_PHONE);
        QVERIFY(m_bob->WaitBuddyStatus(m_phoneUri, RTCXS_PRESENCE_ON_THE_PHONE, kSignallingMs));
        CEventQueue::Pump(kQuietMs);
        QVERIFY(!prompted);

        CWatchersWnd* window = openWatchersWindow();
        QVERIFY(window);
        const RtcWatcherPtr bob = bobAsWatcher();
        QVERIFY(bob);
        QVERIFY2(lineOf(*window, bob).contains(QStringLiteral("(Allowed)")), qPrintable(lineOf(*window, bob)));
    }
};

QTEST_MAIN(TestWatchersEndToEnd)
#include "tst_watchers_e2e.moc"
