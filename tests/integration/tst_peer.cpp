// The headless peer as a real process on the local service: it echoes instant
// messages with typing notices around them, publishes the status it is given to
// whoever watches it, allows those watchers for good, and refuses a status it
// does not know.
#include "ChildProcess.h"
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include <QtTest>

namespace {

const QString kEchoPrefix = QStringLiteral("echo: ");

using Messaging = std::shared_ptr<IRTCMessagingEvent>;

// What a party saw of the peer's answer in its session, in order: "typing", "idle" and the echo's text.
QStringList WaitAnswer(CEndpoint& endpoint, const RtcSessionPtr& session)
{
    QStringList seen;
    const auto ofSession = [&session](const IRTCMessagingEvent& e) { return e.m_session == session; };
    // Up to the echo, then a while longer for the notice after it.
    int waitMs = CEventQueue::kDefaultWaitMs;
    while (Messaging event = endpoint.events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, ofSession, waitMs)) {
        if (event->m_eventType == RTCMSET_MESSAGE) {
            seen << event->m_message;
            waitMs = 1500;
        } else {
            seen << (event->m_userStatus == RTCMUS_TYPING ? QStringLiteral("typing") : QStringLiteral("idle"));
        }
    }
    return seen;
}

// Typing first, the echo, idle once: a message ends its sender's typing on arrival, so the
// layer may report the idle before the echo and not again after it.
bool EchoedBetweenTypingAndIdle(const QStringList& seen, const QString& text)
{
    const QString typing = QStringLiteral("typing");
    const QString idle = QStringLiteral("idle");
    const QString echo = kEchoPrefix + text;
    return seen == QStringList{typing, echo, idle} || seen == QStringList{typing, idle, echo};
}

} // namespace

class TestPeer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void messagesComeBackWithPrefixBetweenTypingAndIdle();
    void chosenStatusReachesWatcherAllowedForGood();
    void unknownStatusNameIsRefused();

private:
    QString Folder(const QString& name) const { return m_home.NewFolder(name); }
    QStringList PeerArguments(const QString& dataDir, const QStringList& extra = {}) const;
    QString PeerUri() const { return CSipService::Uri(CEndpoint::kErin.number); }

    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
};

void TestPeer::initTestCase()
{
    m_service = std::make_unique<CSipService>(Folder(QStringLiteral("service")));
    QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
}

void TestPeer::cleanupTestCase()
{
    m_service.reset();
}

QStringList TestPeer::PeerArguments(const QString& dataDir, const QStringList& extra) const
{
    return QStringList{QStringLiteral("--server"),   m_service->server(),
                       QStringLiteral("--user"),     CEndpoint::kErin.number,
                       QStringLiteral("--password"), CEndpoint::kErin.password,
                       QStringLiteral("--data-dir"), dataDir} +
           extra;
}

void TestPeer::messagesComeBackWithPrefixBetweenTypingAndIdle()
{
    CChildProcess peer;
    QVERIFY(peer.Start(QStringLiteral(ORVALO_PEER_PATH), PeerArguments(Folder(QStringLiteral("peer-messages"))),
                       QStringLiteral("registered")));
    CEndpoint alice(Folder(QStringLiteral("alice-messages")));
    CEndpoint bob(Folder(QStringLiteral("bob-messages")));
    QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
    QVERIFY(bob.Logon(*m_service, CEndpoint::kBob));

    RtcSessionPtr aliceSession;
    RtcSessionPtr bobSession;
    RtcParticipantPtr participant;
    QCOMPARE(alice.client().CreateSession(RTCST_IM, {}, {}, 0, aliceSession), S_OK);
    QCOMPARE(aliceSession->AddParticipant(PeerUri(), {}, participant), S_OK);
    QCOMPARE(bob.client().CreateSession(RTCST_IM, {}, {}, 0, bobSession), S_OK);
    QCOMPARE(bobSession->AddParticipant(PeerUri(), {}, participant), S_OK);

    // Markup and line breaks come back as they went; the peer's report keeps to one line.
    const QString first = QStringLiteral("<b>two</b>\nlines & «more»");
    QCOMPARE(aliceSession->SendMessage({}, first, 1), S_OK);
    QCOMPARE(bobSession->SendMessage({}, QStringLiteral("from bob"), 1), S_OK);
    for (auto [endpoint, session, text] :
         {std::tuple{&alice, aliceSession, first}, std::tuple{&bob, bobSession, QStringLiteral("from bob")}}) {
        const QStringList seen = WaitAnswer(*endpoint, session);
        QVERIFY2(EchoedBetweenTypingAndIdle(seen, text), qPrintable(seen.join(QStringLiteral(" | "))));
    }
    QVERIFY(peer.WaitOutput(QStringLiteral("message from %1: <b>two</b>\\nlines & «more»\n")
                                .arg(CSipService::Uri(CEndpoint::kAlice.number))));
    QVERIFY(
        peer.WaitOutput(QStringLiteral("message from %1: from bob\n").arg(CSipService::Uri(CEndpoint::kBob.number))));

    // A second message in the same session is answered in it again, typing notices and all.
    QCOMPARE(aliceSession->SendMessage({}, QStringLiteral("again"), 2), S_OK);
    const QStringList again = WaitAnswer(alice, aliceSession);
    QVERIFY2(EchoedBetweenTypingAndIdle(again, QStringLiteral("again")), qPrintable(again.join(QStringLiteral(" | "))));
    QCOMPARE(peer.Stop(), 0);
    QVERIFY2(!peer.output().contains(QStringLiteral("error")), qPrintable(peer.output()));
}

void TestPeer::chosenStatusReachesWatcherAllowedForGood()
{
    const QString peerData = Folder(QStringLiteral("peer-presence"));
    const QString alice = Folder(QStringLiteral("alice-presence"));
    const QString aliceUri = CSipService::Uri(CEndpoint::kAlice.number);
    CEndpoint watcher(alice);
    QVERIFY(watcher.Logon(*m_service, CEndpoint::kAlice));
    QVERIFY(watcher.EnablePresence(alice + QStringLiteral("/store.xml")));
    {
        CChildProcess peer;
        QVERIFY(peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                           PeerArguments(peerData, {QStringLiteral("--presence"), QStringLiteral("away")}),
                           QStringLiteral("presence away")));
        RtcBuddyPtr buddy;
        QCOMPARE(watcher.presence().AddBuddy(PeerUri(), {}, {}, true, {}, 0, buddy), S_OK);
        QVERIFY(peer.WaitOutput(QStringLiteral("watcher allowed ") + aliceUri));
        QVERIFY(watcher.WaitBuddyStatus(PeerUri(), RTCXS_PRESENCE_AWAY));
        QCOMPARE(peer.Stop(), 0);
    }

    // Started again with its store, the peer knows the watcher: no new question, and the new status shows.
    CChildProcess peer;
    QVERIFY(peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                       PeerArguments(peerData, {QStringLiteral("--presence"), QStringLiteral("on-the-phone")}),
                       QStringLiteral("presence on-the-phone")));
    RtcBuddyPtr buddy;
    QCOMPARE(watcher.presence().get_Buddy(PeerUri(), buddy), S_OK);
    QCOMPARE(buddy->Refresh(), S_OK);
    QVERIFY(watcher.WaitBuddyStatus(PeerUri(), RTCXS_PRESENCE_ON_THE_PHONE));
    CEventQueue::Pump(1000);
    QVERIFY2(!peer.output().contains(QStringLiteral("watcher")), qPrintable(peer.output()));
    QCOMPARE(peer.Stop(), 0);
    watcher.ShutDown();
}

void TestPeer::unknownStatusNameIsRefused()
{
    QProcess peer;
    peer.start(QStringLiteral(ORVALO_PEER_PATH), PeerArguments(Folder(QStringLiteral("peer-refused")),
                                                               {QStringLiteral("--presence"), QStringLiteral("Away")}));
    QVERIFY(peer.waitForFinished(10000));
    QCOMPARE(peer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(peer.exitCode(), 2);
    const QString error = QString::fromUtf8(peer.readAllStandardError());
    QVERIFY2(error.contains(QStringLiteral("unknown presence status \"Away\"")), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("be-right-back")), qPrintable(error));
    QVERIFY(peer.readAllStandardOutput().isEmpty());
}

QTEST_MAIN(TestPeer)
#include "tst_peer.moc"
