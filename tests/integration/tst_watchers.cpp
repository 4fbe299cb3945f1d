// Watchers of a user's presence with the real service: the offer of a new
// watcher, what each decision lets it see, decisions kept over a restart of
// the watched endpoint, and watchers asked again.
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include <QtTest>

class TestWatchers : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void newWatcherIsOfferedBeforeAnyStatus();
    void eachDecisionGovernsWhatTheWatcherSees();
    void decisionsSurviveRestart();
    void promptedAndRemovedWatchersAreAskedAgain();

private:
    struct Peer {
        std::unique_ptr<CEndpoint> endpoint;
        QString uri;
    };

    QString Folder(const QString& name) const { return m_home.NewFolder(name); }
    // The peer subscribes to Alice; returns the watcher Alice was offered, or null.
    RtcWatcherPtr Watch(Peer& peer);
    // Status changes of Alice the peer has been told about so far.
    static int StatusChanges(Peer& peer);
    static RTC_PRESENCE_STATUS SeenStatus(Peer& peer);
    // Bob, Carol and Dave watch Alice, who allows Bob, blocks Carol and denies Dave.
    bool DecideAllThree();

    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<CEndpoint> m_alice;
    QString m_aliceUri;
    QString m_aliceStore;
    Peer m_bob;
    Peer m_carol;
    Peer m_dave;
};

// Each test gets a service of its own: the presence server keeps watchers and
// their rules, which would leak from one test into the next.
void TestWatchers::init()
{
    m_service = std::make_unique<CSipService>(Folder(QStringLiteral("service")));
    QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
    const QString alice = Folder(QStringLiteral("alice"));
    m_aliceStore = alice + QStringLiteral("/store.xml");
    m_aliceUri = CSipService::Uri(CEndpoint::kAlice.number);
    m_alice = std::make_unique<CEndpoint>(alice);
    QVERIFY(m_alice->Logon(*m_service, CEndpoint::kAlice));
    QVERIFY(m_alice->EnablePresence(m_aliceStore));
    const std::pair<Peer*, const CEndpoint::Account*> peers[] = {
        {&m_bob, &CEndpoint::kBob}, {&m_carol, &CEndpoint::kCarol}, {&m_dave, &CEndpoint::kDave}};
    for (const auto& [peer, account] : peers) {
        const QString folder = Folder(account->number);
        peer->uri = CSipService::Uri(account->number);
        peer->endpoint = std::make_unique<CEndpoint>(folder);
        QVERIFY(peer->endpoint->Logon(*m_service, *account));
        QVERIFY(peer->endpoint->EnablePresence(folder + QStringLiteral("/store.xml")));
    }
}

void TestWatchers::cleanup()
{
    for (auto* endpoint : {&m_alice, &m_bob.endpoint, &m_carol.endpoint, &m_dave.endpoint}) {
        if (*endpoint)
            (*endpoint)->ShutDown();
        endpoint->reset();
    }
    m_service.reset();
}

RtcWatcherPtr TestWatchers::Watch(Peer& peer)
{
    RtcBuddyPtr buddy;
    if (peer.endpoint->presence().AddBuddy(m_aliceUri, {}, {}, true, {}, 0, buddy) != S_OK)
        return {};
    auto offer = m_alice->WaitWatcher(RTCWET_WATCHER_OFFERING, peer.uri);
    return offer ? offer->m_watcher : RtcWatcherPtr{};
}

int TestWatchers::StatusChanges(Peer& peer)
{
    int changes = 0;
    while (peer.endpoint->WaitBuddy(RTCBET_BUDDY_STATE_CHANGE, {}, 0))
        ++changes;
    return changes;
}

RTC_PRESENCE_STATUS TestWatchers::SeenStatus(Peer& peer)
{
    RtcBuddyPtr buddy;
    RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_OFFLINE;
    if (FAILED(peer.endpoint->presence().get_Buddy(CSipService::Uri(CEndpoint::kAlice.number), buddy)) ||
        FAILED(buddy->get_Status(status)))
        return static_cast<RTC_PRESENCE_STATUS>(-1);
    return status;
}

bool TestWatchers::DecideAllThree()
{
    const std::pair<Peer*, RTC_WATCHER_STATE> decisions[] = {
        {&m_bob, RTCWS_ALLOWED}, {&m_carol, RTCWS_BLOCKED}, {&m_dave, RTCWS_DENIED}};
    for (const auto& [peer, state] : decisions) {
        RtcWatcherPtr watcher = Watch(*peer);
        if (!watcher || watcher->put_State(state) != S_OK)
            return false;
        // The update is posted later; waiting for it keeps it out of what follows.
        if (!m_alice->WaitWatcher(RTCWET_WATCHER_UPDATE, peer->uri))
            return false;
    }
    return true;
}

void TestWatchers::newWatcherIsOfferedBeforeAnyStatus()
{
    QCOMPARE(m_alice->presence().SetLocalPresenceInfo(RTCXS_PRESENCE_BUSY, QStringLiteral("in a meeting")), S_OK);
    RtcWatcherPtr watcher = Watch(m_bob);
    QVERIFY(watcher);
    RTC_WATCHER_STATE state = RTCWS_UNKNOWN;
    QCOMPARE(watcher->get_State(state), S_OK);
    QCOMPARE(state, RTCWS_OFFERING);
    RtcWatcherPtr listed;
    QCOMPARE(m_alice->presence().get_Watcher(m_bob.uri, listed), S_OK);
    QCOMPARE(listed, watcher);

    // Undecided, the watcher must learn nothing, however long it waits.
    CEventQueue::Pump(1500);
    QCOMPARE(StatusChanges(m_bob), 0);
    QCOMPARE(SeenStatus(m_bob), RTCXS_PRESENCE_OFFLINE);
    // One offer for one attempt.
    QVERIFY(!m_alice->WaitWatcher(RTCWET_WATCHER_OFFERING, m_bob.uri, 0));

    QCOMPARE(watcher->put_State(RTCWS_ALLOWED), S_OK);
    auto update = m_alice->WaitWatcher(RTCWET_WATCHER_UPDATE, m_bob.uri);
    QVERIFY(update);
    QCOMPARE(update->m_watcher, watcher);
    QVERIFY(m_bob.endpoint->WaitBuddyStatus(m_aliceUri, RTCXS_PRESENCE_BUSY));
    RtcBuddyPtr buddy;
    QCOMPARE(m_bob.endpoint->presence().get_Buddy(m_aliceUri, buddy), S_OK);
    QString notes;
    QCOMPARE(buddy->get_Notes(notes), S_OK);
    QCOMPARE(notes, QStringLiteral("in a meeting"));
}

void TestWatchers::eachDecisionGovernsWhatTheWatcherSees()
{
    QCOMPARE(m_alice->presence().SetLocalPresenceInfo(RTCXS_PRESENCE_ONLINE, {}), S_OK);
    QVERIFY(DecideAllThree());
    QVERIFY(m_bob.endpoint->WaitBuddyStatus(m_aliceUri, RTCXS_PRESENCE_ONLINE));
    QCOMPARE(m_alice->presence().SetLocalPresenceInfo(RTCXS_PRESENCE_AWAY, QStringLiteral("back soon")), S_OK);
    QVERIFY(m_bob.endpoint->WaitBuddyStatus(m_aliceUri, RTCXS_PRESENCE_AWAY));
    // Give the others the same time again to show anything they were sent.
    CEventQueue::Pump(1500);
    QCOMPARE(SeenStatus(m_carol), RTCXS_PRESENCE_OFFLINE);
    QCOMPARE(SeenStatus(m_dave), RTCXS_PRESENCE_OFFLINE);
    QCOMPARE(StatusChanges(m_dave), 0);
    RtcBuddyPtr buddy;
    QCOMPARE(m_carol.endpoint->presence().get_Buddy(m_aliceUri, buddy), S_OK);
    QString notes;
    buddy->get_Notes(notes);
    QVERIFY2(notes.isEmpty(), qPrintable(notes));

    // The decisions are Alice's to read back.
    const std::pair<Peer*, RTC_WATCHER_STATE> expected[] = {
        {&m_bob, RTCWS_ALLOWED}, {&m_carol, RTCWS_BLOCKED}, {&m_dave, RTCWS_DENIED}};
    for (const auto& [peer, want] : expected) {
        RtcWatcherPtr watcher;
        QCOMPARE(m_alice->presence().get_Watcher(peer->uri, watcher), S_OK);
        RTC_WATCHER_STATE state = RTCWS_UNKNOWN;
        watcher->get_State(state);
        QCOMPARE(state, want);
    }
}

void TestWatchers::decisionsSurviveRestart()
{
    QCOMPARE(m_alice->presence().SetLocalPresenceInfo(RTCXS_PRESENCE_ONLINE, {}), S_OK);
    QVERIFY(DecideAllThree());
    QVERIFY(m_bob.endpoint->WaitBuddyStatus(m_aliceUri, RTCXS_PRESENCE_ONLINE));

    QCOMPARE(m_alice->presence().DisablePresence(), S_OK);
    m_alice->events().Clear();
    QVERIFY(m_alice->EnablePresence(m_aliceStore));
    const std::pair<Peer*, RTC_WATCHER_STATE> expected[] = {
        {&m_bob, RTCWS_ALLOWED}, {&m_carol, RTCWS_BLOCKED}, {&m_dave, RTCWS_DENIED}};
    for (const auto& [peer, want] : expected) {
        RtcWatcherPtr watcher;
        QCOMPARE(m_alice->presence().get_Watcher(peer->uri, watcher), S_OK);
        RTC_WATCHER_STATE state = RTCWS_UNKNOWN;
        watcher->get_State(state);
        QCOMPARE(state, want);
    }

    // Every watcher asks again; nobody is offered, and each decision still holds.
    for (Peer* peer : {&m_bob, &m_carol, &m_dave}) {
        RtcBuddyPtr buddy;
        QCOMPARE(peer->endpoint->presence().get_Buddy(m_aliceUri, buddy), S_OK);
        QCOMPARE(buddy->Refresh(), S_OK);
    }
    QCOMPARE(m_alice->presence().SetLocalPresenceInfo(RTCXS_PRESENCE_BE_RIGHT_BACK, {}), S_OK);
    QVERIFY(m_bob.endpoint->WaitBuddyStatus(m_aliceUri, RTCXS_PRESENCE_BE_RIGHT_BACK));
    CEventQueue::Pump(1500);
    QCOMPARE(m_alice->events().Count(RTCE_WATCHER), 0);
    QCOMPARE(SeenStatus(m_carol), RTCXS_PRESENCE_OFFLINE);
    QCOMPARE(SeenStatus(m_dave), RTCXS_PRESENCE_OFFLINE);
    QCOMPARE(SeenStatus(m_bob), RTCXS_PRESENCE_BE_RIGHT_BACK);
}

// Alice sends Bob back to the question and forgets Carol altogether: each is
// cut off, and each is offered to her again on its next attempt.
void TestWatchers::promptedAndRemovedWatchersAreAskedAgain()
{
    QCOMPARE(m_alice->presence().SetLocalPresenceInfo(RTCXS_PRESENCE_ONLINE, {}), S_OK);
    RtcWatcherPtr bob = Watch(m_bob);
    RtcWatcherPtr carol = Watch(m_carol);
    QVERIFY(bob && carol);
    for (const auto& [peer, watcher] : {std::pair{&m_bob, bob}, std::pair{&m_carol, carol}}) {
        QCOMPARE(watcher->put_State(RTCWS_ALLOWED), S_OK);
        QVERIFY(peer->endpoint->WaitBuddyStatus(m_aliceUri, RTCXS_PRESENCE_ONLINE));
    }

    QCOMPARE(bob->put_State(RTCWS_PROMPT), S_OK);
    QCOMPARE(m_alice->presence().RemoveWatcher(carol), S_OK);
    QVERIFY(m_alice->WaitWatcher(RTCWET_WATCHER_REMOVE, m_carol.uri));
    RtcWatcherPtr gone;
    QCOMPARE(m_alice->presence().get_Watcher(m_carol.uri, gone), RTC_E_NOT_EXIST);
    QCOMPARE(m_alice->presence().RemoveWatcher(carol), RTC_E_NOT_EXIST);
    for (Peer* peer : {&m_bob, &m_carol})
        QVERIFY(peer->endpoint->WaitBuddyStatus(m_aliceUri, RTCXS_PRESENCE_OFFLINE));

    QCOMPARE(m_alice->presence().SetLocalPresenceInfo(RTCXS_PRESENCE_ON_THE_PHONE, {}), S_OK);
    for (Peer* peer : {&m_bob, &m_carol}) {
        RtcBuddyPtr buddy;
        QCOMPARE(peer->endpoint->presence().get_Buddy(m_aliceUri, buddy), S_OK);
        QCOMPARE(buddy->Refresh(), S_OK);
    }
    auto bobAgain = m_alice->WaitWatcher(RTCWET_WATCHER_OFFERING, m_bob.uri);
    auto carolAgain = m_alice->WaitWatcher(RTCWET_WATCHER_OFFERING, m_carol.uri);
    QVERIFY(bobAgain && carolAgain);
    QCOMPARE(bobAgain->m_watcher, bob);
    QVERIFY(carolAgain->m_watcher != carol);
    for (const auto& offered : {bobAgain->m_watcher, carolAgain->m_watcher}) {
        RTC_WATCHER_STATE state = RTCWS_UNKNOWN;
        offered->get_State(state);
        QCOMPARE(state, RTCWS_OFFERING);
    }
    // Asked again, neither learns anything before Alice answers.
    CEventQueue::Pump(1500);
    QCOMPARE(SeenStatus(m_bob), RTCXS_PRESENCE_OFFLINE);
    QCOMPARE(SeenStatus(m_carol), RTCXS_PRESENCE_OFFLINE);
    QCOMPARE(carolAgain->m_watcher->put_State(RTCWS_ALLOWED), S_OK);
    QVERIFY(m_carol.endpoint->WaitBuddyStatus(m_aliceUri, RTCXS_PRESENCE_ON_THE_PHONE));
}

QTEST_MAIN(TestWatchers)
#include "tst_watchers.moc"
