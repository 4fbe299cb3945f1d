// Logon and registration of the liblinphone layer against the local service.
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QtTest>

namespace {

using Registration = std::shared_ptr<IRTCRegistrationStateChangeEvent>;

constexpr QFileDevice::Permissions kGroupOrOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                    QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                    QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

class TestRegistration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void firstRegisterIsChallengedThenAnswered();
    void wrongPasswordIsRejectedAgain();
    void forbiddenAnswerIsReportedAs403();
    void disablingReportsUnregisteringThenNotRegistered();
    void registersAgainAfterServiceRestart();
    void filterDeliversOnlyRequestedEvents();
    void invalidProfileRequestsAreRefused();
    void libraryFilesArePrivateAndOutsideHomeRoot();

private:
    QString Folder(const QString& name) const { return m_home.NewFolder(name); }

    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
};

void TestRegistration::initTestCase()
{
    m_service = std::make_unique<CSipService>(Folder(QStringLiteral("service")));
    QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
}

void TestRegistration::cleanupTestCase()
{
    m_service.reset();
}

void TestRegistration::firstRegisterIsChallengedThenAnswered()
{
    CEndpoint alice(Folder(QStringLiteral("alice")));
    RtcProfilePtr profile = alice.RequestProfile(*m_service, CEndpoint::kAlice);
    QVERIFY(profile);
    QString uri;
    QCOMPARE(profile->get_UserURI(uri), S_OK);
    QCOMPARE(uri, CSipService::Uri(CEndpoint::kAlice.number));

    QCOMPARE(alice.client().provisioning()->EnableProfile(profile, RTCRF_REGISTER_ALL), S_OK);
    Registration registering = alice.NextRegistration();
    QVERIFY(registering);
    QCOMPARE(registering->m_state, RTCRS_REGISTERING);
    QCOMPARE(registering->m_profile, profile);
    Registration rejected = alice.NextRegistration();
    QVERIFY(rejected);
    QCOMPARE(rejected->m_state, RTCRS_REJECTED);
    QCOMPARE(rejected->m_statusCode, RTC_E_STATUS_CLIENT_UNAUTHORIZED);
    // No credentials: the library must not retry on its own, so the program sees the 401 once.
    QVERIFY(!alice.NextRegistration(1500));

    QCOMPARE(profile->SetCredentials(uri, CEndpoint::kAlice.number, CEndpoint::kAlice.password), S_OK);
    QCOMPARE(alice.client().provisioning()->EnableProfile(profile, RTCRF_REGISTER_ALL), S_OK);
    QCOMPARE(alice.NextRegistration()->m_state, RTCRS_REGISTERING);
    Registration registered = alice.NextRegistration();
    QVERIFY(registered);
    QCOMPARE(registered->m_state, RTCRS_REGISTERED);
    QCOMPARE(registered->m_statusCode, S_OK);
    RTC_REGISTRATION_STATE state = RTCRS_NOT_REGISTERED;
    QCOMPARE(profile->get_State(state), S_OK);
    QCOMPARE(state, RTCRS_REGISTERED);
}

void TestRegistration::wrongPasswordIsRejectedAgain()
{
    CEndpoint bob(Folder(QStringLiteral("bob")));
    RtcProfilePtr profile = bob.RequestProfile(*m_service, CEndpoint::kBob);
    QVERIFY(profile);
    QCOMPARE(bob.client().provisioning()->EnableProfile(profile, RTCRF_REGISTER_ALL), S_OK);
    QVERIFY(bob.WaitRegistration(RTCRS_REJECTED));

    profile->SetCredentials({}, CEndpoint::kBob.number, QStringLiteral("not-the-password"));
    QCOMPARE(bob.client().provisioning()->EnableProfile(profile, RTCRF_REGISTER_ALL), S_OK);
    QCOMPARE(bob.NextRegistration()->m_state, RTCRS_REGISTERING);
    Registration rejected = bob.NextRegistration();
    QVERIFY(rejected);
    QCOMPARE(rejected->m_state, RTCRS_REJECTED);
    QCOMPARE(rejected->m_statusCode, RTC_E_STATUS_CLIENT_UNAUTHORIZED);
}

void TestRegistration::forbiddenAnswerIsReportedAs403()
{
    CSipService strict(Folder(QStringLiteral("service-403")));
    QVERIFY2(strict.Start(true), qPrintable(strict.error()));
    CEndpoint carol(Folder(QStringLiteral("carol")));
    RtcProfilePtr profile = carol.RequestProfile(strict, CEndpoint::kCarol);
    QVERIFY(profile);
    profile->SetCredentials({}, CEndpoint::kCarol.number, QStringLiteral("wrong"));
    QCOMPARE(carol.client().provisioning()->EnableProfile(profile, RTCRF_REGISTER_ALL), S_OK);
    QCOMPARE(carol.NextRegistration()->m_state, RTCRS_REGISTERING);
    Registration rejected = carol.NextRegistration();
    QVERIFY(rejected);
    QCOMPARE(rejected->m_state, RTCRS_REJECTED);
    QCOMPARE(rejected->m_statusCode, RTC_E_STATUS_CLIENT_FORBIDDEN);
}

void TestRegistration::disablingReportsUnregisteringThenNotRegistered()
{
    CEndpoint erin(Folder(QStringLiteral("erin")));
    QVERIFY(erin.Logon(*m_service, CEndpoint::kErin));
    RtcProfilePtr profile = erin.profile();
    QCOMPARE(erin.client().provisioning()->DisableProfile(profile), S_OK);
    Registration unregistering = erin.NextRegistration();
    QVERIFY(unregistering);
    QCOMPARE(unregistering->m_state, RTCRS_UNREGISTERING);
    Registration gone = erin.NextRegistration();
    QVERIFY(gone);
    QCOMPARE(gone->m_state, RTCRS_NOT_REGISTERED);
    QVERIFY(!erin.NextRegistration(1000));

    // The server forgot the phone: a call to it finds nobody.
    CEndpoint caller(Folder(QStringLiteral("erin-caller")));
    QVERIFY(caller.Logon(*m_service, CEndpoint::kAlice));
    RtcSessionPtr call = caller.Call(CSipService::Uri(CEndpoint::kErin.number));
    QVERIFY(call);
    auto ended = caller.WaitSession(RTCSS_DISCONNECTED, call);
    QVERIFY(ended);
    QCOMPARE(ended->m_statusCode, RTC_E_STATUS_CLIENT_TEMPORARILY_NOT_AVAILABLE);
}

void TestRegistration::registersAgainAfterServiceRestart()
{
    CSipService service(Folder(QStringLiteral("service-restart")));
    QVERIFY2(service.Start(), qPrintable(service.error()));
    CEndpoint alice(Folder(QStringLiteral("restart-alice")));
    QVERIFY(alice.Logon(service, CEndpoint::kAlice, RTCTR_TCP));

    service.Stop();
    // The connection to the server broke: the phone keeps trying rather than giving up.
    QVERIFY(alice.WaitRegistration(RTCRS_REGISTERING, 15000));
    QVERIFY2(service.Start(), qPrintable(service.error()));
    QVERIFY(alice.WaitRegistration(RTCRS_REGISTERED, 60000));
    QCOMPARE(alice.events().Take<IRTCRegistrationStateChangeEvent>(
                 RTCE_REGISTRATION_STATE_CHANGE,
                 [](const auto& e) { return e.m_state == RTCRS_ERROR || e.m_state == RTCRS_LOGGED_OFF; }, 0),
             nullptr);

    // The restarted server knows the phone again: a call reaches it.
    CEndpoint bob(Folder(QStringLiteral("restart-bob")));
    QVERIFY(bob.Logon(service, CEndpoint::kBob));
    QVERIFY(bob.Call(CSipService::Uri(CEndpoint::kAlice.number)));
    RtcSessionPtr incoming = alice.WaitIncoming();
    QVERIFY(incoming);
    QCOMPARE(incoming->Terminate(RTCTR_REJECT), S_OK);
}

void TestRegistration::filterDeliversOnlyRequestedEvents()
{
    CEndpoint alice(Folder(QStringLiteral("filter")));
    alice.client().put_EventFilter(RTCEF_PROFILE);
    RtcProfilePtr profile = alice.RequestProfile(*m_service, CEndpoint::kAlice);
    QVERIFY(profile);
    QCOMPARE(alice.client().provisioning()->EnableProfile(profile, RTCRF_REGISTER_ALL), S_OK);
    CEventQueue::Pump(1500);
    QCOMPARE(alice.events().Count(RTCE_REGISTRATION_STATE_CHANGE), 0);
    RTC_REGISTRATION_STATE state = RTCRS_NOT_REGISTERED;
    profile->get_State(state);
    QCOMPARE(state, RTCRS_REJECTED);
}

void TestRegistration::invalidProfileRequestsAreRefused()
{
    CEndpoint alice(Folder(QStringLiteral("invalid")));
    IRTCClientProvisioning2* provisioning = alice.client().provisioning();
    QCOMPARE(provisioning->GetProfile({}, {}, QStringLiteral("not a uri"), m_service->server(), RTCTR_UDP, 1),
             E_INVALIDARG);
    QCOMPARE(provisioning->GetProfile({}, {}, CSipService::Uri(CEndpoint::kAlice.number), QString(), RTCTR_UDP, 2),
             E_INVALIDARG);
    QCOMPARE(provisioning->GetProfile({}, {}, CSipService::Uri(CEndpoint::kAlice.number), m_service->server(), 3, 3),
             E_INVALIDARG);
    CEventQueue::Pump(200);
    QCOMPARE(alice.events().Count(RTCE_PROFILE), 0);
}

void TestRegistration::libraryFilesArePrivateAndOutsideHomeRoot()
{
    const QString folder = Folder(QStringLiteral("private"));
    {
        CEndpoint alice(folder);
        QVERIFY(alice.Logon(*m_service, CEndpoint::kAlice));
        QVERIFY(alice.ShutDown());
    }
    QVERIFY(QFileInfo(folder + QStringLiteral("/linphonerc")).exists());
    QCOMPARE(QFileInfo(folder).permissions() & kGroupOrOthers, QFileDevice::Permissions());
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QVERIFY2((QFileInfo(path).permissions() & kGroupOrOthers) == QFileDevice::Permissions(), qPrintable(path));
    }
    QVERIFY2(m_home.RootEntries().isEmpty(), qPrintable(m_home.RootEntries().join(u' ')));
    // Credentials are given at each logon and never kept on disk.
    QFile config(folder + QStringLiteral("/linphonerc"));
    QVERIFY(config.open(QIODevice::ReadOnly));
    QVERIFY(!config.readAll().contains(CEndpoint::kAlice.password.toUtf8()));
}

QTEST_MAIN(TestRegistration)
#include "tst_registration.moc"
