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
#include <QMenuBar>

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

    void theMenuHasEveryCommand_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("menu");
        const QString file = QStringLiteral("&File"), action = QStringLiteral("&Action"),
                      tools = QStringLiteral("&Tools"), help = QStringLiteral("&Help"),
                      status = QStringLiteral("&Presence Status");
        const std::tuple<int, const char*, QString> items[] = {
            {40001, "Log O&n...", file},
            {40002, "Log O&ff", file},
            {40003, "E&xit", file},
            {40011, "In&visible", status},
            {40012, "&Online", status},
            {40016, "Be &Right Back", status},
            {40018, "Out to &Lunch", status},
            {40005, "&Call...", action},
            {40006, "&Message...", action},
            {32800, "&Recharge Account...", action},
            {32787, "Add &Buddy...", tools},
            {32823, "Add &Group...", tools},
            {40007, "Tuning &Wizard...", tools},
            {110, "&Watchers...", tools},
            {32771, "&Privacy Policy", help},
            {32772, "&Terms of Use", help},
            {32791, "&About Orvalo Phone...", help},
        };
        for (const auto& [id, text, menu] : items)
            QTest::newRow(text) << id << QString::fromLatin1(text) << menu;
    }
    void theMenuHasEveryCommand()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(QString, menu);
        QMenuBar bar;
        CMainMenu mainMenu(bar);
        QAction* item = mainMenu.Action(id);
        QVERIFY(item);
        QCOMPARE(item->text(), text);
        QCOMPARE(item->data().toInt(), id);
        auto* owner = qobject_cast<QMenu*>(item->parent());
        QVERIFY(owner && owner->actions().contains(item));
        QCOMPARE(owner->title(), menu);
        QSignalSpy chosen(&mainMenu, &CMainMenu::command);
        item->setEnabled(true);
        item->trigger();
        QCOMPARE(chosen.value(0).value(0).toInt(), id);
    }

    void theFileMenuKeepsItsPositions()
    {
        QMenuBar bar;
        CMainMenu menu(bar);
        const QList<QAction*> file = menu.FileMenu()->actions();
        QCOMPARE(file.value(3), menu.PresenceMenu()->menuAction());
        const QList<QAction*> top = bar.actions();
        QCOMPARE(top.value(1), menu.ActionMenu()->menuAction());
        QCOMPARE(top.value(2), menu.ToolsMenu()->menuAction());
    }
};

QTEST_MAIN(TestShellStartUp)
#include "tst_shell_startup.moc"
