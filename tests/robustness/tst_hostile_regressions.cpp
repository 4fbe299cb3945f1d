// Single messages that once crashed, froze or bricked the phone, sent to the real
// program: a MESSAGE with a display name of about 64 KB (straight to the phone
// and through the service) and an OPTIONS with a 16 KB request address. The
// phone drops them before its SIP library parses them, stays registered, and
// starts, registers and works again after a restart, even with a library
// database left behind that it cannot use: it places a call (it is told to dial
// once logged on) and takes one. A request the phone refuses for what it holds
// is answered with an error, so that the service stops sending it again.
#include "CallCheck.h"
#include "PhoneProcess.h"
#include "SipTraffic.h"

#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include <QDir>
#include <QNetworkDatagram>
#include <QtTest>

namespace {
constexpr int kRegisterMs = 30000;
constexpr int kSignallingMs = 15000;
constexpr int kHugeDisplayName = 60 * 1024; // with the headers, the largest UDP datagram
// The service sends a request that gets no answer again after 0.5, 1.5 and 3.5 s.
constexpr int kRetransmissionWindowMs = 4000;

const CEndpoint::Account& kPhone = CEndpoint::kAlice;
const CEndpoint::Account& kCallee = CEndpoint::kFrank;

QByteArray PhoneAddress()
{
    return CSipService::Uri(kPhone.number).toUtf8();
}
} // namespace

class TestHostileRegressions : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<CPhoneProcess> m_phone;
    CSipTraffic m_traffic;

    QByteArray DirectAddress() const
    {
        return "sip:" + kPhone.number.toUtf8() + "@127.0.0.1:" + QByteArray::number(m_phone->sipPort());
    }
    bool Registered() { return m_traffic.Answers(m_service->port(), PhoneAddress(), kRegisterMs); }
    // The trace says the guard dropped a datagram from that port for that reason.
    bool Dropped(int fromPort, const QString& reason)
    {
        const QString line = QStringLiteral("dropped a SIP datagram from 127.0.0.1:%1 (%2)").arg(fromPort).arg(reason);
        QDeadlineTimer deadline(kSignallingMs);
        while (!m_phone->trace().contains(line)) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(100);
        }
        return true;
    }

    // How many datagrams the guard dropped for that reason, from that port, in the trace after the position.
    int DropsAfter(qsizetype position, int fromPort, const QString& reason) const
    {
        return int(m_phone->trace().mid(position).count(
            QStringLiteral("dropped a SIP datagram from 127.0.0.1:%1 (%2)").arg(fromPort).arg(reason)));
    }
private slots:
    void initTestCase()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        m_phone = std::make_unique<CPhoneProcess>(*m_service, CPhoneProcess::Account{kPhone.number, kPhone.password},
                                                  m_home.NewFolder(QStringLiteral("phone")));
        // Direct SIP allowed: every message reaches the guard's checks, not only the sender test.
        QVERIFY(m_phone->Start(true));
        QVERIFY2(Registered(), qPrintable(m_phone->output()));
    }

    void cleanupTestCase()
    {
        m_phone.reset();
        m_service.reset();
    }

    void oversizedMessagesAreDroppedAndThePhoneStaysRegistered_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<bool>("throughService");
        QTest::addColumn<int>("displayName");
        QTest::addColumn<int>("addressUser");
        QTest::addColumn<QString>("reason");
        QTest::newRow("64 KB display name, direct")
            << QByteArray("MESSAGE") << false << kHugeDisplayName << 0 << QStringLiteral("message too large");
        QTest::newRow("64 KB display name, through the service")
            << QByteArray("MESSAGE") << true << kHugeDisplayName << 0 << QStringLiteral("message too large");
        QTest::newRow("display name over the bound, through the service")
            << QByteArray("MESSAGE") << true << 200 << 0 << QStringLiteral("display name too long");
        QTest::newRow("16 KB request address, direct")
            << QByteArray("OPTIONS") << false << 0 << 16 * 1024 << QStringLiteral("headers too large");
    }

    void oversizedMessagesAreDroppedAndThePhoneStaysRegistered()
    {
        QFETCH(QByteArray, method);
        QFETCH(bool, throughService);
        QFETCH(int, displayName);
        QFETCH(int, addressUser);
        QFETCH(QString, reason);
        SipRequest request;
        request.method = method;
        request.requestUri = addressUser      ? "sip:" + QByteArray(addressUser, '7') + "@127.0.0.1"
                             : throughService ? PhoneAddress()
                                              : DirectAddress();
        request.to = '<' + PhoneAddress() + '>';
        if (displayName)
            request.from = '"' + QByteArray(displayName, 'M') + "\" <sip:mallory@hostile.invalid>";
        if (method == "MESSAGE")
            request.body = "hello";
        m_traffic.SendUdp(request.Build(m_traffic.port()), throughService ? m_service->port() : m_phone->sipPort());
        QVERIFY2(Dropped(throughService ? m_service->port() : m_traffic.port(), reason), qPrintable(m_phone->output()));
        QVERIFY2(Registered(), qPrintable(m_phone->output()));
        QVERIFY(m_phone->running());
        // Dropping must not make the library give up its channel to the sender (and its transactions).
        QVERIFY(!m_phone->trace().contains(QStringLiteral("Receive error")));
    }

    // Without the answer the service sends the request again until its transaction
    // times out: four copies within the test service's 5 s, eleven within the usual 32 s.
    void refusedRequestsThroughTheServiceAreAnsweredAndNotSentAgain_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("status");
        QTest::newRow("body type not taken")
            << QByteArray("message/imdn+xml") << QByteArray("<imdn/>") << QStringLiteral("body not taken") << 415;
        QTest::newRow("typing notice not in the plain form")
            << QByteArray("application/im-iscomposing+xml") << QByteArray("<isComposing/>")
            << QStringLiteral("body not taken") << 400;
        QTest::newRow("body over the bound")
            << QByteArray("text/plain") << QByteArray(40 * 1024, 'b') << QStringLiteral("message too large") << 413;
    }

    void refusedRequestsThroughTheServiceAreAnsweredAndNotSentAgain()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, reason);
        QFETCH(int, status);
        SipRequest request;
        request.requestUri = PhoneAddress();
        request.contentType = contentType;
        request.body = body;
        request.callId = "refused-" + QByteArray::number(status) + "@127.0.0.1";
        const qsizetype tracePosition = m_phone->trace().size();
        m_traffic.SendUdp(request.Build(m_traffic.port()), m_service->port());

        const QByteArray answer = m_traffic.WaitAnswer(request.callId, status, kSignallingMs);
        QVERIFY2(!answer.isEmpty(), qPrintable(m_phone->trace().mid(tracePosition)));
        QVERIFY(answer.contains("\r\nCSeq: 1 MESSAGE\r\n"));
        QTest::qWait(kRetransmissionWindowMs);
        // One copy, or two if the service sent it again before the answer came.
        const int copies = DropsAfter(tracePosition, m_service->port(), reason);
        QVERIFY2(copies >= 1 && copies <= 2, qPrintable(QString::number(copies)));
        QVERIFY(m_phone->running());
    }

    void restartedPhoneStartsRegistersAndPlacesACall()
    {
        m_phone->Stop();
        CEndpoint callee(m_home.NewFolder(QStringLiteral("callee")));
        QVERIFY(callee.Logon(*m_service, kCallee));
        // A database the library kept in an earlier version, which it could no longer load.
        QFile stale(m_phone->dataDir() + QStringLiteral("/linphone.db"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray("SQLite format 3") + QByteArray(4096, '\xff'));
        stale.close();

        {
            // The user's other devices: the service's answer to the phone's REGISTER lists
            // all their bindings in one Contact line, longer than one address may be.
            std::vector<std::unique_ptr<CEndpoint>> devices;
            for (int i = 0; i < 3; ++i) {
                devices.push_back(std::make_unique<CEndpoint>(m_home.NewFolder(QStringLiteral("device%1").arg(i))));
                QVERIFY(devices.back()->Logon(*m_service, kPhone));
            }
            // The phone dials once it is registered.
            QVERIFY(m_phone->Start(false, true, {kCallee.number}));
            RtcSessionPtr call = callee.WaitIncoming(kRegisterMs);
            QVERIFY2(call, qPrintable(m_phone->output()));
            QCOMPARE(call->Terminate(RTCTR_REJECT), S_OK);
            QVERIFY(callee.WaitSession(RTCSS_DISCONNECTED, call));
        }
        QVERIFY2(Registered(), qPrintable(m_phone->output()));
        const QDir data(m_phone->dataDir());
        QVERIFY(!data.exists(QStringLiteral("linphone.db")));
        QCOMPARE(data.entryList({QStringLiteral("linphone.db.set-aside-*")}).size(), 1);

        // SIP only from the service now: a request straight to the phone is dropped.
        SipRequest direct;
        direct.method = "OPTIONS";
        direct.requestUri = DirectAddress();
        m_traffic.SendUdp(direct.Build(m_traffic.port()), m_phone->sipPort());
        QVERIFY(Dropped(m_traffic.port(), QStringLiteral("not from the service")));

        // And calls reach it.
        QVERIFY(CallRings(callee, CSipService::Uri(kPhone.number)));
        QVERIFY(m_phone->running());
    }
};

QTEST_MAIN(TestHostileRegressions)
#include "tst_hostile_regressions.moc"
