// The buddy list of the whole phone, offscreen, over the real SIP layer against the
// local service: a second phone changes its status through all eight values and the
// tree follows; a buddy, a group and a membership made by dragging survive log off,
// log on and a restart of the program, and are in the presence store.
#include "WholePhone.h"
#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include "engine/PresenceStatus.h"
#include "engine/ProcessGlobals.h"
#include "engine/ServiceConfig.h"
#include "engine/SettingsStore.h"
#include "platform/linphone/LinphoneClientFactory.h"
#include "platform/linphone/PresenceStore.h"
#include "presence/BuddyTreeCtrl.h"
#include "shell/AddressPrompt.h"
#include "shell/BuddyListPage.h"
#include "shell/LogonDialog.h"
#include "shell/MainFrame.h"
#include "shell/MainMenu.h"
#include "shell/OrvaloPhoneApp.h"
#include "shell/OrvaloPhoneView.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/ModalDriver.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {
constexpr int kSignallingMs = 15000;
const CEndpoint::Account& kPhone = CEndpoint::kAlice;
const CEndpoint::Account& kFriend = CEndpoint::kBob;
const QString kGroup = QStringLiteral("Friends");
} // namespace

class TestBuddyListEndToEnd : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    MessageCapture m_messages;
    CModalDriver m_modal;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<CEndpoint> m_friend;
    LinphoneClientOptions m_options;
    std::unique_ptr<COrvaloPhoneApp> m_app;

    COrvaloPhoneView& view() { return *m_app->Frame()->View(); }
    CBuddyTreeCtrl& tree() { return *view().BuddyPage()->Tree(); }
    QString friendUri() const { return CSipService::Uri(kFriend.number); }
    QString statusBar() { return m_app->Frame()->StatusPane()->text(); }

    CBuddyTreeItem* friendRow()
    {
        for (int group = 0; group < tree().topLevelItemCount(); ++group) {
            QTreeWidgetItem* groupItem = tree().topLevelItem(group);
            for (int row = 0; row < groupItem->childCount(); ++row) {
                CBuddyTreeItem* item = CBuddyTreeCtrl::ItemOf(groupItem->child(row));
                QString uri;
                if (item && item->m_buddy && SUCCEEDED(item->m_buddy->get_PresentityURI(uri)) && uri == friendUri())
                    return item;
            }
        }
        return nullptr;
    }
    QString friendGroup()
    {
        CBuddyTreeItem* row = friendRow();
        return row ? row->parent()->text(0) : QString();
    }
    bool friendShows(int status)
    {
        CBuddyTreeItem* row = friendRow();
        return row && row->text(0) == BuddyStatusLine(status, kFriend.number) && row->m_icon == BuddyStatusIcon(status);
    }
    QTreeWidgetItem* groupRow(const QString& name)
    {
        const QList<QTreeWidgetItem*> found = tree().findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    QPoint labelOf(QTreeWidgetItem* item)
    {
        const QRect row = tree().visualItemRect(item);
        return QPoint(row.left() + 24, row.center().y());
    }

    void startPhone()
    {
        g_closing = false; // the phone stopped before this one closed its window
        m_app = std::make_unique<COrvaloPhoneApp>(
            [options = m_options](RtcClientPtr& client) { return CreateLinphoneRtcClient(options, client); });
        QVERIFY(m_app->InitInstance());
        QTRY_VERIFY2_WITH_TIMEOUT(statusBar().endsWith(QStringLiteral("(Online)")),
                                  qPrintable(statusBar() + m_messages.texts.join(u'|')), kSignallingMs);
    }
    void stopPhone() { QVERIFY(ExitPhone(m_app, kSignallingMs)); }
    // The service asks the friend about the phone as a watcher; the friend allows it.
    void friendAllowsThePhone()
    {
        auto offer = m_friend->WaitWatcher(RTCWET_WATCHER_OFFERING, CSipService::Uri(kPhone.number), kSignallingMs);
        QVERIFY(offer);
        QCOMPARE(offer->m_watcher->put_State(RTCWS_ALLOWED), S_OK);
    }

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        const QString friendDir = m_home.NewFolder(QStringLiteral("friend"));
        m_friend = std::make_unique<CEndpoint>(friendDir);
        QVERIFY(m_friend->Logon(*m_service, kFriend));
        QVERIFY(m_friend->EnablePresence(friendDir + QStringLiteral("/store.xml")));

        ServiceConfig service = ServiceConfig::current();
        service.sipServer = m_service->server();
        service.sipDomain = QString::fromLatin1(CSipService::kDomain);
        ServiceConfig::setCurrent(service);
        m_options.dataDir = m_home.NewFolder(QStringLiteral("phone"));
        m_options.filesOnly = true;
        CSettingsStore::WriteSetting(QLatin1String(kSettingUserUri), kPhone.number);
        CSettingsStore::WriteSetting(QLatin1String(kSettingAccount), kPhone.number);
        CSettingsStore::WriteSetting(QLatin1String(kSettingPassword), kPhone.password);
        CSettingsStore::WriteSetting(QLatin1String(kSettingRememberPassword), QStringLiteral("1"));
        CSettingsStore::WriteSetting(QLatin1String(kSettingAutoLogon), QStringLiteral("1"));
        startPhone();
    }

    void cleanupTestCase()
    {
        stopPhone();
        if (m_friend)
            m_friend->ShutDown();
        m_friend.reset();
        m_service.reset();
    }

    void aBuddyAddedInTheTreeFollowsEveryStatus()
    {
        m_modal.WhenOpen<CAddressDialog>(
            [](CAddressDialog& dialog) {
                QTest::keyClicks(dialog.findChild<QLineEdit*>(), kFriend.number);
                dialog.accept();
            },
            kSignallingMs);
        view().OnCommand(ID_ADD_BUDDY);
        QVERIFY(m_modal.Acted());
        QVERIFY(friendRow());
        QCOMPARE(friendGroup(), QStringLiteral("Buddies"));
        friendAllowsThePhone();

        // From the last status back to the first, so that each one is a change.
        for (int status = RTCXS_PRESENCE_OUT_TO_LUNCH; status >= RTCXS_PRESENCE_OFFLINE; --status) {
            QCOMPARE(m_friend->presence().SetLocalPresenceInfo(RTC_PRESENCE_STATUS(status), QString()), S_OK);
            QTRY_VERIFY2_WITH_TIMEOUT(friendShows(status),
                                      qPrintable(friendRow() ? friendRow()->text(0) : QStringLiteral("no row")),
                                      kSignallingMs);
        }
        QCOMPARE(m_friend->presence().SetLocalPresenceInfo(RTCXS_PRESENCE_ONLINE, QString()), S_OK);
        QTRY_VERIFY_WITH_TIMEOUT(friendShows(RTCXS_PRESENCE_ONLINE), kSignallingMs);
    }

    void aBuddyDraggedOntoANewGroupJoinsItInTheStore()
    {
        QCOMPARE(view().Engine()->CreateGroup(kGroup), S_OK);
        QTreeWidgetItem* group = groupRow(kGroup);
        QVERIFY(group);
        const QPoint start = labelOf(friendRow());
        QTest::mousePress(tree().viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(tree().viewport(), start + QPoint(0, QApplication::startDragDistance() + 1));
        QTest::mouseMove(tree().viewport(), labelOf(group));
        QTest::mouseRelease(tree().viewport(), Qt::LeftButton, {}, labelOf(group));
        QCOMPARE(friendGroup(), kGroup);

        const PresenceStoreData stored =
            CPresenceStore(CClientEngine::PresenceStoragePath(CSipService::Uri(kPhone.number))).Load();
        QCOMPARE(stored.buddies.size(), std::size_t(1));
        QCOMPARE(stored.buddies.front().uri, friendUri());
        QCOMPARE(stored.groups.size(), std::size_t(1));
        QCOMPARE(stored.groups.front().name, kGroup);
        QCOMPARE(stored.groups.front().members, QStringList{friendUri()});
    }

    void logOffAndOnKeepsBuddyAndGroup()
    {
        m_app->Frame()->Menu()->Action(ID_LOG_OFF)->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(statusBar(), QStringLiteral("Logged off"), kSignallingMs);
        QVERIFY(!friendRow());
        m_modal.WhenOpen<CLogonDialog>(
            [](CLogonDialog& dialog) { dialog.findChild<QPushButton*>(QStringLiteral("1"))->click(); }, kSignallingMs);
        m_app->Frame()->Menu()->Action(ID_LOG_ON)->trigger();
        QVERIFY(m_modal.Acted());
        QTRY_VERIFY_WITH_TIMEOUT(statusBar().endsWith(QStringLiteral("(Online)")), kSignallingMs);
        QTRY_COMPARE_WITH_TIMEOUT(friendGroup(), kGroup, kSignallingMs);
        QTRY_VERIFY_WITH_TIMEOUT(friendShows(RTCXS_PRESENCE_ONLINE), kSignallingMs);
    }

    void aRestartKeepsBuddyGroupAndMembership()
    {
        stopPhone();
        startPhone();
        QTRY_COMPARE_WITH_TIMEOUT(friendGroup(), kGroup, kSignallingMs);
        QTRY_VERIFY_WITH_TIMEOUT(friendShows(RTCXS_PRESENCE_ONLINE), kSignallingMs);
        QVERIFY(m_messages.texts.isEmpty());
    }
};

QTEST_MAIN(TestBuddyListEndToEnd)
#include "tst_buddy_list_e2e.moc"
