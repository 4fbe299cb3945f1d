// The running program and the headless peer hold one Qt, version 6, and none of
// the media library's plugins: the one Debian ships is a video display that
// brings Qt 5 into the process, and a voice phone needs no plugin at all. The
// SIP library's socket and TLS reads reach the program's own functions, which
// its guard routes through itself, also from inside the module.
#include "tests/integration/ChildProcess.h"
#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include <QFile>
#include <QSet>
#include <QtTest>

namespace {
constexpr int kStartMs = 20000;

// The files mapped into the process, read while it runs.
QSet<QString> MappedFiles(qint64 pid)
{
    QSet<QString> files;
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return files;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const qsizetype path = line.indexOf('/');
        if (path >= 0)
            files.insert(QString::fromUtf8(line.mid(path)));
    }
    return files;
}

// Whether the program's milestones say that its engine, and so its SIP module, started.
bool EngineStarted(const QString& milestones)
{
    QFile file(milestones);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(" engine-started");
}
} // namespace

class TestLoadedLibraries : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;

    // The SIP library must be in, so that the process was looked at once it had set up its core.
    static void VerifyOneQtAndNoMediaPlugin(qint64 pid)
    {
        const QSet<QString> files = MappedFiles(pid);
        const auto holds = [&files](const QString& part) {
            return std::any_of(files.begin(), files.end(),
                               [&part](const QString& file) { return file.contains(part); });
        };
        QVERIFY2(holds(QStringLiteral("/liblinphone.so")), "the SIP library is not loaded yet");
        QVERIFY(holds(QStringLiteral("/libQt6Core.so")));
        for (const QString& file : files) {
            QVERIFY2(!file.contains(QStringLiteral("/libQt5")), qPrintable(file));
            QVERIFY2(!file.contains(QStringLiteral("/mediastreamer/plugins/")), qPrintable(file));
        }
    }

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
    }

    // The window is shown first; the engine starts the SIP core after it.
    void phone()
    {
        const QString milestones = m_home.NewFolder(QStringLiteral("phone-run")) + QStringLiteral("/milestones.txt");
        CChildProcess phone;
        QVERIFY(phone.Start(QStringLiteral(ORVALO_PHONE_PATH),
                            {QStringLiteral("--sip-server"), m_service->server(), QStringLiteral("--data-dir"),
                             m_home.NewFolder(QStringLiteral("phone")), QStringLiteral("--milestones"), milestones},
                            QString()));
        QTRY_VERIFY_WITH_TIMEOUT(EngineStarted(milestones), kStartMs);
        VerifyOneQtAndNoMediaPlugin(phone.pid());
    }

    // The dynamic linker's record of where each call of a library goes.
    void theSipLibrarysReadsReachTheProgram()
    {
        const QString trace = m_home.NewFolder(QStringLiteral("bindings")) + QStringLiteral("/ld");
        const QString milestones = m_home.NewFolder(QStringLiteral("bound-run")) + QStringLiteral("/milestones.txt");
        qputenv("LD_BIND_NOW", "1");
        qputenv("LD_DEBUG", "bindings");
        qputenv("LD_DEBUG_OUTPUT", trace.toLocal8Bit());
        CChildProcess phone;
        const bool started =
            phone.Start(QStringLiteral(ORVALO_PHONE_PATH),
                        {QStringLiteral("--sip-server"), m_service->server(), QStringLiteral("--data-dir"),
                         m_home.NewFolder(QStringLiteral("bound")), QStringLiteral("--milestones"), milestones},
                        QString());
        for (const char* name : {"LD_BIND_NOW", "LD_DEBUG", "LD_DEBUG_OUTPUT"})
            qunsetenv(name);
        QVERIFY(started);
        QTRY_VERIFY_WITH_TIMEOUT(EngineStarted(milestones), kStartMs);
        QFile bindings(trace + QStringLiteral(".%1").arg(phone.pid()));
        QVERIFY2(bindings.open(QIODevice::ReadOnly), qPrintable(bindings.fileName()));
        const QString record = QString::fromUtf8(bindings.readAll());
        const QString program = QFileInfo(QStringLiteral(ORVALO_PHONE_PATH)).fileName();
        for (const char* symbol : {"recv", "recvfrom", "bctbx_ssl_read", "bctbx_ssl_context_free"}) {
            const QRegularExpression bound(
                QStringLiteral("libbellesip\\.so[^\\n]* to [^\\n]*/%1 \\[0\\]: normal symbol `%2'")
                    .arg(QRegularExpression::escape(program), QString::fromLatin1(symbol)));
            QVERIFY2(bound.match(record).hasMatch(), symbol);
        }
    }

    void peer()
    {
        CChildProcess peer;
        QVERIFY(peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                           {QStringLiteral("--server"), m_service->server(), QStringLiteral("--user"),
                            CEndpoint::kBob.number, QStringLiteral("--password"), CEndpoint::kBob.password,
                            QStringLiteral("--data-dir"), m_home.NewFolder(QStringLiteral("peer"))},
                           QStringLiteral("registered"), kStartMs));
        VerifyOneQtAndNoMediaPlugin(peer.pid());
    }
};

QTEST_GUILESS_MAIN(TestLoadedLibraries)
#include "tst_loaded_libraries.moc"
