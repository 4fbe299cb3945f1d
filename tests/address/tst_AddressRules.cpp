#include "engine/AddressRules.h"
#include "engine/ServiceConfig.h"

#include <QTest>

class TestAddressRules : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ServiceConfig::setCurrent(ServiceConfig::fromBuildAndEnvironment()); }

    void checkPhoneNumber_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("expected");

        QTest::newRow("plain North American") << "18005551234" << 0;
        QTest::newRow("blanks and hyphen") << "1 800 555-1234" << 0;
        QTest::newRow("member, ten digits") << "9991234567" << 0;
        QTest::newRow("international, fifteen digits") << "011441234567890" << 0;
        QTest::newRow("shortest") << "1234567" << 0;
        QTest::newRow("longest") << "01144123456789012345" << 0;
        QTest::newRow("area code in parentheses") << "1 (800) 555-1234" << 0;
        QTest::newRow("area code in parentheses, no blanks") << "1(800)555-1234" << 0;
        QTest::newRow("dot before area code") << "1.800 555 1234" << 0;
        QTest::newRow("hyphen before area code") << "1-800 555 1234" << 0;

        QTest::newRow("empty") << "" << 1;
        QTest::newRow("six digits") << "180055" << 1;
        QTest::newRow("21 characters") << "011441234567890123456" << 1;
        QTest::newRow("no allowed prefix") << "5551234" << 1;
        QTest::newRow("0 without 11") << "0123456789" << 1;
        QTest::newRow("99 without 9") << "9981234567" << 1;
        QTest::newRow("leading plus") << "+18005551234" << 1;
        QTest::newRow("leading blank") << " 18005551234" << 1;
        QTest::newRow("letter at position 1") << "1800555123A" << 1;
        QTest::newRow("hyphen at position 4") << "1800555-234" << 1;
        QTest::newRow("hyphens everywhere") << "1-800-555-1234" << 1;
        QTest::newRow("dot before last four") << "1800555.1234" << 1;
        QTest::newRow("tab instead of blank") << "1\t8005551234" << 1;
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("1800555123\u0664") << 1;
        QTest::newRow("opening parenthesis never closed") << "1 (800 555-1234" << 1;
        QTest::newRow("parenthesis closed three places on") << "1(80)055512345" << 1;
        QTest::newRow("slash before area code") << "1/800 555 1234" << 1;
        QTest::newRow("plus before area code") << "1+800 555 1234" << 1;
    }

    void checkPhoneNumber()
    {
        QFETCH(QString, number);
        QFETCH(int, expected);
        QCOMPARE(CheckPhoneNumber(number), expected);
    }

    void toServiceSipUri_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("expected");

        QTest::newRow("digits only") << "18005551234"
                                     << "sip:18005551234@voip.example.test";
        QTest::newRow("parentheses, blanks, hyphen") << "1 (800) 555-1234"
                                                     << "sip:18005551234@voip.example.test";
        QTest::newRow("plus and blanks") << "+44 20 1234"
                                         << "sip:44201234@voip.example.test";
        QTest::newRow("dots") << "999.123.4567"
                              << "sip:9991234567@voip.example.test";
        QTest::newRow("letters are kept") << "alice"
                                          << "sip:alice@voip.example.test";
    }

    void toServiceSipUri()
    {
        QFETCH(QString, number);
        QFETCH(QString, expected);
        ServiceConfig::setCurrent({QStringLiteral("127.0.0.1"), QStringLiteral("voip.example.test"), QString()});
        QCOMPARE(ToServiceSipUri(number), expected);
    }

    void toDisplayNumber_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");

        const QString domain = QStringLiteral("voip.example.test");
        QTest::newRow("member URI") << domain << "sip:9991234567@voip.example.test"
                                    << "9991234567";
        QTest::newRow("telephone URI keeps its plus") << domain << "tel:+1-800-555-1234"
                                                      << "+18005551234";
        QTest::newRow("foreign SIP address") << domain << "sip:john.doe@example.com"
                                             << "johndoeexamplecom";
        QTest::newRow("scheme and domain in other case") << domain << "SIP:9991234567@VOIP.Example.TEST"
                                                         << "9991234567";
        QTest::newRow("telephone scheme in other case") << domain << "Tel:+44 20 1234"
                                                        << "+44201234";
        QTest::newRow("configured domain in other case") << "VOIP.EXAMPLE.TEST"
                                                         << "sip:999@voip.example.test"
                                                         << "999";
        QTest::newRow("only ASCII letters match without case")
            << domain << QString::fromUtf8("\u017Fip:999@voip.example.test") << QString::fromUtf8("\u017Fip:999");
        QTest::newRow("empty domain removes nothing more") << ""
                                                           << "sip:999@voip.example.test"
                                                           << "999voipexampletest";
        QTest::newRow("number as typed") << domain << "1 (800) 555-1234"
                                         << "18005551234";
        QTest::newRow("cut to 20 characters") << domain << "sip:averyveryverylongusername@other.org"
                                              << "averyveryverylonguse";
        QTest::newRow("cut before trimming") << domain << "1234567890123456789\tX"
                                             << "1234567890123456789";
        QTest::newRow("white space trimmed at both ends") << domain << "\t999\n"
                                                          << "999";
        QTest::newRow("cut never splits a surrogate pair")
            << domain << QString::fromUtf8("1234567890123456789\U0001F4DE99") << "1234567890123456789";
        QTest::newRow("empty") << domain << ""
                               << "";
    }

    void toDisplayNumber()
    {
        QFETCH(QString, domain);
        QFETCH(QString, address);
        QFETCH(QString, expected);
        ServiceConfig::setCurrent({QStringLiteral("127.0.0.1"), domain, QString()});
        ToDisplayNumber(address);
        QCOMPARE(address, expected);
    }

    void serviceConfigFromEnvironment()
    {
        qunsetenv("ORVALO_SIP_SERVER");
        qunsetenv("ORVALO_SIP_DOMAIN");
        qunsetenv("ORVALO_WEB_PORTAL");
        const ServiceConfig builtIn = ServiceConfig::fromBuildAndEnvironment();
        QVERIFY(!builtIn.sipServer.isEmpty() && !builtIn.sipDomain.isEmpty() && !builtIn.webPortal.isEmpty());

        qputenv("ORVALO_SIP_SERVER", "127.0.0.1:5070");
        qputenv("ORVALO_SIP_DOMAIN", " ");
        qputenv("ORVALO_WEB_PORTAL", "127.0.0.1:8080");
        const ServiceConfig overridden = ServiceConfig::fromBuildAndEnvironment();
        QCOMPARE(overridden.sipServer, QStringLiteral("127.0.0.1:5070"));
        QCOMPARE(overridden.sipDomain, builtIn.sipDomain);
        QCOMPARE(overridden.webPortal, QStringLiteral("127.0.0.1:8080"));

        ServiceConfig::setCurrent(overridden);
        QCOMPARE(ServiceConfig::current().sipServer, QStringLiteral("127.0.0.1:5070"));
        qunsetenv("ORVALO_SIP_SERVER");
        qunsetenv("ORVALO_SIP_DOMAIN");
        qunsetenv("ORVALO_WEB_PORTAL");
    }
};

QTEST_GUILESS_MAIN(TestAddressRules)
#include "tst_AddressRules.moc"
