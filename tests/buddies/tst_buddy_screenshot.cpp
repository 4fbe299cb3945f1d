// Saves the "Buddy List" page of the logged-on main window, with groups, buddies and
// device lines over the tiled picture, as a PNG in the build folder, and checks that
// the picture repeats across the page and moves with the rows when they scroll.
#include "tests/shell/ShellHarness.h"

#include "presence/BuddyTreeCtrl.h"
#include "resources/ResourceIds.h"

#include <QDir>
#include <QScrollBar>

namespace {
QString ShotPath(const QString& name)
{
    return QDir(QStringLiteral(ORVALO_SCREENSHOT_DIR)).filePath(name + QStringLiteral(".png"));
}

void AddBuddy(FakeRtcClient& client, const QString& number, const QString& name, RTC_PRESENCE_STATUS status,
              const std::shared_ptr<FakeGroup>& group = nullptr)
{
    auto buddy = client.addFakeBuddy(QStringLiteral("sip:%1@sip.orvalo.test").arg(number), name, status);
    if (!name.isEmpty())
        buddy->m_properties[RTCPP_DISPLAYNAME] = name;
    if (group)
        group->m_buddies.push_back(buddy);
    if (number.startsWith(QLatin1String("999"))) {
        auto laptop = std::make_shared<FakePresenceDevice>();
        laptop->m_status = status;
        laptop->m_properties[RTCPP_DEVICE_NAME] = QStringLiteral("Laptop");
        buddy->m_devices = {laptop, std::make_shared<FakePresenceDevice>()};
    }
}
} // namespace

class TestBuddyScreenshot : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QDir().mkpath(QStringLiteral(ORVALO_SCREENSHOT_DIR)); }

    void thePageShowsGroupsBuddiesAndDevicesOverTheTiledPicture()
    {
        ShellHarness shell;
        FakeRtcClient& client = *shell.client;
        auto work = client.addFakeGroup(QStringLiteral("Work"));
        auto family = client.addFakeGroup(QStringLiteral("Family"));
        AddBuddy(client, QStringLiteral("9995550001"), QStringLiteral("Carol"), RTCXS_PRESENCE_ONLINE, work);
        AddBuddy(client, QStringLiteral("15551230005"), QStringLiteral("Dan <i>the</i> man"), RTCXS_PRESENCE_BUSY,
                 work);
        AddBuddy(client, QStringLiteral("9995550002"), QStringLiteral("Mum"), RTCXS_PRESENCE_AWAY, family);
        AddBuddy(client, QStringLiteral("15551230002"), QString(), RTCXS_PRESENCE_OFFLINE);
        AddBuddy(client, QStringLiteral("15551230007"), QStringLiteral("Eve"), RTCXS_PRESENCE_ON_THE_PHONE);
        shell.startLoggedOn();
        CBuddyTreeCtrl& tree = *shell.view()->BuddyPage()->Tree();
        for (QTreeWidgetItemIterator it(&tree); *it; ++it)
            (*it)->setExpanded(true);
        QCoreApplication::processEvents();

        const QImage page = shell.view()->BuddyPage()->grab().toImage();
        QVERIFY(page.save(ShotPath(QStringLiteral("page-buddy-list-filled"))));
        QVERIFY(
            tree.findItems(QStringLiteral("Dan <i>the</i> man (Busy)"), Qt::MatchExactly | Qt::MatchRecursive).size() ==
            1);

        // Halfway through dragging Carol onto "Family": the group is highlighted, her picture follows.
        QWidget* viewport = tree.viewport();
        const auto labelOf = [&tree](QTreeWidgetItem* item) {
            const QRect row = tree.visualItemRect(item);
            return QPoint(row.left() + 24, row.center().y());
        };
        const QPoint carol = labelOf(tree.findItems(QStringLiteral("Carol (Online)"), Qt::MatchRecursive).value(0));
        QTreeWidgetItem* familyRow = tree.findItems(QStringLiteral("Family"), Qt::MatchExactly).value(0);
        QTest::mousePress(viewport, Qt::LeftButton, {}, carol);
        QTest::mouseMove(viewport, carol + QPoint(0, QApplication::startDragDistance() + 1));
        QTest::mouseMove(viewport, labelOf(familyRow));
        QCOMPARE(tree.DropTarget(), familyRow);
        QVERIFY(shell.view()->BuddyPage()->grab().save(ShotPath(QStringLiteral("page-buddy-list-dragging"))));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, labelOf(familyRow));
        QCOMPARE(familyRow->child(familyRow->childCount() - 1)->text(0), QStringLiteral("Carol (Online)"));

        // Below the rows the picture shows through, one tile width apart.
        const QImage picture(QString::fromLatin1(Resources::kListBackground134));
        const QImage shown = tree.viewport()->grab().toImage();
        const int y = shown.height() - 4;
        QVERIFY(shown.width() > picture.width() + 10);
        for (int x : {2, 30}) {
            QCOMPARE(QColor(shown.pixel(x, y)), QColor(picture.pixel(x, y % picture.height())));
            QCOMPARE(QColor(shown.pixel(x + picture.width(), y)), QColor(picture.pixel(x, y % picture.height())));
        }

        // Scrolled, the tiles start where the first row now starts.
        for (int i = 0; i < 40; ++i)
            AddBuddy(client, QStringLiteral("1555000%1").arg(1000 + i), QStringLiteral("Buddy %1").arg(i),
                     RTCXS_PRESENCE_IDLE);
        shell.view()->Engine()->RebuildBuddyList();
        tree.verticalScrollBar()->setValue(tree.verticalScrollBar()->maximum() / 2);
        QCoreApplication::processEvents();
        const int top = tree.visualItemRect(tree.topLevelItem(0)).top();
        QVERIFY(top < 0);
        const QImage scrolled = tree.viewport()->grab().toImage();
        QVERIFY(scrolled.save(ShotPath(QStringLiteral("page-buddy-list-scrolled"))));
        const int x = scrolled.width() - 3;
        for (int row : {5, 100, 200}) {
            const int inPicture = ((row - top) % picture.height() + picture.height()) % picture.height();
            QCOMPARE(QColor(scrolled.pixel(x, row)), QColor(picture.pixel(x % picture.width(), inPicture)));
        }
    }
};

QTEST_MAIN(TestBuddyScreenshot)
#include "tst_buddy_screenshot.moc"
