// The watchers windows and the "Incoming Watcher" prompt against the fake library:
// the lines and icons, the events, the menus, any number of windows, log off.
#include "engine/SettingsStore.h"
#include "presence/WatcherLine.h"
#include "presence/WatcherPrompt.h"
#include "presence/WatchersWindows.h"
#include "resources/ResourceIds.h"
#include "tests/fakes/EngineRig.h"
#include "tests/fakes/IsolatedHome.h"
#include "tests/fakes/ModalDriver.h"
#include "tests/fakes/PopupMenuPick.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace {
const QString kAnn = QStringLiteral("sip:15551230002@sip.orvalo.test");
const QString kBen = QStringLiteral("sip:9995550001@sip.orvalo.test");
const QString kServerUri = QStringLiteral("sip:presence@sip.orvalo.test");
} // namespace

class TestWatchersWindow : public QObject {
    Q_OBJECT

private:
    IsolatedHome m_home;
    std::unique_ptr<EngineRig> m_rig;
    std::unique_ptr<QWidget> m_mainView;
    std::unique_ptr<CWatchersWindows> m_windows;
    QString m_nextAddress; // what the Add Watcher prompt answers; empty: cancelled
    QStringList m_addressPrompts;

    CWatchersWnd* openWindow()
    {
        if (FAILED(m_rig->engine().OpenWatchersWindow()))
            return nullptr;
        CWatchersWnd* window = m_windows->Windows().constLast();
        QCoreApplication::sendPostedEvents(window, QEvent::MetaCall); // the list fills from the event loop
        return window;
    }
    static QStringList lines(const CWatchersWnd& window)
    {
        QStringList texts;
        for (int row = 0; row < window.List()->count(); ++row)
            texts << window.List()->item(row)->text();
        return texts;
    }
    // Clicks the watcher's item and picks the command from the menu that opens.
    static bool pickFromMenu(CWatchersWnd& window, const RtcWatcherPtr& watcher, Qt::MouseButton button, int command)
    {
        QListWidgetItem* item = window.ItemFor(watcher);
        return item && ClickAndPick(*window.List()->viewport(), window.List()->visualItemRect(item).center(), button,
                                    CWatchersWnd::kContextMenuId, command);
    }

private slots:
    void init()
    {
        QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear();
        CSettingsStore::WriteSetting(kSettingSipServerUri, kServerUri);
        m_rig = std::make_unique<EngineRig>();
        m_mainView = std::make_unique<QWidget>();
        m_rig->display().owner = m_mainView.get();
        m_nextAddress.clear();
        m_addressPrompts.clear();
        m_windows = std::make_unique<CWatchersWindows>(m_rig->engine(), *m_mainView,
                                                       [this](QWidget*, const QString& title, QString* address) {
                                                           m_addressPrompts << title;
                                                           if (m_nextAddress.isEmpty())
                                                               return E_FAIL;
                                                           *address = m_nextAddress;
                                                           return S_OK;
                                                       });
        m_rig->engine().SetWatchersView(m_windows.get());
        m_rig->logOn();
    }

    void cleanup()
    {
        m_rig.reset();
        m_windows.reset();
        m_mainView.reset();
    }

    void lineAndIconShowStateAndScope_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("scope");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("icon");
        QTest::newRow("offering") << "Ann" << 1 << 0 << "Ann (Offering) " << 0;
        QTest::newRow("allowed, domain") << "Ann" << 2 << 1 << "Ann (Allowed) (DOMAIN) " << 3;
        QTest::newRow("blocked, all") << "Ann" << 3 << 2 << "Ann (Blocked) (ALL) " << 5;
        QTest::newRow("denied") << "Ann" << 4 << 0 << "Ann (Denied) " << 6;
        QTest::newRow("prompt") << "Ann" << 5 << 0 << "Ann (Prompt) " << 4;
        QTest::newRow("unknown") << "Ann" << 0 << 0 << "Ann " << 3;
        QTest::newRow("placeholders in the name") << "%1 %2 <b>" << 2 << 0 << "%1 %2 <b> (Allowed) " << 3;
        QTest::newRow("long name cut") << QString(300, u'x') << 2 << 2 << QString(255, u'x') << 3;
        const QString pairAtTheCut = QString(254, u'x') + QStringLiteral("\U0001F600");
        QTest::newRow("never half a pair") << pairAtTheCut << 2 << 0 << QString(254, u'x') << 3;
    }

    void lineAndIconShowStateAndScope()
    {
        QFETCH(QString, name);
        QFETCH(int, state);
        QFETCH(int, scope);
        QFETCH(QString, line);
        QFETCH(int, icon);
        auto watcher = m_rig->client().addFakeWatcher(kAnn, name);
        watcher->m_state = static_cast<RTC_WATCHER_STATE>(state);
        watcher->m_scope = static_cast<RTC_ACE_SCOPE>(scope);
        CWatchersWnd* window = openWindow();
        QVERIFY(window);
        QCOMPARE(lines(*window), QStringList{line});
        QCOMPARE(WatcherIcon(watcher->m_state), icon);
        const QImage shown = window->List()->item(0)->icon().pixmap(16).toImage();
        QCOMPARE(shown, Resources::StatusIcon(icon).pixmap(16).toImage());
    }

    void listIsFilledSortedAndKeepsItsWatchers()
    {
        auto ann = m_rig->client().addFakeWatcher(kAnn, "Ann");
        auto nameless = m_rig->client().addFakeWatcher(kBen, "");
        nameless->m_nameStatus = RTC_E_NO_DISPLAY_NAME;
        auto server = m_rig->client().addFakeWatcher(kServerUri, "Presence");
        auto nobody = m_rig->client().addFakeWatcher("", "");
        for (const auto& watcher : {ann, nameless, server, nobody})
            watcher->m_state = RTCWS_ALLOWED;
        CWatchersWnd* window = openWindow();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), "Orvalo Phone Watchers");
        QCOMPARE(window->size(), QSize(250, 300));
        QCOMPARE(window->parentWidget(), m_mainView.get());
        QCOMPARE(lines(*window), QStringList({"Ann (Allowed) ", kBen + " (Allowed) "}));
        QVERIFY(ann->m_persistent && nameless->m_persistent);
        QVERIFY(!server->m_persistent);
        QVERIFY(!window->ItemFor(server));
    }

    void eventsChangeTheListAsTheTableSays_data()
    {
        QTest::addColumn<bool>("listedBefore");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("listedAfter");
        QTest::newRow("add") << false << 0 << int(S_OK) << true;
        QTest::newRow("add failed") << true << 0 << int(E_FAIL) << false;
        QTest::newRow("remove") << true << 1 << int(S_OK) << false;
        QTest::newRow("remove failed") << false << 1 << int(E_FAIL) << true;
        QTest::newRow("update") << false << 2 << int(E_FAIL) << true;
        QTest::newRow("offering") << false << 3 << int(S_OK) << false;
        QTest::newRow("offering, listed") << true << 3 << int(S_OK) << true;
        QTest::newRow("roamed") << false << 4 << int(S_OK) << false;
    }

    // Every open window follows the library's events.
    void eventsChangeTheListAsTheTableSays()
    {
        QFETCH(bool, listedBefore);
        QFETCH(int, type);
        QFETCH(int, status);
        QFETCH(bool, listedAfter);
        CWatchersWnd* first = openWindow();
        CWatchersWnd* second = openWindow();
        QVERIFY(first && second && first != second);
        auto ann = m_rig->client().addFakeWatcher(kAnn, "Ann");
        ann->m_state = RTCWS_ALLOWED;
        if (listedBefore) {
            for (CWatchersWnd* window : {first, second})
                QCOMPARE(window->ShowWatcher(ann), S_OK);
        }
        m_windows->OnWatcherEvent(ann, static_cast<RTC_WATCHER_EVENT_TYPE>(type), static_cast<HRESULT>(status));
        for (CWatchersWnd* window : {first, second})
            QCOMPARE(window->ItemFor(ann) != nullptr, listedAfter);
    }

    void clickOnAWatcherOpensTheMenuOfDecisions_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("state");
        QTest::newRow("left click, allow") << int(Qt::LeftButton) << 40029 << int(RTCWS_ALLOWED);
        QTest::newRow("right click, block") << int(Qt::RightButton) << 40030 << int(RTCWS_BLOCKED);
        QTest::newRow("deny") << int(Qt::LeftButton) << 40031 << int(RTCWS_DENIED);
        QTest::newRow("prompt") << int(Qt::RightButton) << 40032 << int(RTCWS_PROMPT);
    }

    void clickOnAWatcherOpensTheMenuOfDecisions()
    {
        QFETCH(int, button);
        QFETCH(int, command);
        QFETCH(int, state);
        auto ann = m_rig->client().addFakeWatcher(kAnn, "Ann");
        ann->m_state = RTCWS_OFFERING;
        CWatchersWnd* window = openWindow();
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QVERIFY(pickFromMenu(*window, ann, static_cast<Qt::MouseButton>(button), command));
        QCOMPARE(int(ann->m_state), state);
        // The line waits for the library's update.
        QCOMPARE(lines(*window), QStringList{"Ann (Offering) "});
        m_rig->deliver(RTCE_WATCHER, FakeEvents::watcher(ann, RTCWET_WATCHER_UPDATE));
        QCOMPARE(lines(*window), QStringList{WatcherLineText("Ann", ann->m_state, RTCAS_SCOPE_USER)});
    }

    void removeTakesTheWatcherOutOfLibraryAndList()
    {
        auto ann = m_rig->client().addFakeWatcher(kAnn, "Ann");
        CWatchersWnd* window = openWindow();
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        m_rig->client().setResultOfCall("Client.RemoveWatcher", 1, E_FAIL);
        QVERIFY(pickFromMenu(*window, ann, Qt::RightButton, CWatchersWnd::kRemoveCommand));
        QVERIFY(window->ItemFor(ann));
        QVERIFY(pickFromMenu(*window, ann, Qt::LeftButton, CWatchersWnd::kRemoveCommand));
        QVERIFY(!window->ItemFor(ann));
        QVERIFY(m_rig->client().m_watchers.empty());
    }

    void addWatcherAllowsTheAddressTyped()
    {
        CWatchersWnd* window = openWindow();
        QVERIFY(window);
        window->OnCommand(CWatchersWnd::kAddWatcherCommand);
        QCOMPARE(m_addressPrompts, QStringList{"Add Watcher"});
        QCOMPARE(m_rig->log().count("Client.AddWatcherEx"), 0);

        m_nextAddress = kAnn;
        window->OnCommand(CWatchersWnd::kAddWatcherCommand);
        const FakeCall* call = m_rig->log().last("Client.AddWatcherEx");
        QVERIFY(call);
        QCOMPARE(call->args.mid(0, 6), QVariantList({kAnn, QString(), QString(), int(RTCWS_ALLOWED), true, 0}));
        QCOMPARE(lines(*window), QStringList{kAnn + " (Allowed) "});
    }

    void exitAndLogOffCloseTheWindows()
    {
        QPointer<CWatchersWnd> first = openWindow();
        QPointer<CWatchersWnd> second = openWindow();
        QPointer<CWatchersWnd> third = openWindow();
        first->OnCommand(CWatchersWnd::kExitCommand);
        QTRY_VERIFY(!first);
        QCOMPARE(m_windows->Windows().size(), 2);
        m_rig->engine().LogOff();
        QTRY_VERIFY(!second && !third);
        QVERIFY(m_windows->Windows().isEmpty());
    }

    void promptShowsTheWatcherAndReturnsTheAnswer_data()
    {
        QTest::addColumn<int>("button"); // 0: Escape
        QTest::addColumn<bool>("untick");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<bool>("allow");
        QTest::addColumn<bool>("addAsBuddy");
        QTest::newRow("allow") << CWatcherPrompt::kAllowId << false << true << true << true;
        QTest::newRow("block, box ticked") << CWatcherPrompt::kBlockId << false << true << false << true;
        QTest::newRow("allow, box unticked") << CWatcherPrompt::kAllowId << true << true << true << false;
        QTest::newRow("escape") << 0 << false << false << false << false;
    }

    void promptShowsTheWatcherAndReturnsTheAnswer()
    {
        QFETCH(int, button);
        QFETCH(bool, untick);
        QFETCH(bool, answered);
        QFETCH(bool, allow);
        QFETCH(bool, addAsBuddy);
        const QString hostileName = QStringLiteral("<b>Ann</b>") + QString(400, u'n');
        QStringList shown;
        bool allowIsDefault = false;
        bool boxTicked = false;
        CModalDriver driver;
        driver.WhenOpen<CWatcherPrompt>([&](CWatcherPrompt& prompt) {
            QCOMPARE(prompt.windowTitle(), "Incoming Watcher");
            for (int id : {CWatcherPrompt::kNameId, CWatcherPrompt::kUriId}) {
                auto* label = prompt.findChild<QLabel*>(QString::number(id));
                shown << (label && label->textFormat() == Qt::PlainText ? label->text() : QString());
            }
            auto* box = prompt.findChild<QCheckBox*>(QString::number(CWatcherPrompt::kAddAsBuddyId));
            auto* allowButton = prompt.findChild<QPushButton*>(QString::number(CWatcherPrompt::kAllowId));
            allowIsDefault = allowButton && allowButton->isDefault();
            boxTicked = box && box->isChecked();
            if (box && untick)
                box->setChecked(false);
            if (button)
                prompt.findChild<QPushButton*>(QString::number(button))->click();
            else
                QTest::keyClick(&prompt, Qt::Key_Escape);
        });
        const std::optional<SWatcherAnswer> answer = m_windows->PromptForWatcher(hostileName, kAnn);
        QVERIFY(driver.Acted());
        QCOMPARE(shown, QStringList({hostileName.left(255), "15551230002"}));
        QVERIFY(allowIsDefault && boxTicked);
        QCOMPARE(answer.has_value(), answered);
        if (answer) {
            QCOMPARE(answer->allow, allow);
            QCOMPARE(answer->addAsBuddy, addAsBuddy);
        }
    }
};

QTEST_MAIN(TestWatchersWindow)
#include "tst_watchers_window.moc"
