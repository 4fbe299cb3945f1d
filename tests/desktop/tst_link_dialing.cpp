// A link handed to the phone (command line or a later start) is checked as the
// call prompt checks a number and called once the phone is logged on.
#include "controls/ColorTabCtrl.h"
#include "engine/AddressRules.h"
#include "shell/LinkDialer.h"
#include "tests/shell/ShellHarness.h"

class TestLinkDialing : public QObject {
    Q_OBJECT

private slots:
    void aLinkIsCalledOnceLoggedOn_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("engineFirst"); // false: the link comes while the window waits for the engine
        QTest::addColumn<bool>("loggedOnFirst");
        QTest::addColumn<QString>("uri"); // empty: refused as an invalid number
        QTest::addColumn<int>("sessionType");
        QTest::newRow("phone number, before the logon")
            << "tel:+1-800-555-1234" << true << false << "sip:18005551234@sip.orvalo.test" << int(RTCST_PC_TO_PHONE);
        QTest::newRow("member, while logged on") << "sip:9995550001@sip.orvalo.test" << true << true
                                                 << "sip:9995550001@sip.orvalo.test" << int(RTCST_PC_TO_PC);
        QTest::newRow("bare number, before the logon")
            << "1 800 555-1234" << true << false << "sip:18005551234@sip.orvalo.test" << int(RTCST_PC_TO_PHONE);
        QTest::newRow("member, before the engine started") << "sip:9995550001@sip.orvalo.test" << false << false
                                                           << "sip:9995550001@sip.orvalo.test" << int(RTCST_PC_TO_PC);
        QTest::newRow("invalid number") << "tel:5551234" << true << true << "" << 0;
        QTest::newRow("another domain") << "sip:9995550001@evil.example" << true << false << "" << 0;
    }
    void aLinkIsCalledOnceLoggedOn()
    {
        QFETCH(QString, link);
        QFETCH(bool, engineFirst);
        QFETCH(bool, loggedOnFirst);
        QFETCH(QString, uri);
        QFETCH(int, sessionType);
        ShellHarness shell;
        CSettingsStore::WriteSetting(kSettingUserUri, kTypedNumber);
        CSettingsStore::WriteSetting(kSettingAutoLogon, QStringLiteral("1"));
        shell.app->ShowMainWindow();
        if (!engineFirst)
            shell.app->ShowAndDial(link);
        QVERIFY(shell.app->StartEngine());
        QTRY_COMPARE(shell.client->log().count("Client.GetProfile"), 1);
        if (loggedOnFirst)
            shell.completeLogon();

        if (engineFirst)
            shell.app->ShowAndDial(link);
        if (!loggedOnFirst) {
            QCOMPARE(shell.client->log().count("Client.CreateSession"), 0);
            shell.completeLogon();
        }
        ShellHarness::flushEventLoop();

        if (uri.isEmpty()) {
            QCOMPARE(shell.messages.captions, QStringList{QLatin1String(kInvalidNumberCaption)});
            QCOMPARE(shell.messages.texts, QStringList{QLatin1String(kInvalidNumberMessage)});
            QCOMPARE(shell.client->log().count("Client.CreateSession"), 0);
            return;
        }
        QVERIFY(shell.messages.texts.isEmpty());
        QCOMPARE(shell.client->log().count("Client.CreateSession"), 1);
        QCOMPARE(shell.client->log().last("Client.CreateSession")->args.value(0).toInt(), sessionType);
        QCOMPARE(shell.client->log().last("Session.AddParticipant")->args.value(0).toString(), uri);
        QCOMPARE(shell.view()->TabCtrl()->currentIndex(), int(COrvaloPhoneView::kPhoneViewPage));
    }

    void aLinkThatWaitedTooLongIsNotCalled()
    {
        ShellHarness shell;
        CSettingsStore::WriteSetting(kSettingUserUri, kTypedNumber);
        CSettingsStore::WriteSetting(kSettingAutoLogon, QStringLiteral("1"));
        QVERIFY(shell.app->InitInstance());
        QTRY_COMPARE(shell.client->log().count("Client.GetProfile"), 1);
        constexpr int kWaitMs = 50;
        CLinkDialer dialer(*shell.view(), nullptr, kWaitMs);
        dialer.Dial(QStringLiteral("tel:9995550001"));
        QTest::qWait(2 * kWaitMs);
        shell.completeLogon();
        ShellHarness::flushEventLoop();
        QCOMPARE(shell.client->log().count("Client.CreateSession"), 0);
        QVERIFY(dialer.PendingAddress().isEmpty());
    }
};

QTEST_MAIN(TestLinkDialing)
#include "tst_link_dialing.moc"
