// What the command line accepts, what it refuses with a message, and which
// number a link given to the program names.
#include "app/CommandLine.h"
#include "engine/AddressRules.h"
#include "engine/LinkAddress.h"

#include <QTemporaryDir>
#include <QtTest>

using EOutcome = SCommandLineResult::EOutcome;

class TestCommandLine : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_sound;

    static SCommandLineResult Read(const QStringList& arguments)
    {
        return ReadCommandLine(QStringList{QStringLiteral("orvalo-phone")} + arguments);
    }

private slots:
    void initTestCase()
    {
        m_sound = m_dir.filePath(QStringLiteral("tone.wav"));
        QFile file(m_sound);
        QVERIFY(file.open(QIODevice::WriteOnly));
        ServiceConfig config = ServiceConfig::current();
        config.sipDomain = QStringLiteral("sip.orvalo.test");
        ServiceConfig::setCurrent(config);
    }

    void malformedValuesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named"); // the message names the option
        const QString missingFolder = m_dir.filePath(QStringLiteral("missing/heard.wav"));
        QTest::newRow("server with a blank") << QStringList{"--sip-server", "bad host:xx"} << "--sip-server";
        QTest::newRow("server port not a number") << QStringList{"--sip-server", "host:xx"} << "--sip-server";
        QTest::newRow("server port too high") << QStringList{"--sip-server", "127.0.0.1:65536"} << "--sip-server";
        QTest::newRow("server port zero") << QStringList{"--sip-server", "127.0.0.1:0"} << "--sip-server";
        QTest::newRow("server v6 without brackets") << QStringList{"--sip-server", "::1:5060"} << "--sip-server";
        QTest::newRow("blank server") << QStringList{"--sip-server", "  "} << "--sip-server";
        QTest::newRow("domain with a port") << QStringList{"--sip-domain", "sip.orvalo.test:5060"} << "--sip-domain";
        QTest::newRow("portal with a path") << QStringList{"--web-portal", "www.orvalo.test/x"} << "--web-portal";
        QTest::newRow("unreadable play file")
            << QStringList{"--play-file", m_dir.filePath("none.wav")} << "--play-file";
        QTest::newRow("play file is a folder") << QStringList{"--play-file", m_dir.path()} << "--play-file";
        QTest::newRow("record into no folder") << QStringList{"--record-file", missingFolder} << "--record-file";
        QTest::newRow("trace into no folder") << QStringList{"--sip-trace", missingFolder} << "--sip-trace";
        QTest::newRow("port out of range") << QStringList{"--sip-port", "70000"} << "--sip-port";
        QTest::newRow("port with a sign") << QStringList{"--sip-port", "+5060"} << "--sip-port";
        QTest::newRow("unknown option") << QStringList{"--sip-proxy", "x"} << "sip-proxy";
        QTest::newRow("two addresses") << QStringList{"tel:1", "tel:2"} << "one address";
        QTest::newRow("overlong address") << QStringList{QString(kMaxAddressLength + 1, u'1')} << "longer";
    }
    void malformedValuesAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        const SCommandLineResult result = Read(arguments);
        QCOMPARE(result.outcome, EOutcome::Refuse);
        QVERIFY2(result.text.contains(named), qPrintable(result.text));
    }

    void goodValuesAreTaken()
    {
        const QString heard = m_dir.filePath(QStringLiteral("heard.wav"));
        const SCommandLineResult result =
            Read({"--sip-server", "[::1]:5070", "--sip-domain", "sip.orvalo.test", "--web-portal", "127.0.0.1:8080",
                  "--play-file", m_sound, "--record-file", heard, "--sip-port", "65535", "tel:+1-800-555-1234"});
        QCOMPARE(result.outcome, EOutcome::Run);
        QCOMPARE(result.line.service.sipServer, QStringLiteral("[::1]:5070"));
        QCOMPARE(result.line.service.webPortal, QStringLiteral("127.0.0.1:8080"));
        QCOMPARE(result.line.client.playFile, m_sound);
        QCOMPARE(result.line.client.recordFile, heard);
        QCOMPARE(result.line.client.sipPort, 65535);
        QCOMPARE(result.line.address, QStringLiteral("tel:+1-800-555-1234"));
    }

    void helpAndVersionAreShown()
    {
        QCoreApplication::setApplicationVersion(QStringLiteral("1.12"));
        const SCommandLineResult help = Read({"--help"});
        QCOMPARE(help.outcome, EOutcome::ShowText);
        QVERIFY(help.text.contains(QStringLiteral("--sip-server")));
        QVERIFY(help.text.contains(QStringLiteral("tel:")));
        const SCommandLineResult version = Read({"--version"});
        QCOMPARE(version.outcome, EOutcome::ShowText);
        QVERIFY(version.text.contains(QStringLiteral("1.12")));
    }

    // The number each link names, and whether the call prompt's check accepts it.
    void linksNameNumbers_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("valid");
        QTest::newRow("member by tel") << "tel:9995550001"
                                       << "9995550001" << true;
        QTest::newRow("north america global") << "tel:+1-800-555-1234"
                                              << "18005551234" << true;
        QTest::newRow("international global") << "tel:+44.20.7946.0958"
                                              << "011442079460958" << true;
        QTest::newRow("tel parameters") << "tel:+1(800)5551234;ext=12"
                                        << "18005551234" << true;
        QTest::newRow("percent-encoded plus") << "tel:%2B18005551234"
                                              << "18005551234" << true;
        QTest::newRow("sip at the service") << "sip:9995550001@sip.orvalo.test"
                                            << "9995550001" << true;
        QTest::newRow("sips, port and parameters") << "SIPS:18005551234@SIP.orvalo.test:5061;transport=tls"
                                                   << "18005551234" << true;
        QTest::newRow("sip user without a host") << "sip:9995550001"
                                                 << "9995550001" << true;
        QTest::newRow("sip at another domain") << "sip:9995550001@evil.example"
                                               << "" << false;
        QTest::newRow("sip name, not a number") << "sip:alice@sip.orvalo.test"
                                                << "alice" << false;
        QTest::newRow("other scheme") << "http://example.com"
                                      << "" << false;
        QTest::newRow("bare number as typed") << "1 800 555-1234"
                                              << "1 800 555-1234" << true;
        QTest::newRow("bare number too short") << "555123"
                                               << "555123" << false;
    }
    void linksNameNumbers()
    {
        QFETCH(QString, link);
        QFETCH(QString, number);
        QFETCH(bool, valid);
        QCOMPARE(NumberFromLink(link), number);
        QCOMPARE(CheckPhoneNumber(NumberFromLink(link)) == 0, valid);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
