// The tray icon over the whole main window and the fake client: it shows the
// presence, its menu holds the main menu's commands, a click brings the window
// forward, and Exit or the close box still end the program.
#include "engine/PresenceStatus.h"
#include "resources/ResourceIds.h"
#include "shell/TrayIcon.h"
#include "tests/shell/ShellHarness.h"

class TestTrayIcon : public QObject {
    Q_OBJECT

    // The main window logging on by itself (no logon dialog), with a tray icon it owns.
    static QPointer<CTrayIcon> StartWithTray(ShellHarness& shell)
    {
        CSettingsStore::WriteSetting(kSettingUserUri, kTypedNumber);
        CSettingsStore::WriteSetting(kSettingAutoLogon, QStringLiteral("1"));
        return shell.app->InitInstance() ? new CTrayIcon(*shell.menu(), *shell.frame()) : nullptr;
    }
    static QImage Picture(const QIcon& icon) { return icon.pixmap(Resources::kStatusIconSize).toImage(); }

private slots:
    void theIconFollowsThePresence()
    {
        ShellHarness shell;
        const QPointer<CTrayIcon> tray = StartWithTray(shell);
        QVERIFY(tray);
        QCOMPARE(tray->toolTip(), QStringLiteral("Orvalo Phone"));
        QCOMPARE(Picture(tray->icon()), Picture(Resources::AppIcon()));

        QTRY_COMPARE(shell.client->log().count("Client.GetProfile"), 1);
        shell.completeLogon();
        QCOMPARE(tray->toolTip(), QStringLiteral("Orvalo Phone: Online"));
        QCOMPARE(Picture(tray->icon()), Picture(Resources::StatusIcon(Resources::kIconOnline)));
        tray->contextMenu()->actions().first()->menu()->actions().at(RTCXS_PRESENCE_AWAY)->trigger();
        QCOMPARE(tray->toolTip(), QStringLiteral("Orvalo Phone: Away"));
        QCOMPARE(Picture(tray->icon()), Picture(Resources::StatusIcon(Resources::kIconAway)));

        shell.menu()->Action(ID_LOG_OFF)->trigger();
        shell.registration(RTCRS_NOT_REGISTERED);
        QCOMPARE(tray->toolTip(), QStringLiteral("Orvalo Phone"));
    }

    void aClickBringsTheMainWindowForward()
    {
        ShellHarness shell;
        const QPointer<CTrayIcon> tray = StartWithTray(shell);
        QVERIFY(tray);
        shell.frame()->setWindowState(Qt::WindowMinimized);
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!(shell.frame()->windowState() & Qt::WindowMinimized));
    }

    void exitAndTheCloseBoxEndTheProgram_data()
    {
        QTest::addColumn<bool>("fromTheTray");
        QTest::newRow("Exit in the tray menu") << true;
        QTest::newRow("close box of the main window") << false;
    }
    void exitAndTheCloseBoxEndTheProgram()
    {
        QFETCH(bool, fromTheTray);
        ShellHarness shell;
        const QPointer<CTrayIcon> tray = StartWithTray(shell);
        QVERIFY(tray);
        const QList<QAction*> items = tray->contextMenu()->actions();
        QVERIFY(items.contains(shell.menu()->PresenceMenu()->menuAction()));
        for (int id : {ID_LOG_ON, ID_LOG_OFF, ID_EXIT})
            QVERIFY(items.contains(shell.menu()->Action(id)));
        if (fromTheTray)
            shell.menu()->Action(ID_EXIT)->trigger();
        else
            shell.frame()->close();
        QTRY_VERIFY_WITH_TIMEOUT(!shell.frame(), 3000);
        QVERIFY(!tray); // it goes with the main window
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_tray_icon.moc"
