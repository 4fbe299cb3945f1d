// Presence between liblinphone endpoints through the local service's presence
// server: statuses, devices, buddies, groups and the store behind them.
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include <QtTest>

class TestPresence : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyStatusReachesTheBuddyExactly();
    void deviceNameAndStatusReachTheBuddy();
    void buddyEventsTellAddAndRemove();
    void groupsSurviveDisablingPresence();
    void everyBuddyOfALongListIsSubscribed();

private:
    QString Folder(const QString& name) const { return m_home.NewFolder(name); }
    // Bob watches Alice, and Alice allows him.
    bool BobWatchesAlice();

    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<CEndpoint> m_alice;
    std::unique_ptr<CEndpoint> m_bob;
    QString m_aliceStore;
    QString m_bobStore;
};

// Each test gets a service of its own: the presence server remembers watchers and
// their authorisation, which would leak from one test into the next.
void TestPresence::init()
{
    m_service = std::make_unique<CSipService>(Folder(QStringLiteral("service")));
    QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
    const QString alice = Folder(QStringLiteral("alice"));
    const QString bob = Folder(QStringLiteral("bob"));
    m_aliceStore = alice + QStringLiteral("/15551230001.xml");
    m_bobStore = bob + QStringLiteral("/15551230002.xml");
    m_alice = std::make_unique<CEndpoint>(alice);
    m_bob = std::make_unique<CEndpoint>(bob);
    QVERIFY(m_alice->Logon(*m_service, CEndpoint::kAlice));
    QVERIFY(m_bob->Logon(*m_service, CEndpoint::kBob));
    QVERIFY(m_alice->EnablePresence(m_aliceStore));
    QVERIFY(m_bob->EnablePresence(m_bobStore));
}

void TestPresence::cleanup()
{
    if (m_alice)
        m_alice->ShutDown();
    if (m_bob)
        m_bob->ShutDown();
    m_alice.reset();
    m_bob.reset();
    m_service.reset();
}

bool TestPresence::BobWatchesAlice()
{
    RtcBuddyPtr buddy;
    if (FAILED(m_bob->presence().AddBuddy(CSipService::Uri(CEndpoint::kAlice.number), {}, {}, true, {}, 0, buddy)))
        return false;
    auto offer = m_alice->WaitWatcher(RTCWET_WATCHER_OFFERING, CSipService::Uri(CEndpoint::kBob.number));
    return offer && SUCCEEDED(offer->m_watcher->put_State(RTCWS_ALLOWED));
}

void TestPresence::everyStatusReachesTheBuddyExactly()
{
    QVERIFY(BobWatchesAlice());
    const QString alice = CSipService::Uri(CEndpoint::kAlice.number);
    // From the last status back to the first, so that each one is a change.
    for (int status = RTCXS_PRESENCE_OUT_TO_LUNCH; status >= RTCXS_PRESENCE_OFFLINE; --status) {
        const QString notes = QStringLiteral("note %1 <&>").arg(status);
        QCOMPARE(m_alice->presence().SetLocalPresenceInfo(static_cast<RTC_PRESENCE_STATUS>(status), notes), S_OK);
        QVERIFY2(m_bob->WaitBuddyStatus(alice, static_cast<RTC_PRESENCE_STATUS>(status)),
                 qPrintable(QString::number(status)));
        RtcBuddyPtr buddy;
        QCOMPARE(m_bob->presence().get_Buddy(alice, buddy), S_OK);
        QString seen;
        QCOMPARE(buddy->get_Notes(seen), S_OK);
        QCOMPARE(seen, notes);
    }
    QCOMPARE(m_alice->presence().SetLocalPresenceInfo(static_cast<RTC_PRESENCE_STATUS>(8), {}), E_INVALIDARG);
}

void TestPresence::deviceNameAndStatusReachTheBuddy()
{
    QCOMPARE(m_alice->presence().put_PresenceProperty(RTCPP_DEVICE_NAME, QStringLiteral("Alice's Laptop")), S_OK);
    QCOMPARE(m_alice->presence().SetLocalPresenceInfo(RTCXS_PRESENCE_BE_RIGHT_BACK, {}), S_OK);
    QVERIFY(BobWatchesAlice());
    const QString alice = CSipService::Uri(CEndpoint::kAlice.number);
    QVERIFY(m_bob->WaitBuddyStatus(alice, RTCXS_PRESENCE_BE_RIGHT_BACK));
    RtcBuddyPtr buddy;
    QCOMPARE(m_bob->presence().get_Buddy(alice, buddy), S_OK);
    std::shared_ptr<IRTCEnumPresenceDevices> devices;
    QCOMPARE(buddy->EnumeratePresenceDevices(devices), S_OK);
    RtcPresenceDevicePtr device;
    QCOMPARE(devices->Next(device), S_OK);
    QString name;
    QCOMPARE(device->get_PresenceProperty(RTCPP_DEVICE_NAME, name), S_OK);
    QCOMPARE(name, QStringLiteral("Alice's Laptop"));
    RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_OFFLINE;
    QCOMPARE(device->get_Status(status), S_OK);
    QCOMPARE(status, RTCXS_PRESENCE_BE_RIGHT_BACK);
    QCOMPARE(devices->Next(device), S_FALSE);
    QCOMPARE(buddy->get_PresenceProperty(RTCPP_DEVICE_NAME, name), S_OK);
    QCOMPARE(name, QStringLiteral("Alice's Laptop"));
}

void TestPresence::buddyEventsTellAddAndRemove()
{
    const QString carol = CSipService::Uri(CEndpoint::kCarol.number);
    RtcBuddyPtr buddy;
    QCOMPARE(m_bob->presence().AddBuddy(carol, QStringLiteral("Carol"), QStringLiteral("data"), true, {}, 0, buddy),
             S_OK);
    auto added = m_bob->WaitBuddy(RTCBET_BUDDY_ADD, carol);
    QVERIFY(added);
    QCOMPARE(added->m_buddy, buddy);
    RtcBuddyPtr again;
    QCOMPARE(m_bob->presence().AddBuddy(carol, {}, {}, true, {}, 0, again), S_FALSE);
    QCOMPARE(again, buddy);
    QCOMPARE(buddy->put_Name(QStringLiteral("Caroline")), S_OK);
    QVERIFY(m_bob->WaitBuddy(RTCBET_BUDDY_UPDATE, carol));
    QCOMPARE(m_bob->presence().RemoveBuddy(buddy), S_OK);
    QVERIFY(m_bob->WaitBuddy(RTCBET_BUDDY_REMOVE, carol));
    RtcBuddyPtr gone;
    QCOMPARE(m_bob->presence().get_Buddy(carol, gone), RTC_E_NOT_EXIST);
    QCOMPARE(m_bob->presence().RemoveBuddy(buddy), RTC_E_NOT_EXIST);
    QCOMPARE(m_bob->presence().AddBuddy(QStringLiteral("not an address"), {}, {}, true, {}, 0, gone), E_INVALIDARG);
}

void TestPresence::groupsSurviveDisablingPresence()
{
    IRTCClientPresence2& presence = m_bob->presence();
    RtcBuddyPtr alice;
    RtcBuddyPtr carol;
    RtcBuddyPtr passing;
    QCOMPARE(
        presence.AddBuddy(CSipService::Uri(CEndpoint::kAlice.number), QStringLiteral("Alice"), {}, true, {}, 0, alice),
        S_OK);
    QCOMPARE(
        presence.AddBuddy(CSipService::Uri(CEndpoint::kCarol.number), {}, QStringLiteral("x=1"), true, {}, 0, carol),
        S_OK);
    QCOMPARE(presence.AddBuddyEx(QStringLiteral("sip:15551239999@sip.orvalo.test"), {}, {}, false, RTCBT_SUBSCRIBED, {},
                                 0, passing),
             S_OK);
    RtcGroupPtr family;
    RtcGroupPtr work;
    QCOMPARE(presence.AddGroup(QStringLiteral("Family"), {}, {}, 0, family), S_OK);
    QCOMPARE(presence.AddGroup(QStringLiteral("Work"), QStringLiteral("w"), {}, 0, work), S_OK);
    QCOMPARE(family->AddBuddy(alice), S_OK);
    QCOMPARE(work->AddBuddy(alice), S_OK);
    QCOMPARE(work->AddBuddy(carol), S_OK);
    QCOMPARE(work->AddBuddy(passing), S_OK);

    QCOMPARE(presence.DisablePresence(), S_OK);
    QVERIFY(m_bob->EnablePresence(m_bobStore));
    RtcGroupPtr reloaded;
    QCOMPARE(presence.get_Group(QStringLiteral("Work"), reloaded), S_OK);
    QString data;
    reloaded->get_Data(data);
    QCOMPARE(data, QStringLiteral("w"));
    std::shared_ptr<IRTCEnumBuddies> members;
    QCOMPARE(reloaded->EnumerateBuddies(members), S_OK);
    QStringList uris;
    RtcBuddyPtr member;
    while (members->Next(member) == S_OK) {
        QString uri;
        member->get_PresentityURI(uri);
        uris << uri;
    }
    // The passing buddy was not persistent: neither it nor its membership was stored.
    QCOMPARE(uris,
             QStringList({CSipService::Uri(CEndpoint::kAlice.number), CSipService::Uri(CEndpoint::kCarol.number)}));
    QCOMPARE(presence.get_Group(QStringLiteral("Family"), reloaded), S_OK);
    RtcBuddyPtr found;
    QCOMPARE(presence.get_Buddy(QStringLiteral("sip:15551239999@sip.orvalo.test"), found), RTC_E_NOT_EXIST);
    QCOMPARE(presence.get_Buddy(CSipService::Uri(CEndpoint::kCarol.number), found), S_OK);
    found->get_Data(data);
    QCOMPARE(data, QStringLiteral("x=1"));
}

// More buddies than may wait for an answer at once: each one's turn comes, and
// the one who publishes is seen.
void TestPresence::everyBuddyOfALongListIsSubscribed()
{
    QVERIFY(BobWatchesAlice());
    QCOMPARE(m_alice->presence().SetLocalPresenceInfo(RTCXS_PRESENCE_OUT_TO_LUNCH, {}), S_OK);
    const QString alice = CSipService::Uri(CEndpoint::kAlice.number);
    QVERIFY(m_bob->WaitBuddyStatus(alice, RTCXS_PRESENCE_OUT_TO_LUNCH));
    QStringList uris;
    for (int i = 0; i < 120; ++i) {
        const QString uri = QStringLiteral("sip:1555700%1@sip.orvalo.test").arg(i, 4, 10, QLatin1Char('0'));
        RtcBuddyPtr buddy;
        QCOMPARE(m_bob->presence().AddBuddy(uri, {}, {}, true, {}, 0, buddy), S_OK);
        uris << uri;
    }
    uris << alice; // last in the store

    QCOMPARE(m_bob->presence().DisablePresence(), S_OK);
    m_bob->events().Clear();
    QVERIFY(m_bob->EnablePresence(m_bobStore));
    QSet<QString> subscribed;
    while (subscribed.size() < uris.size()) {
        auto event = m_bob->WaitBuddy(RTCBET_BUDDY_SUBSCRIBED, {}, 20000);
        QVERIFY2(event, qPrintable(QStringLiteral("%1 of %2 subscribed").arg(subscribed.size()).arg(uris.size())));
        QCOMPARE(event->m_statusCode, S_OK);
        QString uri;
        event->m_buddy->get_PresentityURI(uri);
        subscribed.insert(uri);
    }
    QCOMPARE(subscribed, QSet<QString>(uris.begin(), uris.end()));
    QVERIFY(m_bob->WaitBuddyStatus(alice, RTCXS_PRESENCE_OUT_TO_LUNCH));
}

QTEST_MAIN(TestPresence)
#include "tst_presence.moc"
