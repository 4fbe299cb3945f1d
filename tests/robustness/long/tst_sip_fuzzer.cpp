// A fuzzer of our own against the real program (the sanitizer build, offscreen):
// ten thousand mutated SIP requests over UDP and TCP, through the service while
// only the service may send SIP, and straight to the phone with that turned off.
// After each run the phone still runs with no sanitizer report, its event loop
// never stalled beyond the bound, it is still registered and a call still rings.
#include "../CallCheck.h"
#include "PhoneProcess.h"
#include "SipStorm.h"
#include "SipTraffic.h"

#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include <QtTest>

namespace {
constexpr int kRegisterMs = 30000;
constexpr int kAfterStormMs = 60000;
// The event loop's longest stall allowed while the traffic arrives: a freeze,
// not a speed. Before the guard, one malformed address of 1 to 4 KB cost this
// build 2 to 20 s of parsing; until the guard bounded what slows the library
// within the other limits (a method its scanner cannot read, bytes after the
// body, long words in addresses), this traffic still stalled a release build
// for up to 18 s. Now the release build shows no stall over 50 ms under it
// (bench/bench_stalls.cpp), and this build up to about 130 ms on a shared,
// loaded two-core machine, of which its thread ran at most 40 ms.
constexpr int kStallBoundMs = 3000;

const CEndpoint::Account& kPhone = CEndpoint::kAlice;
const CEndpoint::Account& kCaller = CEndpoint::kFrank;

enum class Path { Service, Direct };
} // namespace

Q_DECLARE_METATYPE(Path)
Q_DECLARE_METATYPE(SipTransport)

class TestSipFuzzer : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<CPhoneProcess> m_phone;
    std::unique_ptr<CEndpoint> m_caller;
    CSipTraffic m_probe;
    CSipTraffic m_fuzz;
    bool m_directSip = false;

    // The phone, (re)started when the mode changes; false if it does not register.
    bool PhoneIn(bool directSip)
    {
        if (m_phone && m_phone->running() && m_directSip == directSip)
            return true;
        if (m_phone)
            m_phone->Stop();
        else
            m_phone =
                std::make_unique<CPhoneProcess>(*m_service, CPhoneProcess::Account{kPhone.number, kPhone.password},
                                                m_home.NewFolder(QStringLiteral("phone")));
        m_directSip = directSip;
        // Without the SIP trace, whose writing would be most of the work.
        return m_phone->Start(directSip, false) && Registered();
    }
    bool Registered()
    {
        return m_probe.Answers(m_service->port(), CSipService::Uri(kPhone.number).toUtf8(), kRegisterMs);
    }

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        m_caller = std::make_unique<CEndpoint>(m_home.NewFolder(QStringLiteral("caller")));
        QVERIFY(m_caller->Logon(*m_service, kCaller));
    }

    void cleanupTestCase()
    {
        m_caller.reset();
        m_phone.reset();
        m_service.reset();
    }

    void mutatedTrafficLeavesThePhoneWorking_data()
    {
        QTest::addColumn<Path>("path");
        QTest::addColumn<SipTransport>("transport");
        QTest::addColumn<int>("count");
        QTest::addColumn<quint32>("seed");
        QTest::newRow("UDP through the service") << Path::Service << SipTransport::Udp << 3500 << 1u;
        QTest::newRow("TCP through the service") << Path::Service << SipTransport::Tcp << 1500 << 2u;
        QTest::newRow("UDP straight to the phone") << Path::Direct << SipTransport::Udp << 3500 << 3u;
        QTest::newRow("TCP straight to the phone") << Path::Direct << SipTransport::Tcp << 1500 << 4u;
    }

    void mutatedTrafficLeavesThePhoneWorking()
    {
        QFETCH(Path, path);
        QFETCH(SipTransport, transport);
        QFETCH(int, count);
        QFETCH(quint32, seed);
        QVERIFY2(PhoneIn(path == Path::Direct), qPrintable(m_phone->output()));
        const qsizetype before = m_phone->output().size();

        const SipStormTarget target =
            path == Path::Service
                ? SipStormTarget::ThroughService(CSipService::Uri(kPhone.number).toUtf8(), m_service->port())
                : SipStormTarget::Direct(kPhone.number, m_phone->sipPort());
        QVERIFY(SendSipStorm(m_fuzz, target, transport, count, seed));

        // The service keeps sending again what the phone dropped for up to 32 s
        // (its transaction timers); the probe gets through once that is over.
        QVERIFY2(m_probe.Answers(m_service->port(), CSipService::Uri(kPhone.number).toUtf8(), kAfterStormMs),
                 qPrintable(m_phone->output().mid(before)));
        QVERIFY2(m_phone->running(), qPrintable(m_phone->output().mid(before)));
        const QString output = m_phone->output().mid(before);
        QVERIFY2(!output.contains(QStringLiteral("Sanitizer")) && !output.contains(QStringLiteral("runtime error")),
                 qPrintable(output));
        const int stall = m_phone->LongestStallAfter(before);
        for (const CPhoneProcess::Stall& each : m_phone->StallsAfter(before))
            qInfo("seed %u: stalled %d ms, %d ms of it running", seed, each.ms, each.runningMs);
        QVERIFY2(stall <= kStallBoundMs, qPrintable(output));
        QVERIFY(CallRings(*m_caller, CSipService::Uri(kPhone.number)));
    }
};

QTEST_MAIN(TestSipFuzzer)
#include "tst_sip_fuzzer.moc"
