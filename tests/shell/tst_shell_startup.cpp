// Start-up of the main window: its fixed frame, the logged-off state it opens in,
// the volumes read from the library, and the choice between the automatic logon
// and the logon dialog.
#include "ShellHarness.h"

#include "controls/ColorTabCtrl.h"
#include "engine/ServiceConfig.h"
#include "shell/DialPadPage.h"
#include "shell/LogonDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

class TestShellStartUp : public QObject {
    Q_OBJECT
private slots:
    void theWindowOpensFixedAndLoggedOff()
    {
        ShellHarness shell;
        CSettingsStore::WriteSetting(kSettingAutoLogon, QStringLiteral("0"));
        CModalDriver cancel;
        cancel.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) { dialog.reject(); });
        QVERIFY(shell.app->InitInstance());
        QTRY_VERIFY(cancel.Acted());

        CMainFrame& frame = *shell.frame();
        QCOMPARE(frame.windowTitle(), QStringLiteral("Orvalo Phone"));
        QVERIFY(!(frame.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(frame.minimumSize(), frame.maximumSize());
        QCOMPARE(shell.view()->size(), QSize(293, 408));

        COrvaloPhoneView& view = *shell.view();
        QCOMPARE(view.StatusLineEdit()->text(), QStringLiteral("(You are not logged in)"));
        QVERIFY(!view.TabCtrl()->isEnabled());
        QVERIFY(!view.StatusChooser()->isEnabled());
        QCOMPARE(view.StatusChooser()->currentIndex(), -1);
        QCOMPARE(view.StatusChooser()->count(), 8);
        QCOMPARE(view.StatusChooser()->itemText(5), QStringLiteral("Be Right Back"));
        QCOMPARE(view.TabCtrl()->tabText(2), QStringLiteral("Call Logs"));
        QCOMPARE(CColorTabCtrl::TabStyle(), quint32(14));
        QVERIFY(view.BuddyPage()->isVisible());
        QVERIFY(!view.DialPad()->isVisible());

        // Logged off: only Log On of the logon items, and no Action, Tools or status menus.
        CMainMenu& menu = *shell.menu();
        QVERIFY(menu.Action(ID_LOG_ON)->isEnabled());
        QVERIFY(!menu.Action(ID_LOG_OFF)->isEnabled());
        QVERIFY(!menu.ActionMenu()->menuAction()->isEnabled());
        QVERIFY(!menu.ToolsMenu()->menuAction()->isEnabled());
        QVERIFY(!menu.PresenceMenu()->menuAction()->isEnabled());
        QCOMPARE(shell.client->log().count("Client.GetProfile"), 0);
    }

    void theVolumeSlidersStartFromTheLibrary()
    {
        ShellHarness shell;
        shell.client->m_volume[RTCAD_SPEAKER] = 65535;
        shell.client->m_volume[RTCAD_MICROPHONE] = 1000;
        CModalDriver cancel;
        cancel.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) { dialog.reject(); });
        QVERIFY(shell.app->InitInstance());
        QCOMPARE(shell.view()->DialPad()->VolumeSliderPosition(RTCAD_SPEAKER), 0);
        QCOMPARE(shell.view()->DialPad()->VolumeSliderPosition(RTCAD_MICROPHONE), 64535);
        QTRY_VERIFY(cancel.Acted());
    }

    void withoutAutomaticLogonTheDialogFollowsTheWindow_data()
    {
        QTest::addColumn<QString>("autoLogon");
        QTest::addColumn<QString>("userUri");
        QTest::newRow("automatic logon absent") << QString() << kTypedNumber;
        QTest::newRow("automatic logon off") << QStringLiteral("0") << kTypedNumber;
        QTest::newRow("no number stored") << QStringLiteral("1") << QString();
        QTest::newRow("an empty number") << QStringLiteral("1") << QStringLiteral("");
        QTest::newRow("a number the rules refuse") << QStringLiteral("1") << QStringLiteral("12345");
    }
    void withoutAutomaticLogonTheDialogFollowsTheWindow()
    {
        QFETCH(QString, autoLogon);
        QFETCH(QString, userUri);
        ShellHarness shell;
        if (!autoLogon.isNull())
            CSettingsStore::WriteSetting(kSettingAutoLogon, autoLogon);
        if (!userUri.isNull())
            CSettingsStore::WriteSetting(kSettingUserUri, userUri);
        bool windowShownFirst = false;
        CModalDriver cancel;
        cancel.WhenOpen<CLogonDialog>([&](CLogonDialog& dialog) {
            windowShownFirst = shell.frame()->isVisible();
            dialog.reject();
        });
        QVERIFY(shell.app->InitInstance());
        QVERIFY(!cancel.Acted()); // not inside start-up itself
        QTRY_VERIFY(cancel.Acted());
        QVERIFY(windowShownFirst);
        QCOMPARE(shell.client->log().count("Client.GetProfile"), 0);
        QVERIFY(shell.menu()->Action(ID_LOG_ON)->isEnabled());
    }

    void automaticLogonRegistersWithoutTheDialog()
    {
        ShellHarness shell;
        ServiceConfig::setCurrent(
            {QStringLiteral("127.0.0.1:5070"), QStringLiteral("sip.orvalo.test"), QStringLiteral("www.orvalo.test")});
        CModalDriver unexpected;
        unexpected.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) { dialog.reject(); });
        shell.startLoggedOn();
        QVERIFY(!unexpected.Acted());

        const FakeCall* request = shell.client->log().last("Client.GetProfile");
        QVERIFY(request);
        QCOMPARE(request->args.value(2).toString(), kUserUri);
        QCOMPARE(request->args.value(3).toString(), QStringLiteral("127.0.0.1:5070"));
        QCOMPARE(request->args.value(4).toInt(), int(RTCTR_UDP));

        COrvaloPhoneView& view = *shell.view();
        QCOMPARE(view.StatusLineEdit()->text(), QStringLiteral("Alice"));
        QCOMPARE(shell.frame()->StatusPane()->text(), QStringLiteral("Alice (Online)"));
        QCOMPARE(view.StatusChooser()->currentIndex(), 1);
        QVERIFY(view.TabCtrl()->isEnabled());
        QVERIFY(view.AwayTimer().isActive());
        QVERIFY(view.BuddyPage()->AddBuddyLink()->isVisible());
        ServiceConfig::setCurrent(ServiceConfig::fromBuildAndEnvironment());
    }

    void anEngineThatCannotStartEndsStartUp()
    {
        ShellHarness shell;
        shell.factoryResult = E_FAIL;
        QVERIFY(!shell.app->InitInstance());
        QVERIFY(!shell.app->Frame());
        QCOMPARE(shell.messages.texts, QStringList({QStringLiteral("RTC Client v1.1 or higher required!")}));
    }
};

QTEST_MAIN(TestShellStartUp)
#include "tst_shell_startup.moc"
