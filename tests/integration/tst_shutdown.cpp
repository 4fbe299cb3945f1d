// Shutting the layer down while a registration or a call is up: the far end and
// the server learn about it, the cleanup event comes, and objects the program
// still holds stay safe to use.
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include <QtTest>

class TestShutdown : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void registrationEndsBeforeCleanupIsReported();
    void callUpIsHungUpAtShutdown();
    void immediateShutdownWithCallUpIsSafe();
    void heldObjectsOutliveTheClient();
    void shutdownBeforeInitializeIsRefusedCleanly();

private:
    QString Folder(const QString& name) const { return m_home.NewFolder(name); }

    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
};

void TestShutdown::initTestCase()
{
    m_service = std::make_unique<CSipService>(Folder(QStringLiteral("service")));
    QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
}

void TestShutdown::cleanupTestCase()
{
    m_service.reset();
}

void TestShutdown::registrationEndsBeforeCleanupIsReported()
{
    CEndpoint alice(Folder(QStringLiteral("alice")));
    QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
    QCOMPARE(alice.client().PrepareForShutdown(), S_OK);
    // As the program does: Shutdown right away, the cleanup event later.
    QCOMPARE(alice.client().Shutdown(), S_OK);
    QCOMPARE(alice.NextRegistration()->m_state, RTCRS_UNREGISTERING);
    QCOMPARE(alice.NextRegistration()->m_state, RTCRS_NOT_REGISTERED);
    QVERIFY(alice.events().Take<IRTCClientEvent>(
        RTCE_CLIENT, [](const auto& e) { return e.m_eventType == RTCCET_ASYNC_CLEANUP_DONE; }));
    QCOMPARE(alice.client().Shutdown(), S_OK);
    QCOMPARE(alice.client().PrepareForShutdown(), RTC_E_INVALID_STATE);

    CEndpoint bob(Folder(QStringLiteral("bob")));
    QVERIFY(bob.Logon(*m_service, CEndpoint::kBob));
    RtcSessionPtr call = bob.Call(CSipService::Uri(CEndpoint::kAlice.number));
    QVERIFY(call);
    auto ended = bob.WaitSession(RTCSS_DISCONNECTED, call);
    QVERIFY(ended);
    QCOMPARE(ended->m_statusCode, RTC_E_STATUS_CLIENT_TEMPORARILY_NOT_AVAILABLE);
}

void TestShutdown::callUpIsHungUpAtShutdown()
{
    CEndpoint alice(Folder(QStringLiteral("alice-call")));
    CEndpoint bob(Folder(QStringLiteral("bob-call")));
    QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
    QVERIFY(bob.Logon(*m_service, CEndpoint::kBob));
    RtcSessionPtr call = alice.Call(CSipService::Uri(CEndpoint::kBob.number));
    QVERIFY(call);
    RtcSessionPtr incoming = bob.WaitIncoming();
    QVERIFY(incoming);
    QCOMPARE(incoming->Answer(), S_OK);
    QVERIFY(alice.WaitSession(RTCSS_CONNECTED, call));

    QVERIFY(alice.ShutDown());
    QVERIFY(alice.WaitSession(RTCSS_DISCONNECTED, call, 0));
    QVERIFY(bob.WaitSession(RTCSS_DISCONNECTED, incoming));
}

void TestShutdown::immediateShutdownWithCallUpIsSafe()
{
    CEndpoint bob(Folder(QStringLiteral("bob-immediate")));
    QVERIFY(bob.Logon(*m_service, CEndpoint::kBob));
    RtcSessionPtr incoming;
    {
        CEndpoint alice(Folder(QStringLiteral("alice-immediate")));
        QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
        RtcSessionPtr call = alice.Call(CSipService::Uri(CEndpoint::kBob.number));
        QVERIFY(call);
        incoming = bob.WaitIncoming();
        QVERIFY(incoming);
        QCOMPARE(incoming->Answer(), S_OK);
        QVERIFY(alice.WaitSession(RTCSS_CONNECTED, call));
        QCOMPARE(alice.client().Shutdown(), S_OK);
        RTC_SESSION_STATE state = RTCSS_IDLE;
        QCOMPARE(call->get_State(state), S_OK);
        QCOMPARE(state, RTCSS_DISCONNECTED);
        QCOMPARE(call->Terminate(RTCTR_NORMAL), S_FALSE);
    }
    // The core's stop hangs the call up on its way out.
    QVERIFY(bob.WaitSession(RTCSS_DISCONNECTED, incoming));
}

void TestShutdown::heldObjectsOutliveTheClient()
{
    RtcProfilePtr profile;
    RtcSessionPtr session;
    {
        CEndpoint alice(Folder(QStringLiteral("alice-held")));
        QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
        profile = alice.profile();
        QCOMPARE(alice.client().CreateSession(RTCST_PC_TO_PHONE, {}, {}, 0, session), S_OK);
        QVERIFY(alice.ShutDown());
        RtcSessionPtr another;
        QCOMPARE(alice.client().CreateSession(RTCST_PC_TO_PHONE, {}, {}, 0, another), RTC_E_INVALID_STATE);
        QCOMPARE(alice.client().provisioning()->EnableProfile(profile, RTCRF_REGISTER_ALL), RTC_E_INVALID_STATE);
    }
    RtcParticipantPtr participant;
    QCOMPARE(session->AddParticipant(CSipService::Uri(CEndpoint::kBob.number), {}, participant), RTC_E_INVALID_STATE);
    RtcClientPtr client;
    QCOMPARE(session->get_Client(client), RTC_E_INVALID_STATE);
    RTC_REGISTRATION_STATE state = RTCRS_REGISTERED;
    QCOMPARE(profile->get_State(state), S_OK);
    QCOMPARE(state, RTCRS_NOT_REGISTERED);
}

void TestShutdown::shutdownBeforeInitializeIsRefusedCleanly()
{
    LinphoneClientOptions options;
    options.dataDir = Folder(QStringLiteral("never-started"));
    RtcClientPtr client;
    QCOMPARE(CreateLinphoneRtcClient(options, client), S_OK);
    QCOMPARE(client->PrepareForShutdown(), RTC_E_INVALID_STATE);
    QCOMPARE(client->Shutdown(), S_OK);
    QCOMPARE(client->Initialize(), RTC_E_INVALID_STATE);
}

QTEST_MAIN(TestShutdown)
#include "tst_shutdown.moc"
