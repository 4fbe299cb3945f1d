// The tray icon over the whole main window and the fake client: it shows the
// presence, its menu runs the main menu's commands, a click brings the window
// forward, and closing the main window still ends the program.
#include "engine/PresenceStatus.h"
#include "resources/ResourceIds.h"
#include "shell/TrayIcon.h"
#include "tests/shell/ShellHarness.h"

class TestTrayIcon : public QObject {
    Q_OBJECT

    // The main window logging on by itself (no logon dialog), with a tray icon.
    static std::unique_ptr<CTrayIcon> StartWithTray(ShellHarness& shell)
    {
        CSettingsStore::WriteSetting(kSettingUserUri, kTypedNumber);
        CSettingsStore::WriteSetting(kSettingAutoLogon, QStringLiteral("1"));
        if (!shell.app->InitInstance())
            return nullptr;
        return std::make_unique<CTrayIcon>(*shell.menu(), *shell.frame());
    }
    static QImage Picture(const QIcon& icon) { return icon.pixmap(Resources::kStatusIconSize).toImage(); }

private slots:
    void theIconFollowsThePresence()
    {
        ShellHarness shell;
        const std::unique_ptr<CTrayIcon> tray = StartWithTray(shell);
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

    void theMenuOffersTheMainMenusCommands()
    {
        ShellHarness shell;
        const std::unique_ptr<CTrayIcon> tray = StartWithTray(shell);
        QVERIFY(tray);
        const QList<QAction*> items = tray->contextMenu()->actions();
        QVERIFY(items.contains(shell.menu()->PresenceMenu()->menuAction()));
        for (int id : {ID_LOG_ON, ID_LOG_OFF, ID_EXIT})
            QVERIFY2(items.contains(shell.menu()->Action(id)), qPrintable(QString::number(id)));

        shell.frame()->setWindowState(Qt::WindowMinimized);
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!(shell.frame()->windowState() & Qt::WindowMinimized));
        QVERIFY(shell.frame()->isVisible());
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
        const QPointer<CTrayIcon> tray = StartWithTray(shell).release(); // the main window owns it
        QVERIFY(tray);
        if (fromTheTray)
            tray->contextMenu()->actions().last()->trigger();
        else
            shell.frame()->close();
        QTRY_VERIFY_WITH_TIMEOUT(!shell.frame(), 3000);
        QVERIFY(!tray); // the tray goes with the main window
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_tray_icon.moc"
