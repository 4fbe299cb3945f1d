// The program opens its SIP layer as a module at run time: what it says when the
// module is missing or foreign, and that the built module gives a working client.
#include "platform/linphone/module/LinphoneModule.h"
#include "tests/integration/ChildProcess.h"
#include "tests/integration/TestHome.h"

#include <QFile>
#include <QtTest>

#include <dlfcn.h>

namespace {
constexpr int kLoadWaitMs = 20000;

// Whether the module serves, once its load is over; nothing if it did not end in time.
// The context outlives every module of the test.
std::optional<bool> LoadOutcome(CLinphoneModule& module, QObject& context)
{
    const auto serves = std::make_shared<std::optional<bool>>();
    module.WhenLoaded(&context, [serves](bool loaded) { *serves = loaded; });
    return QTest::qWaitFor([serves] { return serves->has_value(); }, kLoadWaitMs) ? *serves : std::nullopt;
}

QString QtCoreFile()
{
    Dl_info info{};
    dladdr(reinterpret_cast<const void*>(&qVersion), &info);
    return QString::fromLocal8Bit(info.dli_fname);
}
} // namespace

class TestSipModule : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    QObject m_context;

private slots:
    void aModuleThatCannotServeIsRefusedWithTheReason_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        const QString missing = m_home.path() + QStringLiteral("/lib/orvalo-phone/orvalo-linphone.so");
        QTest::newRow("missing") << missing << missing;
        const QString text = m_home.NewFolder(QStringLiteral("text")) + QStringLiteral("/orvalo-linphone.so");
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a library\n") > 0);
        QTest::newRow("not a library") << text << text;
        QTest::newRow("another library") << QtCoreFile() << QStringLiteral("is not the phone's SIP module");
    }
    void aModuleThatCannotServeIsRefusedWithTheReason()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        CLinphoneModule module(path.toStdString());
        QVERIFY(LoadOutcome(module, m_context) == std::optional<bool>(false));
        QVERIFY2(module.Error().contains(reason), qPrintable(module.Error()));
        RtcClientPtr client;
        QCOMPARE(module.CreateClient({}, client), E_FAIL);
        QVERIFY(!client);
    }

    void theBuiltModuleGivesAClient()
    {
        CLinphoneModule module(ORVALO_SIP_MODULE_PATH);
        QVERIFY2(LoadOutcome(module, m_context) == std::optional<bool>(true), qPrintable(module.Error()));
        LinphoneClientOptions options;
        options.dataDir = m_home.NewFolder(QStringLiteral("data"));
        RtcClientPtr client;
        QCOMPARE(module.CreateClient(options, client), S_OK);
        QVERIFY(client);
        int version = 0;
        QCOMPARE(client->get_Version(version), S_OK);
        QVERIFY(version > 0);
    }

    // A program copied away from its module tells the user instead of crashing.
    void theProgramWithoutItsModuleSaysWhy()
    {
        const QString program = m_home.NewFolder(QStringLiteral("bin")) + QStringLiteral("/orvalo-phone");
        QVERIFY(QFile::copy(QStringLiteral(ORVALO_PHONE_PATH), program));
        CChildProcess phone;
        QVERIFY(phone.Start(program, {QStringLiteral("--data-dir"), m_home.NewFolder(QStringLiteral("phone"))},
                            QStringLiteral("its SIP module could not be loaded"), 20000));
        const QString expected = QDir::cleanPath(QFileInfo(program).absolutePath() +
                                                 QStringLiteral("/../lib/orvalo-phone/orvalo-linphone.so"));
        QVERIFY2(phone.output().contains(expected), qPrintable(phone.output()));
        phone.Stop();
    }
};

QTEST_MAIN(TestSipModule)
#include "tst_sip_module.moc"
