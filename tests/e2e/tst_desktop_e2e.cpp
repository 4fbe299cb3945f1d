// The installed program as the desktop starts it: a phone runs (over a socket
// file a crashed phone left behind), and clicking a tel: link starts the program
// a second time, which hands the number to the running phone; that phone calls
// the headless peer through the local service.
#include "tests/desktop/StaleSocket.h"
#include "tests/integration/ChildProcess.h"
#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include "app/SingleInstance.h"
#include "engine/SettingsStore.h"

#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

namespace {
constexpr int kSignallingMs = 15000;
const CEndpoint::Account& kPhone = CEndpoint::kAlice;
const CEndpoint::Account& kPeer = CEndpoint::kCarol; // a member number

bool Answers(const QString& path)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    return socket.waitForConnected(500);
}
} // namespace

class TestDesktopEndToEnd : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    CChildProcess m_peer;
    CChildProcess m_phone;
    QStringList m_phoneArguments;

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        QVERIFY(m_peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                             {QStringLiteral("--server"), m_service->server(), QStringLiteral("--user"), kPeer.number,
                              QStringLiteral("--password"), kPeer.password, QStringLiteral("--data-dir"),
                              m_home.NewFolder(QStringLiteral("peer"))},
                             QStringLiteral("registered"), kSignallingMs));
        m_phoneArguments = {
            QStringLiteral("--sip-server"),  m_service->server(),
            QStringLiteral("--sip-domain"),  QString::fromLatin1(CSipService::kDomain),
            QStringLiteral("--data-dir"),    m_home.NewFolder(QStringLiteral("phone")),
            QStringLiteral("--record-file"), m_home.NewFolder(QStringLiteral("sounds")) + QStringLiteral("/heard.wav")};

        // The phone logs on by itself, as a user who ticked "Automatically logon next time".
        CSettingsStore::WriteSetting(QLatin1String(kSettingUserUri), kPhone.number);
        CSettingsStore::WriteSetting(QLatin1String(kSettingAccount), kPhone.number);
        CSettingsStore::WriteSetting(QLatin1String(kSettingPassword), kPhone.password);
        CSettingsStore::WriteSetting(QLatin1String(kSettingRememberPassword), QStringLiteral("1"));
        CSettingsStore::WriteSetting(QLatin1String(kSettingAutoLogon), QStringLiteral("1"));
    }

    void cleanupTestCase()
    {
        m_phone.Stop();
        m_peer.Stop();
        m_service.reset();
    }

    // From a terminal without a display, as over ssh.
    void helpAndVersionNeedNoDisplay()
    {
        QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
        headless.remove(QStringLiteral("DISPLAY"));
        headless.remove(QStringLiteral("WAYLAND_DISPLAY"));
        headless.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        for (const char* option : {"--help", "--version"}) {
            QProcess asked;
            asked.setProcessEnvironment(headless);
            asked.start(QStringLiteral(ORVALO_PHONE_PATH), {QString::fromLatin1(option)});
            QVERIFY(asked.waitForFinished(kSignallingMs));
            const QByteArray output = asked.readAllStandardOutput();
            QCOMPARE(asked.exitCode(), 0);
            QVERIFY2(output.contains(qstrcmp(option, "--help") == 0 ? "--sip-server" : "OrvaloPhone 1.12"),
                     output.constData());
        }
    }

    void aMalformedOptionEndsTheProgramAtOnce()
    {
        QProcess refused;
        refused.start(QStringLiteral(ORVALO_PHONE_PATH),
                      {QStringLiteral("--sip-server"), QStringLiteral("bad host:xx")});
        QVERIFY(refused.waitForFinished(kSignallingMs));
        QCOMPARE(refused.exitCode(), 2);
        QVERIFY2(refused.readAllStandardError().contains("--sip-server \"bad host:xx\" is not"), "no clear message");
    }

    void aStaleSocketDoesNotBlockTheFirstStart()
    {
        const QString socket = CSingleInstance::DefaultSocketPath();
        QVERIFY(LeaveStaleSocket(socket));
        QVERIFY(!Answers(socket));

        QVERIFY(m_phone.Start(QStringLiteral(ORVALO_PHONE_PATH), m_phoneArguments, QString()));
        QTRY_VERIFY2_WITH_TIMEOUT(Answers(socket), qPrintable(m_phone.output()), kSignallingMs);
    }

    void aSecondStartWithATelLinkCallsFromTheRunningPhone()
    {
        QProcess second;
        second.setProcessChannelMode(QProcess::MergedChannels);
        second.start(QStringLiteral(ORVALO_PHONE_PATH),
                     m_phoneArguments + QStringList{QStringLiteral("tel:") + kPeer.number});
        QVERIFY(second.waitForFinished(kSignallingMs));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QVERIFY2(second.exitCode() == 0, second.readAll().constData());

        QVERIFY2(m_peer.WaitOutput(QStringLiteral("incoming ") + CSipService::Uri(kPhone.number), kSignallingMs),
                 qPrintable(m_phone.output()));
        QVERIFY(m_peer.WaitOutput(QStringLiteral("connected"), kSignallingMs));
    }
};

QTEST_GUILESS_MAIN(TestDesktopEndToEnd)
#include "tst_desktop_e2e.moc"
