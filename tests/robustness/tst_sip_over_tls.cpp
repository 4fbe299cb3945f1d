// SIP over TLS through the local service, with the guard of this process in
// front of the library as in the program: logon, call and message work; a
// server whose certificate cannot be verified fails the logon; hostile requests
// the service relays over TLS are refused once decrypted, before the library
// parses them (the 64 KB display name crashed it), answered through the
// service, and the phone stays reachable, also after the fuzzer's mix.
#include "SipStorm.h"
#include "SipTraffic.h"

#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include <QtTest>

namespace {
constexpr int kSignallingMs = 15000;
// The phone registers again over a new connection when the guard ended the old one.
constexpr int kReachableAgainMs = 30000;
// The fuzzer's mix, relayed over TLS.
constexpr int kStormSize = 1000;
constexpr quint32 kStormSeed = 12;

bool IsMessage(const IRTCMessagingEvent& event)
{
    return event.m_eventType == RTCMSET_MESSAGE;
}

QByteArray AddressOf(const CEndpoint::Account& account)
{
    return CSipService::Uri(account.number).toUtf8();
}
} // namespace

class TestSipOverTls : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<CEndpoint> m_alice;
    std::unique_ptr<CEndpoint> m_bob;

    std::unique_ptr<CEndpoint> TlsEndpoint(const QString& name, const QString& trustedCaFile)
    {
        return std::make_unique<CEndpoint>(m_home.NewFolder(name), QString(), QString(), trustedCaFile);
    }

    // A message from one endpoint to another; true once it arrived with its text.
    bool MessageArrives(CEndpoint& from, CEndpoint& to, const CEndpoint::Account& recipient, const QString& text)
    {
        RtcSessionPtr session;
        RtcParticipantPtr participant;
        if (FAILED(from.client().CreateSession(RTCST_IM, {}, {}, 0, session)) ||
            FAILED(session->AddParticipant(CSipService::Uri(recipient.number), {}, participant)) ||
            FAILED(session->SendMessage({}, text, 1)))
            return false;
        auto received = to.events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsMessage, kSignallingMs);
        session->Terminate(RTCTR_NORMAL);
        return received && received->m_message == text;
    }

    // A call from one endpoint to another that the callee answers; true once both ends saw it end.
    bool CallConnects(CEndpoint& from, CEndpoint& to, const CEndpoint::Account& callee)
    {
        RtcSessionPtr call = from.Call(CSipService::Uri(callee.number));
        RtcSessionPtr incoming = call ? to.WaitIncoming() : nullptr;
        return incoming && SUCCEEDED(incoming->Answer()) && from.WaitSession(RTCSS_CONNECTED, call) &&
               SUCCEEDED(call->Terminate(RTCTR_NORMAL)) && to.WaitSession(RTCSS_DISCONNECTED, incoming);
    }

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        m_alice = TlsEndpoint(QStringLiteral("alice"), m_service->caFile());
        m_bob = TlsEndpoint(QStringLiteral("bob"), m_service->caFile());
        QVERIFY(m_alice->Logon(*m_service, CEndpoint::kAlice, RTCTR_TLS));
        QVERIFY(m_bob->Logon(*m_service, CEndpoint::kBob, RTCTR_TLS));
    }

    void cleanupTestCase()
    {
        m_alice.reset();
        m_bob.reset();
        m_service.reset();
    }

    void callsAndMessagesGoThrough()
    {
        QVERIFY(CallConnects(*m_alice, *m_bob, CEndpoint::kBob));
        QVERIFY(MessageArrives(*m_alice, *m_bob, CEndpoint::kBob, QStringLiteral("over TLS")));
    }

    // Verification is never off: without the authority that signed the
    // service's certificate the logon fails at once, as a network failure.
    void anUnverifiableServerFailsTheLogon_data()
    {
        QTest::addColumn<QString>("trustedCaFile");
        QTest::newRow("the system's authorities") << QString();
        QTest::newRow("an authority file that is not there") << m_home.NewFolder(QStringLiteral("none")) + "/ca.pem";
    }

    void anUnverifiableServerFailsTheLogon()
    {
        QFETCH(QString, trustedCaFile);
        std::unique_ptr<CEndpoint> carol =
            TlsEndpoint(QStringLiteral("carol-%1").arg(QTest::currentDataTag()), trustedCaFile);
        QVERIFY(carol->RequestProfile(*m_service, CEndpoint::kCarol, RTCTR_TLS));
        QCOMPARE(carol->client().provisioning()->EnableProfile(carol->profile(), RTCRF_REGISTER_ALL), S_OK);
        auto failed = carol->events().Take<IRTCRegistrationStateChangeEvent>(
            RTCE_REGISTRATION_STATE_CHANGE, [](const auto& e) { return e.m_state != RTCRS_REGISTERING; },
            kSignallingMs);
        QVERIFY(failed);
        QCOMPARE(failed->m_state, RTCRS_ERROR);
        QCOMPARE(failed->m_statusCode, RTC_E_NETWORK);
    }

    // The answer the sender gets: the guard's, where a refusal may be answered,
    // or the service's time-out (408) where it may not: never the library's.
    void hostileRequestsAreRefusedOnceDecrypted_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QByteArray>("subject");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<int>("status");
        // Bytes that cannot be cut into a message within the bounds end the
        // connection; any other refused message is taken out and it goes on.
        QTest::addColumn<bool>("connectionEnds");
        const QByteArray mallory = "<sip:mallory@hostile.invalid>";
        const QByteArray bob = '<' + AddressOf(CEndpoint::kBob) + '>';
        const QByteArray text = "text/plain";
        QTest::newRow("64 KB display name")
            << '"' + QByteArray(60 * 1024, 'M') + "\" " + mallory << bob << QByteArray() << text << 408 << true;
        QTest::newRow("16 KB address") << mallory << "<sip:" + QByteArray(16 * 1024, '7') + "@127.0.0.1>"
                                       << QByteArray() << text << 408 << true;
        QTest::newRow("display name over the bound")
            << '"' + QByteArray(200, 'M') + "\" " + mallory << bob << QByteArray() << text << 408 << false;
        QTest::newRow("header line over the bound") << mallory << bob << QByteArray(2048, 's') << text << 400 << false;
        QTest::newRow("body type not taken")
            << mallory << bob << QByteArray() << QByteArray("message/imdn+xml") << 415 << false;
    }

    void hostileRequestsAreRefusedOnceDecrypted()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QByteArray, subject);
        QFETCH(QByteArray, contentType);
        QFETCH(int, status);
        QFETCH(bool, connectionEnds);
        CSipTraffic traffic;
        SipRequest request;
        request.requestUri = AddressOf(CEndpoint::kBob);
        request.from = from;
        request.to = to;
        if (!subject.isEmpty())
            request.extraHeaders = "Subject: " + subject + "\r\n";
        request.contentType = contentType;
        request.body = "hello";
        request.callId = "tls-" + QByteArray(QTest::currentDataTag()).toHex().left(32) + "@127.0.0.1";
        m_bob->events().Clear();
        traffic.SendUdp(request.Build(traffic.port()), m_service->port());

        const QByteArray answer = traffic.WaitAnswer(request.callId, status, kSignallingMs);
        QVERIFY2(!answer.isEmpty(), "no answer with the expected status reached the sender");
        QVERIFY(answer.contains("\r\nCSeq: 1 MESSAGE\r\n"));
        QCOMPARE(m_bob->events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsMessage, 0), nullptr);
        QCOMPARE(m_bob->events().Take<IRTCSessionStateChangeEvent>(RTCE_SESSION_STATE_CHANGE, {}, 0), nullptr);
        // Where the guard ended the connection the request came on, the phone registers again over a new one.
        if (connectionEnds)
            QVERIFY(traffic.Answers(m_service->port(), AddressOf(CEndpoint::kBob), kReachableAgainMs));
        QVERIFY(MessageArrives(*m_alice, *m_bob, CEndpoint::kBob, QStringLiteral("still there?")));
    }

    // The fuzzer's mutated requests relayed over TLS: the phone survives them,
    // is reachable again and still takes a call.
    void mutatedRequestsLeaveThePhoneWorking()
    {
        CSipTraffic storm;
        QVERIFY(SendSipStorm(storm, SipStormTarget::ThroughService(AddressOf(CEndpoint::kBob), m_service->port()),
                             SipTransport::Udp, kStormSize, kStormSeed));
        CSipTraffic probe;
        QVERIFY(probe.Answers(m_service->port(), AddressOf(CEndpoint::kBob), kReachableAgainMs));
        m_bob->events().Clear();
        QVERIFY(CallConnects(*m_alice, *m_bob, CEndpoint::kBob));
    }
};

QTEST_MAIN(TestSipOverTls)
#include "tst_sip_over_tls.moc"
