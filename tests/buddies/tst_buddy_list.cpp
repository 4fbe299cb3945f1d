// The buddy list over the fake library: buddy events, lines and icons, groups and
// devices, dragging buddies onto groups, the two right-click menus and the profile
// box, shown in the real tree of the real buddy page.
#include "presence/BuddyMenus.h"
#include "presence/BuddyTreeCtrl.h"
#include "resources/ResourceIds.h"
#include "shell/AddressPrompt.h"
#include "shell/BuddyListPage.h"
#include "tests/fakes/EngineRig.h"
#include "tests/fakes/IsolatedHome.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/ModalDriver.h"

#include <QLineEdit>
#include <QMenu>
#include <QtTest>

namespace {
const QString kBob = QStringLiteral("sip:15551230002@sip.orvalo.test");
const QString kCarol = QStringLiteral("sip:9995550001@sip.orvalo.test");

struct SMenuState {
    QStringList enabled;
    QStringList greyed;
};
} // namespace

class TestBuddyList : public QObject {
    Q_OBJECT

private:
    IsolatedHome m_home;
    std::unique_ptr<EngineRig> m_rig;
    std::unique_ptr<CBuddyListPage> m_page;

    FakeRtcClient& client() { return m_rig->client(); }
    CBuddyTreeCtrl& tree() { return *m_page->Tree(); }
    QWidget* viewport() { return tree().viewport(); }

    void deliver(const RtcBuddyPtr& buddy, RTC_BUDDY_EVENT_TYPE type, HRESULT code = S_OK)
    {
        m_rig->deliver(RTCE_BUDDY, FakeEvents::buddy(buddy, type, code));
    }
    // Where a user would point at the row's label.
    QPoint labelOf(QTreeWidgetItem* item)
    {
        const QRect row = tree().visualItemRect(item);
        return QPoint(row.left() + 24, row.center().y());
    }
    CBuddyTreeItem* topItem(const QString& text)
    {
        for (int i = 0; i < tree().topLevelItemCount(); ++i)
            if (tree().topLevelItem(i)->text(0) == text)
                return CBuddyTreeCtrl::ItemOf(tree().topLevelItem(i));
        return nullptr;
    }
    // "group/line" for every buddy row, in tree order.
    QStringList rows()
    {
        QStringList shown;
        for (int i = 0; i < tree().topLevelItemCount(); ++i) {
            QTreeWidgetItem* group = tree().topLevelItem(i);
            for (int row = 0; row < group->childCount(); ++row)
                shown << group->text(0) + u'/' + group->child(row)->text(0);
        }
        return shown;
    }
    void drag(QTreeWidgetItem* from, const QPoint& to)
    {
        const QPoint start = labelOf(from);
        QTest::mousePress(viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(viewport(), start + QPoint(0, QApplication::startDragDistance() + 1));
        QVERIFY(tree().IsDragging());
        QTest::mouseMove(viewport(), to);
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, to);
        QVERIFY(!tree().IsDragging());
    }
    // Right-clicks the row; the chooser sees the menu and picks the command (0: none).
    SMenuState rightClick(QTreeWidgetItem* item, int command = 0)
    {
        SMenuState state;
        CBuddyMenus::SetChooser([&state, command](QMenu& menu, const QPoint&) -> QAction* {
            QAction* chosen = nullptr;
            for (QAction* action : menu.actions()) {
                (action->isEnabled() ? state.enabled : state.greyed) << action->text();
                if (action->data().toInt() == command)
                    chosen = action;
            }
            return chosen;
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, labelOf(item), viewport()->mapToGlobal(labelOf(item)));
        QCoreApplication::sendEvent(viewport(), &event);
        CBuddyMenus::SetChooser(nullptr);
        return state;
    }
    // Alice's library: Bob in "Work" and "Friends" (enumerated last), Carol in none.
    void twoGroupsAndTwoBuddies()
    {
        auto work = client().addFakeGroup("Work");
        auto friends = client().addFakeGroup("Friends");
        auto bob = client().addFakeBuddy(kBob, "Bob");
        bob->m_properties[RTCPP_DISPLAYNAME] = "Bob";
        client().addFakeBuddy(kCarol, "", RTCXS_PRESENCE_OFFLINE);
        work->m_buddies.push_back(bob);
        friends->m_buddies.push_back(bob);
    }

private slots:
    void init()
    {
        m_rig = std::make_unique<EngineRig>();
        m_page = std::make_unique<CBuddyListPage>();
        m_page->resize(290, 360);
        m_page->SetEngine(&m_rig->engine());
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    }

    void cleanup()
    {
        m_page.reset();
        m_rig.reset();
    }

    void everyBuddyEventOfTheTable_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<bool>("shownBefore");
        QTest::addColumn<bool>("shownAfter");
        QTest::newRow("add failed") << int(RTCBET_BUDDY_ADD) << true << true << false;
        QTest::newRow("add") << int(RTCBET_BUDDY_ADD) << false << false << true;
        QTest::newRow("remove failed") << int(RTCBET_BUDDY_REMOVE) << true << false << true;
        QTest::newRow("remove") << int(RTCBET_BUDDY_REMOVE) << false << true << false;
        QTest::newRow("update") << int(RTCBET_BUDDY_UPDATE) << false << false << true;
        QTest::newRow("state change") << int(RTCBET_BUDDY_STATE_CHANGE) << true << false << true;
        QTest::newRow("subscribed failed") << int(RTCBET_BUDDY_SUBSCRIBED) << true << false << true;
        QTest::newRow("subscribed") << int(RTCBET_BUDDY_SUBSCRIBED) << false << false << false;
        QTest::newRow("roamed") << int(RTCBET_BUDDY_ROAMED) << false << false << false;
        QTest::newRow("roamed, shown") << int(RTCBET_BUDDY_ROAMED) << false << true << true;
    }

    void everyBuddyEventOfTheTable()
    {
        QFETCH(int, type);
        QFETCH(bool, failed);
        QFETCH(bool, shownBefore);
        QFETCH(bool, shownAfter);
        auto bob = client().addFakeBuddy(kBob, "Bob");
        if (shownBefore)
            QCOMPARE(m_rig->engine().ShowBuddy(bob, nullptr), S_OK);
        deliver(bob, RTC_BUDDY_EVENT_TYPE(type), failed ? E_FAIL : S_OK);
        QCOMPARE(tree().FindBuddyItem(bob) != nullptr, shownAfter);
        QCOMPARE(rows().size(), shownAfter ? 1 : 0);
    }

    void aBuddyLineAndIconFollowItsStatusAndName_data()
    {
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("icon");
        QTest::newRow("offline") << "Bob" << 0 << "Bob (Offline)" << 5;
        QTest::newRow("online") << "Bob" << 1 << "Bob (Online)" << 3;
        QTest::newRow("away") << "Bob" << 2 << "Bob (Away)" << 4;
        QTest::newRow("idle") << "Bob" << 3 << "Bob (Idle)" << 2;
        QTest::newRow("busy") << "Bob" << 4 << "Bob (Busy)" << 6;
        QTest::newRow("be right back") << "Bob" << 5 << "Bob (Be right back)" << 4;
        QTest::newRow("on the phone") << "Bob" << 6 << "Bob (On the phone)" << 1;
        QTest::newRow("out to lunch") << "Bob" << 7 << "Bob (Out to lunch)" << 0;
        QTest::newRow("no display name: the number") << "" << 1 << "15551230002 (Online)" << 3;
        QTest::newRow("address as name") << "sip:9995551234@sip.orvalo.test" << 1 << "9995551234 (Online)" << 3;
        QTest::newRow("markup stays text") << "<b>Bob</b>" << 1 << "<b>Bob</b> (Online)" << 3;
        QTest::newRow("control characters") << "Bob\nSmith\r\tX" << 1 << "Bob Smith  X (Online)" << 3;
        QTest::newRow("long name cut") << QString(300, u'x') << 1 << QString(255, u'x') << 3;
    }

    void aBuddyLineAndIconFollowItsStatusAndName()
    {
        QFETCH(QString, displayName);
        QFETCH(int, status);
        QFETCH(QString, line);
        QFETCH(int, icon);
        auto bob = client().addFakeBuddy(kBob, "Bob", RTC_PRESENCE_STATUS(status));
        if (!displayName.isEmpty())
            bob->m_properties[RTCPP_DISPLAYNAME] = displayName;
        deliver(bob, RTCBET_BUDDY_ADD);
        CBuddyTreeItem* item = tree().FindBuddyItem(bob);
        QVERIFY(item);
        QCOMPARE(item->m_icon, int(Resources::kIconOffline)); // a new row waits for its first update
        deliver(bob, RTCBET_BUDDY_STATE_CHANGE);
        QCOMPARE(item->text(0), line);
        QCOMPARE(item->m_icon, icon);
        QCOMPARE(tree().visualItemRect(item).height(), tree().visualItemRect(tree().BuddiesRoot()).height());
    }

    void aBuddyWithoutNameOrAddressIsNotShown()
    {
        auto nobody = client().addFakeBuddy(QString(), QString());
        deliver(nobody, RTCBET_BUDDY_UPDATE);
        QVERIFY(rows().isEmpty());
    }

    void aBuddyInTwoGroupsIsShownOnceUnderTheLast()
    {
        twoGroupsAndTwoBuddies();
        m_rig->engine().RebuildBuddyList();
        const QStringList shown{"Buddies/9995550001 (Offline)", "Friends/Bob (Online)"};
        QCOMPARE(rows(), shown);
        QVERIFY(topItem("Friends")->isExpanded());
        // A second rebuild shows the same rows again, not twice.
        m_rig->engine().RebuildBuddyList();
        QCOMPARE(rows(), shown);
    }

    void devicesAreListedByTextUnderTheirBuddy()
    {
        auto bob = client().addFakeBuddy(kBob, "Bob");
        auto phone = std::make_shared<FakePresenceDevice>();
        phone->m_status = RTCXS_PRESENCE_ONLINE;
        auto laptop = std::make_shared<FakePresenceDevice>();
        laptop->m_status = RTCXS_PRESENCE_AWAY;
        laptop->m_properties[RTCPP_DEVICE_NAME] = "Laptop";
        auto odd = std::make_shared<FakePresenceDevice>();
        odd->m_status = RTCXS_PRESENCE_BUSY;
        odd->m_properties[RTCPP_DEVICE_NAME] = "Zed\nPhone";
        bob->m_devices = {phone, laptop, odd};
        deliver(bob, RTCBET_BUDDY_ADD);
        CBuddyTreeItem* item = tree().FindBuddyItem(bob);
        QVERIFY(item);
        QStringList devices;
        for (int i = 0; i < item->childCount(); ++i)
            devices << item->child(i)->text(0);
        QCOMPARE(devices, QStringList({"Device # 1 (Online)", "Laptop (Away)", "Zed Phone (Busy)"}));
        QVERIFY(item->child(0)->icon(0).isNull());
    }

    void dropsMoveRowsAndMemberships_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("onto");
        QTest::addColumn<QStringList>("groupCalls");
        QTest::addColumn<QString>("endsUnder");
        QTest::newRow("group onto group")
            << "Work"
            << "Friends" << QStringList({"Group.RemoveBuddy", "Group.AddBuddy"}) << "Friends";
        QTest::newRow("Buddies onto group") << "Buddies"
                                            << "Friends" << QStringList({"Group.AddBuddy"}) << "Friends";
        QTest::newRow("group onto Buddies") << "Work"
                                            << "Buddies" << QStringList({"Group.RemoveBuddy"}) << "Buddies";
        QTest::newRow("own group") << "Work"
                                   << "Work" << QStringList() << "Work";
        QTest::newRow("onto a buddy") << "Work"
                                      << "Carol" << QStringList() << "Work";
        QTest::newRow("outside any row") << "Work"
                                         << "" << QStringList() << "Work";
    }

    void dropsMoveRowsAndMemberships()
    {
        QFETCH(QString, from);
        QFETCH(QString, onto);
        QFETCH(QStringList, groupCalls);
        QFETCH(QString, endsUnder);
        auto work = client().addFakeGroup("Work");
        client().addFakeGroup("Friends");
        auto bob = client().addFakeBuddy(kBob, "Bob");
        auto carol = client().addFakeBuddy(kCarol, "Carol");
        if (from == "Work")
            work->m_buddies.push_back(bob);
        m_rig->engine().RebuildBuddyList();
        client().log().clear();

        QPoint target(labelOf(tree().BuddiesRoot()).x(), viewport()->height() - 5);
        if (onto == "Carol")
            target = labelOf(tree().FindBuddyItem(carol));
        else if (!onto.isEmpty())
            target = labelOf(topItem(onto));
        drag(tree().FindBuddyItem(bob), target);

        QCOMPARE(client().log().opsMatching("Group."), groupCalls);
        CBuddyTreeItem* moved = tree().FindBuddyItem(bob);
        QVERIFY(moved);
        QCOMPARE(moved->parent()->text(0), endsUnder);
        if (!groupCalls.isEmpty()) {
            QCOMPARE(moved->parent()->child(moved->parent()->childCount() - 1), moved);
            QCOMPARE(tree().currentItem(), moved);
            QVERIFY(moved->parent()->isExpanded());
        }
    }

    void groupsAndDeviceLinesDoNotJoinGroups()
    {
        client().addFakeGroup("Work");
        auto bob = client().addFakeBuddy(kBob, "Bob");
        bob->m_devices = {std::make_shared<FakePresenceDevice>()};
        m_rig->engine().RebuildBuddyList();
        client().log().clear();
        // A group row does not start a drag.
        const QPoint start = labelOf(topItem("Work"));
        QTest::mousePress(viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(viewport(), start + QPoint(0, 30));
        QVERIFY(!tree().IsDragging());
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, start + QPoint(0, 30));
        // A device line moves and the library hears nothing.
        tree().FindBuddyItem(bob)->setExpanded(true);
        drag(tree().FindBuddyItem(bob)->child(0), labelOf(topItem("Work")));
        QCOMPARE(topItem("Work")->child(0)->text(0), "Device # 1 (Offline)");
        QVERIFY(client().log().opsMatching("Group.").isEmpty());
    }

    void aGroupThatRefusesTheBuddyGetsTheTreeRebuilt()
    {
        auto work = client().addFakeGroup("Work");
        client().addFakeGroup("Friends");
        auto bob = client().addFakeBuddy(kBob, "Bob");
        work->m_buddies.push_back(bob);
        m_rig->engine().RebuildBuddyList();
        client().setResult("Group.AddBuddy", E_FAIL);
        drag(tree().FindBuddyItem(bob), labelOf(topItem("Friends")));
        // Bob left Work and joined nothing: he is under "Buddies", as in the library.
        QCOMPARE(rows(), QStringList({"Buddies/15551230002 (Online)"}));
    }

    void movedRowsKeepTheirBuddyAliveUntilTheLastRowGoes()
    {
        auto work = client().addFakeGroup("Work");
        auto friends = client().addFakeGroup("Friends");
        std::weak_ptr<IRTCBuddy2> watch;
        {
            auto bob = client().addFakeBuddy(kBob, "Bob");
            watch = bob;
            m_rig->engine().RebuildBuddyList();
            // The library forgets Bob; only the tree holds him now.
            client().m_buddies.clear();
        }
        for (int round = 0; round < 6; ++round)
            drag(tree().FindBuddyItem(watch.lock()), labelOf(topItem(round % 2 ? "Work" : "Friends")));
        QVERIFY(!watch.expired());
        QCOMPARE(rows(), QStringList({"Work/15551230002 (Online)"}));
        SMenuState menu = rightClick(tree().FindBuddyItem(watch.lock()));
        QVERIFY(menu.enabled.contains("&Call..."));
        work->m_buddies.clear();
        friends->m_buddies.clear();
        deliver(watch.lock(), RTCBET_BUDDY_REMOVE);
        QVERIFY(watch.expired());
        QVERIFY(rightClick(topItem("Work")).enabled.contains("&Remove Group"));
    }

    void theBuddyMenuGreysWhatCannotBeDone_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("inGroup");
        QTest::addColumn<QStringList>("greyed");
        QTest::newRow("online under Buddies") << 1 << false << QStringList({"Remove from Group"});
        QTest::newRow("online in a group") << 1 << true << QStringList();
        QTest::newRow("away in a group") << 2 << true << QStringList({"&Call...", "&Message..."});
        QTest::newRow("offline under Buddies")
            << 0 << false << QStringList({"&Call...", "&Message...", "Remove from Group"});
    }

    void theBuddyMenuGreysWhatCannotBeDone()
    {
        QFETCH(int, status);
        QFETCH(bool, inGroup);
        QFETCH(QStringList, greyed);
        auto bob = client().addFakeBuddy(kBob, "Bob", RTC_PRESENCE_STATUS(status));
        if (inGroup)
            client().addFakeGroup("Work")->m_buddies.push_back(bob);
        m_rig->engine().RebuildBuddyList();
        const SMenuState menu = rightClick(tree().FindBuddyItem(bob));
        QCOMPARE(menu.greyed, greyed);
        QCOMPARE(menu.enabled.size() + menu.greyed.size(), 7);
        // The group menu has nothing greyed; "Buddies", devices and blank space have no menu.
        if (inGroup)
            QCOMPARE(rightClick(topItem("Work")).enabled,
                     QStringList({"&Remove Group", "&Add Buddy To Group", "Remove &Buddy From Group"}));
        QVERIFY(rightClick(tree().BuddiesRoot()).enabled.isEmpty());
    }

    void theProfileBoxShowsWhatCouldBeRead_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<HRESULT>("statusRead");
        QTest::addColumn<QString>("text");
        QTest::newRow("no notes") << "" << S_OK
                                  << "Name:\t\tBob\nOrvaloPhone #:\t15551230002\nStatus:\t\tBusy\nNotes:\t\t(None)\n";
        QTest::newRow("notes, status unknown")
            << "At <b>work</b>\nall day" << E_FAIL
            << "Name:\t\tBob\nOrvaloPhone #:\t15551230002\nStatus:\t\tOffline\nNotes:\t\tAt <b>work</b> all day\n";
    }

    void theProfileBoxShowsWhatCouldBeRead()
    {
        QFETCH(QString, notes);
        QFETCH(HRESULT, statusRead);
        QFETCH(QString, text);
        auto bob = client().addFakeBuddy(kBob, "Bob", RTCXS_PRESENCE_BUSY);
        bob->m_properties[RTCPP_DISPLAYNAME] = "Bob";
        bob->m_notes = notes;
        deliver(bob, RTCBET_BUDDY_ADD);
        bob->m_statusReadResult = statusRead;
        MessageCapture boxes;
        rightClick(tree().FindBuddyItem(bob), ID_BUDDY_VIEW_PROFILE);
        QCOMPARE(boxes.captions, QStringList{"View Profile"});
        QCOMPARE(boxes.texts, QStringList{text});
    }

    void removingABuddyAsksFirst_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }

    void removingABuddyAsksFirst()
    {
        QFETCH(bool, confirmed);
        auto bob = client().addFakeBuddy(kBob, "Bob");
        deliver(bob, RTCBET_BUDDY_ADD);
        MessageCapture boxes(confirmed ? QMessageBox::Ok : QMessageBox::Cancel);
        rightClick(tree().FindBuddyItem(bob), ID_BUDDY_REMOVE);
        QCOMPARE(boxes.captions, QStringList{"Remove Buddy"});
        QCOMPARE(boxes.texts, QStringList{"Are you sure you want to delete this buddy?"});
        QCOMPARE(client().log().count("Client.RemoveBuddy"), confirmed ? 1 : 0);
        QCOMPARE(rows().size(), confirmed ? 0 : 1);
    }

    void callAndMessageReachTheEngine()
    {
        auto carol = client().addFakeBuddy(kCarol, "Carol");
        deliver(carol, RTCBET_BUDDY_ADD);
        MessageCapture boxes;
        rightClick(tree().FindBuddyItem(carol), ID_BUDDY_CALL);
        QCOMPARE(m_rig->display().dialedNumber, "9995550001");
        QVERIFY(m_rig->display().statusMessages.last().endsWith("9995550001\r\r\nCalling..."));
        QCOMPARE(m_rig->display().phoneViewSelections, 1);
        QCOMPARE(client().log().last("Client.CreateSession")->args.value(0).toInt(), int(RTCST_PC_TO_PC));
        rightClick(tree().FindBuddyItem(carol), ID_BUDDY_MESSAGE);
        QCOMPARE(client().log().last("Client.CreateSession")->args.value(0).toInt(), int(RTCST_MULTIPARTY_IM));
        rightClick(tree().FindBuddyItem(carol), ID_BUDDY_UPDATE);
        QCOMPARE(client().log().count("Buddy.Refresh"), 1);
    }

    void doubleClickOpensAMessageSessionOnlyWithAnOnlineBuddy_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("sessions");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("online") << 1 << 1 << QStringList();
        QTest::newRow("offline") << 0 << 0 << QStringList{"This user is not online."};
    }

    void doubleClickOpensAMessageSessionOnlyWithAnOnlineBuddy()
    {
        QFETCH(int, status);
        QFETCH(int, sessions);
        QFETCH(QStringList, messages);
        auto bob = client().addFakeBuddy(kBob, "Bob", RTC_PRESENCE_STATUS(status));
        deliver(bob, RTCBET_BUDDY_ADD);
        MessageCapture boxes;
        QTest::mouseDClick(viewport(), Qt::LeftButton, {}, labelOf(tree().FindBuddyItem(bob)));
        QCOMPARE(client().log().count("Client.CreateSession"), sessions);
        QCOMPARE(boxes.texts, messages);
    }

    void theGroupMenuRemovesTheGroupAndChangesMembersByNumber()
    {
        auto work = client().addFakeGroup("Work");
        auto bob = client().addFakeBuddy(kBob, "Bob");
        m_rig->engine().RebuildBuddyList();
        CModalDriver prompt;
        prompt.WhenOpen<CAddressDialog>([](CAddressDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), "Enter Buddy URI");
            QTest::keyClicks(dialog.findChild<QLineEdit*>(), "1 555 123 0002");
            dialog.accept();
        });
        rightClick(topItem("Work"), ID_GROUP_ADD_BUDDY);
        QVERIFY(prompt.Acted());
        QCOMPARE(work->m_buddies, std::vector<RtcBuddyPtr>{bob});
        QCOMPARE(rows(), QStringList{"Work/15551230002 (Online)"});

        prompt.WhenOpen<CAddressDialog>([](CAddressDialog& dialog) { dialog.reject(); });
        rightClick(topItem("Work"), ID_GROUP_REMOVE_BUDDY);
        QVERIFY(prompt.Acted());
        QCOMPARE(work->m_buddies.size(), std::size_t(1));

        rightClick(topItem("Work"), ID_GROUP_REMOVE);
        QVERIFY(!topItem("Work"));
        QCOMPARE(rows(), QStringList{"Buddies/15551230002 (Online)"});
    }

    void removeFromGroupPutsTheBuddyBackUnderBuddies()
    {
        twoGroupsAndTwoBuddies();
        m_rig->engine().RebuildBuddyList();
        rightClick(tree().FindBuddyItem(client().m_buddies.front()), ID_BUDDY_REMOVE_FROM_GROUP);
        QCOMPARE(rows(), QStringList({"Buddies/9995550001 (Offline)", "Work/Bob (Online)"}));
    }

    void addingBuddiesAndGroups()
    {
        QCOMPARE(m_rig->engine().AddBuddyToList(kBob, "Bob"), S_OK);
        QCOMPARE(client().log().last("Client.AddBuddy")->args,
                 QVariantList({kBob, "Bob", QString(), true, QVariant::fromValue(quintptr(0)), 0}));
        QCOMPARE(rows(), QStringList{"Buddies/15551230002 (Offline)"});
        QVERIFY(FAILED(m_rig->engine().CreateGroup("")));
        QVERIFY(FAILED(m_rig->engine().CreateGroup("   ")));
        QCOMPARE(client().log().count("Client.AddGroup"), 0);
        QCOMPARE(m_rig->engine().CreateGroup("Family"), S_OK);
        QVERIFY(topItem("Family"));
        QCOMPARE(topItem("Family")->m_icon, int(Resources::kIconGroup));
    }
};

QTEST_MAIN(TestBuddyList)
#include "tst_buddy_list.moc"
