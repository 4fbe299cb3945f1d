// Message sessions between liblinphone endpoints through the local service.
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include <QtTest>

namespace {

using Messaging = std::shared_ptr<IRTCMessagingEvent>;

bool IsMessage(const IRTCMessagingEvent& event)
{
    return event.m_eventType == RTCMSET_MESSAGE;
}
bool IsStatus(const IRTCMessagingEvent& event)
{
    return event.m_eventType == RTCMSET_STATUS;
}

QString UriOf(const RtcParticipantPtr& participant)
{
    QString uri;
    if (participant)
        participant->get_UserURI(uri);
    return uri;
}

} // namespace

class TestMessages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void messagesFlowBothWaysInOrder();
    void typingThenIdleAreSeenOnceEach();
    void unreachablePartyIsDisconnected_data();
    void unreachablePartyIsDisconnected();
    void firstMessageFromNewPartyOpensIncomingSession();
    void threePartySessionReachesBothOthers();
    void terminatedSessionDropsItsParticipants();
    void rejectingAnswerModeDropsMessages();

private:
    QString Folder(const QString& name) const { return m_home.NewFolder(name); }
    RtcSessionPtr StartSession(CEndpoint& from, const QStringList& numbers);

    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<CEndpoint> m_alice;
    std::unique_ptr<CEndpoint> m_bob;
};

void TestMessages::initTestCase()
{
    m_service = std::make_unique<CSipService>(Folder(QStringLiteral("service")));
    QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
}

void TestMessages::cleanupTestCase()
{
    m_service.reset();
}

void TestMessages::init()
{
    m_alice = std::make_unique<CEndpoint>(Folder(QStringLiteral("alice")));
    m_bob = std::make_unique<CEndpoint>(Folder(QStringLiteral("bob")));
    QVERIFY(m_alice->Logon(*m_service, CEndpoint::kAlice, RTCTR_UDP, QStringLiteral("Alice")));
    QVERIFY(m_bob->Logon(*m_service, CEndpoint::kBob));
}

void TestMessages::cleanup()
{
    m_alice.reset();
    m_bob.reset();
}

RtcSessionPtr TestMessages::StartSession(CEndpoint& from, const QStringList& numbers)
{
    RtcSessionPtr session;
    if (FAILED(from.client().CreateSession(RTCST_MULTIPARTY_IM, {}, {}, 0, session)))
        return nullptr;
    for (const QString& number : numbers) {
        RtcParticipantPtr participant;
        if (FAILED(session->AddParticipant(CSipService::Uri(number), {}, participant)))
            return nullptr;
    }
    return session;
}

void TestMessages::messagesFlowBothWaysInOrder()
{
    const QStringList texts = {QStringLiteral("Grüße aus Köln — naïve café ✓ 日本語"),
                               QStringLiteral("<b>not bold</b> & <script>alert(1)</script> &amp;"),
                               QStringLiteral("line one\nline two")};
    RtcSessionPtr session = StartSession(*m_alice, {CEndpoint::kBob.number});
    QVERIFY(session);
    int cookie = 10;
    for (const QString& text : texts)
        QCOMPARE(session->SendMessage({}, text, cookie++), S_OK);

    RtcSessionPtr incoming = m_bob->WaitIncoming();
    QVERIFY(incoming);
    RTC_SESSION_TYPE type = RTCST_PC_TO_PC;
    incoming->get_Type(type);
    QVERIFY(type == RTCST_IM || type == RTCST_MULTIPARTY_IM);
    for (const QString& text : texts) {
        Messaging received = m_bob->events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsMessage);
        QVERIFY(received);
        QCOMPARE(received->m_message, text);
        QCOMPARE(received->m_session, incoming);
        QCOMPARE(UriOf(received->m_participant), CSipService::Uri(CEndpoint::kAlice.number));
        QVERIFY(received->m_messageHeader.contains(QStringLiteral("text/plain")));
    }
    for (int done = 10; done < cookie; ++done) {
        auto completed = m_alice->events().Take<IRTCSessionOperationCompleteEvent>(
            RTCE_SESSION_OPERATION_COMPLETE, [done](const auto& e) { return e.m_cookie == done; });
        QVERIFY(completed);
        QCOMPARE(completed->m_statusCode, S_OK);
    }
    auto connected = m_alice->events().Take<IRTCParticipantStateChangeEvent>(
        RTCE_PARTICIPANT_STATE_CHANGE, [](const auto& e) { return e.m_state == RTCPS_CONNECTED; });
    QVERIFY(connected);

    const QString reply = QStringLiteral("réponse <i>ok</i>");
    QCOMPARE(incoming->SendMessage(QStringLiteral("text/plain"), reply, 1), S_OK);
    Messaging answer = m_alice->events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsMessage);
    QVERIFY(answer);
    QCOMPARE(answer->m_message, reply);
    QCOMPARE(answer->m_session, session);
}

void TestMessages::typingThenIdleAreSeenOnceEach()
{
    RtcSessionPtr session = StartSession(*m_alice, {CEndpoint::kBob.number});
    QVERIFY(session);
    QCOMPARE(session->SendMessage({}, QStringLiteral("hello"), 1), S_OK);
    QVERIFY(m_bob->events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsMessage));

    QCOMPARE(session->SendMessageStatus(RTCMUS_TYPING, 2), S_OK);
    Messaging typing = m_bob->events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsStatus);
    QVERIFY(typing);
    QCOMPARE(typing->m_userStatus, RTCMUS_TYPING);
    QCOMPARE(UriOf(typing->m_participant), CSipService::Uri(CEndpoint::kAlice.number));
    QCOMPARE(session->SendMessageStatus(RTCMUS_IDLE, 3), S_OK);
    Messaging idle = m_bob->events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsStatus);
    QVERIFY(idle);
    QCOMPARE(idle->m_userStatus, RTCMUS_IDLE);
    // Nothing repeats on its own afterwards.
    CEventQueue::Pump(2000);
    QVERIFY(!m_bob->events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsStatus, 0));
    QCOMPARE(session->SendMessageStatus(static_cast<RTC_MESSAGING_USER_STATUS>(7), 4), E_INVALIDARG);
}

void TestMessages::unreachablePartyIsDisconnected_data()
{
    QTest::addColumn<QString>("number");
    QTest::newRow("not registered") << CEndpoint::kDave.number;
    QTest::newRow("unknown") << QStringLiteral("15559990000");
}

void TestMessages::unreachablePartyIsDisconnected()
{
    QFETCH(QString, number);
    RtcSessionPtr session = StartSession(*m_alice, {number});
    QVERIFY(session);
    auto pending = m_alice->events().Take<IRTCParticipantStateChangeEvent>(RTCE_PARTICIPANT_STATE_CHANGE);
    QVERIFY(pending);
    QCOMPARE(pending->m_state, RTCPS_PENDING);
    QCOMPARE(session->SendMessage({}, QStringLiteral("anyone there?"), 5), S_OK);
    auto gone = m_alice->events().Take<IRTCParticipantStateChangeEvent>(RTCE_PARTICIPANT_STATE_CHANGE);
    QVERIFY(gone);
    QCOMPARE(gone->m_state, RTCPS_DISCONNECTED);
    QVERIFY(FAILED(gone->m_statusCode));
    QCOMPARE(gone->m_participant, pending->m_participant);
    auto completed = m_alice->events().Take<IRTCSessionOperationCompleteEvent>(RTCE_SESSION_OPERATION_COMPLETE);
    QVERIFY(completed);
    QCOMPARE(completed->m_cookie, 5);
    QVERIFY(FAILED(completed->m_statusCode));
}

void TestMessages::firstMessageFromNewPartyOpensIncomingSession()
{
    CEndpoint carol(Folder(QStringLiteral("carol")));
    QVERIFY(carol.Logon(*m_service, CEndpoint::kCarol));
    RtcSessionPtr outgoing = StartSession(carol, {CEndpoint::kAlice.number});
    QVERIFY(outgoing);
    QCOMPARE(outgoing->SendMessage({}, QStringLiteral("first contact"), 1), S_OK);

    auto incoming = m_alice->WaitSession(RTCSS_INCOMING);
    QVERIFY(incoming);
    // Accepted at once, as the answer mode asks, before the message is handed over.
    QVERIFY(m_alice->WaitSession(RTCSS_CONNECTED, incoming->m_session));
    Messaging message = m_alice->events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsMessage);
    QVERIFY(message);
    QCOMPARE(message->m_session, incoming->m_session);
    QCOMPARE(message->m_message, QStringLiteral("first contact"));
    QCOMPARE(UriOf(message->m_participant), CSipService::Uri(CEndpoint::kCarol.number));
    QString name;
    QCOMPARE(message->m_participant->get_Name(name), RTC_E_NO_DISPLAY_NAME);
    bool canAdd = false;
    QCOMPARE(incoming->m_session->get_CanAddParticipants(canAdd), S_OK);
    QVERIFY(canAdd);
}

void TestMessages::threePartySessionReachesBothOthers()
{
    CEndpoint carol(Folder(QStringLiteral("carol")));
    QVERIFY(carol.Logon(*m_service, CEndpoint::kCarol));
    RtcSessionPtr session = StartSession(*m_alice, {CEndpoint::kBob.number, CEndpoint::kCarol.number});
    QVERIFY(session);
    QCOMPARE(session->SendMessage({}, QStringLiteral("to both of you"), 1), S_OK);
    for (CEndpoint* other : {m_bob.get(), &carol}) {
        Messaging message = other->events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsMessage);
        QVERIFY(message);
        QCOMPARE(message->m_message, QStringLiteral("to both of you"));
    }
    std::shared_ptr<IRTCEnumParticipants> participants;
    QCOMPARE(session->EnumerateParticipants(participants), S_OK);
    RtcParticipantPtr participant;
    int connected = 0;
    CEventQueue::Pump(300);
    while (participants->Next(participant) == S_OK) {
        RTC_PARTICIPANT_STATE state = RTCPS_IDLE;
        participant->get_State(state);
        connected += state == RTCPS_CONNECTED;
    }
    QCOMPARE(connected, 2);
}

void TestMessages::terminatedSessionDropsItsParticipants()
{
    RtcSessionPtr session = StartSession(*m_alice, {CEndpoint::kBob.number});
    QVERIFY(session);
    QCOMPARE(session->Terminate(RTCTR_NORMAL), S_OK);
    QVERIFY(m_alice->WaitSession(RTCSS_DISCONNECTED, session));
    std::shared_ptr<IRTCEnumParticipants> participants;
    QCOMPARE(session->EnumerateParticipants(participants), S_OK);
    RtcParticipantPtr participant;
    QCOMPARE(participants->Next(participant), S_FALSE);
    QCOMPARE(session->SendMessage({}, QStringLiteral("too late"), 1), RTC_E_INVALID_STATE);

    // A message from that party now opens a new session.
    RtcSessionPtr reply = StartSession(*m_bob, {CEndpoint::kAlice.number});
    QVERIFY(reply);
    QCOMPARE(reply->SendMessage({}, QStringLiteral("still there?"), 1), S_OK);
    auto incoming = m_alice->WaitSession(RTCSS_INCOMING);
    QVERIFY(incoming);
    QVERIFY(incoming->m_session != session);
}

void TestMessages::rejectingAnswerModeDropsMessages()
{
    QCOMPARE(m_bob->client().put_AnswerMode(RTCST_IM, RTCAM_AUTOMATICALLY_REJECT), S_OK);
    RtcSessionPtr session = StartSession(*m_alice, {CEndpoint::kBob.number});
    QVERIFY(session);
    QCOMPARE(session->SendMessage({}, QStringLiteral("ignored"), 1), S_OK);
    QVERIFY(m_alice->events().Take<IRTCSessionOperationCompleteEvent>(RTCE_SESSION_OPERATION_COMPLETE));
    CEventQueue::Pump(500);
    QCOMPARE(m_bob->events().Count(RTCE_MESSAGING), 0);
    QCOMPARE(m_bob->events().Count(RTCE_SESSION_STATE_CHANGE), 0);
}

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
