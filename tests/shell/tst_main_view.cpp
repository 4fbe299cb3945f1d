// The main view at work: its commands, the status chooser, the away timer, the
// phone display operations, log off and the close sequence.
#include "ShellHarness.h"

#include "controls/ColorTabCtrl.h"
#include "controls/SortListCtrl.h"
#include "shell/AboutBox.h"
#include "shell/AddressPrompt.h"
#include "shell/CallLogPage.h"
#include "shell/CallLogRecord.h"
#include "shell/DialPadPage.h"
#include "shell/LogonDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

namespace {
// Answers the next address prompt with the text (OK) or cancels it (null text).
std::unique_ptr<CModalDriver> AnswerPrompt(const QString& text, QString* title = nullptr)
{
    auto driver = std::make_unique<CModalDriver>();
    driver->WhenOpen<CAddressDialog>([text, title](CAddressDialog& dialog) {
        if (title)
            *title = dialog.windowTitle();
        if (text.isNull()) {
            dialog.reject();
            return;
        }
        auto* edit = dialog.findChild<QLineEdit*>();
        edit->setText(text);
        dialog.accept();
    });
    return driver;
}

void Click(QWidget& widget, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
}
} // namespace

class TestMainView : public QObject {
    Q_OBJECT
private slots:
    void promptedSessionsTakeTheirTypeFromTheAddress_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("sessionType");
        QTest::newRow("a member") << ID_CALL << "999 555 0001"
                                  << "OrvaloPhone Call" << int(RTCST_PC_TO_PC);
        QTest::newRow("North America") << ID_CALL << "1 (555) 123-0002"
                                       << "OrvaloPhone Call" << int(RTCST_PC_TO_PHONE);
        QTest::newRow("international") << ID_CALL << "011 44 20 7946 0000"
                                       << "OrvaloPhone Call" << int(RTCST_PC_TO_PHONE);
        QTest::newRow("a message") << ID_MESSAGE << "999 555 0001"
                                   << "Orvalo Phone Message" << int(RTCST_MULTIPARTY_IM);
    }
    void promptedSessionsTakeTheirTypeFromTheAddress()
    {
        QFETCH(int, command);
        QFETCH(QString, typed);
        QFETCH(QString, title);
        QFETCH(int, sessionType);
        ShellHarness shell;
        shell.startLoggedOn();
        QString shownTitle;
        const auto prompt = AnswerPrompt(typed, &shownTitle);
        shell.menu()->Action(command)->trigger();
        QVERIFY(prompt->Acted());
        QCOMPARE(shownTitle, title);

        const FakeCall* created = shell.client->log().last("Client.CreateSession");
        QVERIFY(created);
        QCOMPARE(created->args.value(0).toInt(), sessionType);
        QString digits = typed;
        digits.remove(QRegularExpression(QStringLiteral("[^0-9]")));
        const FakeCall* added = shell.client->log().last("Session.AddParticipant");
        QVERIFY(added);
        QCOMPARE(added->args.value(0).toString(), QStringLiteral("sip:%1@sip.orvalo.test").arg(digits));
        QString lastCalled;
        QVERIFY(SUCCEEDED(CSettingsStore::ReadSetting(kSettingLastCalledUri, lastCalled)));
        QCOMPARE(lastCalled, typed);
        // A call shows the phone page and stops the away timer; a message changes neither.
        const bool call = command == ID_CALL;
        QCOMPARE(shell.view()->TabCtrl()->currentIndex(), call ? 1 : 0);
        QCOMPARE(shell.view()->AwayTimer().isActive(), !call);
    }

    void aCancelledPromptDoesNothing()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        shell.view()->DialPad()->SetNumber(QStringLiteral("5551234"));
        const auto prompt = AnswerPrompt(QString());
        shell.menu()->Action(ID_CALL)->trigger();
        QVERIFY(prompt->Acted());
        QCOMPARE(shell.client->log().count("Client.CreateSession"), 0);
        QCOMPARE(shell.view()->DialPad()->Number(), QStringLiteral("5551234"));
        QCOMPARE(shell.view()->TabCtrl()->currentIndex(), 0);
    }

    void theChooserRunsTheSameCommandAsTheMenu_data()
    {
        QTest::addColumn<bool>("fromChooser");
        QTest::addColumn<int>("status");
        for (int status = 0; status < 8; ++status) {
            QTest::addRow("menu %d", status) << false << status;
            QTest::addRow("chooser %d", status) << true << status;
        }
    }
    void theChooserRunsTheSameCommandAsTheMenu()
    {
        QFETCH(bool, fromChooser);
        QFETCH(int, status);
        ShellHarness shell;
        shell.startLoggedOn();
        // Start from a status different from the one chosen.
        shell.menu()->Action(status == 4 ? 40013 : 40015)->trigger();
        shell.client->log().clear();

        if (fromChooser)
            emit shell.view()->StatusChooser()->activated(status);
        else
            shell.menu()->Action(40011 + status)->trigger();

        QCOMPARE(shell.publishedStatuses(), QList<int>({status}));
        QCOMPARE(shell.view()->StatusChooser()->currentIndex(), status);
        QVERIFY(shell.menu()->Action(40011 + status)->isChecked());
        QCOMPARE(shell.view()->AwayTimer().isActive(), status == 1);
    }

    void activityInTheChooserRestartsTheThreeMinutes()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        const QTimer& timer = shell.view()->AwayTimer();
        QCOMPARE(timer.interval(), 180000);
        QVERIFY(timer.isActive());
        QTest::qWait(30);
        const int before = timer.remainingTime();
        QVERIFY(before < 180000);
        QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(shell.view()->StatusChooser(), &focus);
        QVERIFY(timer.remainingTime() > before);

        // Busy stops the timer; the chooser's next notification arms it again.
        shell.menu()->Action(40015)->trigger();
        QVERIFY(!timer.isActive());
        QApplication::sendEvent(shell.view()->StatusChooser(), &focus);
        QVERIFY(timer.isActive());

        // The timer's expiry makes the user Away; other timers of the view change nothing.
        shell.client->log().clear();
        shell.view()->OnTimer(7);
        QVERIFY(shell.publishedStatuses().isEmpty());
        shell.view()->OnTimer(COrvaloPhoneView::kAwayTimerId);
        QCOMPARE(shell.publishedStatuses(), QList<int>({2}));
        QCOMPARE(shell.view()->StatusChooser()->currentIndex(), 2);
        QVERIFY(!timer.isActive());
    }

    void logOffEmptiesTheWindow_data()
    {
        QTest::addColumn<QString>("remember");
        QTest::addColumn<bool>("logKept");
        QTest::newRow("password remembered") << "1" << true;
        QTest::newRow("password not remembered") << "" << false;
    }
    void logOffEmptiesTheWindow()
    {
        QFETCH(QString, remember);
        QFETCH(bool, logKept);
        ShellHarness shell;
        CSettingsStore::WriteSetting(kSettingRememberPassword, remember);
        shell.startLoggedOn();
        COrvaloPhoneView& view = *shell.view();
        view.AddCallLogEntry(QStringLiteral("sip:9995550001@sip.orvalo.test"), QStringLiteral("Carol"), 0);
        const QString logPath = CCallLogPage::GetCallLogPath();
        QVERIFY(QFileInfo::exists(logPath));
        view.DialPad()->SetNumber(QStringLiteral("15551230002"));

        shell.menu()->Action(ID_LOG_OFF)->trigger();
        QCOMPARE(QFileInfo::exists(logPath), logKept);
        // Logged off at once, whatever the unregistration still does: the list is emptied.
        QCOMPARE(view.CallLog()->List()->CellText(0, CCallLogPage::kNameColumn), QString());
        QCOMPARE(shell.client->log().count("Client.DisableProfile"), 1);
        shell.registration(RTCRS_NOT_REGISTERED);
        QVERIFY(view.DialPad()->Number().isEmpty());
        QVERIFY(!view.AwayTimer().isActive());
        QVERIFY(!view.BuddyPage()->AddBuddyLink()->isVisible());
        QCOMPARE(view.StatusLineEdit()->text(), QStringLiteral("(You are not logged on)"));
        QVERIFY(shell.menu()->Action(ID_LOG_ON)->isEnabled());
        QVERIFY(!shell.menu()->ActionMenu()->menuAction()->isEnabled());
    }

    void logOffEndsTheCallInProgress()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        const auto prompt = AnswerPrompt(QStringLiteral("999 555 0001"));
        shell.menu()->Action(ID_CALL)->trigger();
        QVERIFY(g_activeCallWindow);
        shell.menu()->Action(ID_LOG_OFF)->trigger();
        QVERIFY(!g_activeCallWindow);
        QCOMPARE(shell.client->log().count("Session.Terminate"), 1);
    }

    void menuTextsShowNamesAsTheyAre()
    {
        ShellHarness shell;
        shell.profile->m_userName = QStringLiteral("Tom & Jerry");
        shell.startLoggedOn();
        QAction* logOff = shell.menu()->Action(ID_LOG_OFF);
        QCOMPARE(logOff->text(), QStringLiteral("Log Off Tom && Jerry")); // shown as "Log Off Tom & Jerry"
        QVERIFY(logOff->isEnabled());
        QVERIFY(!shell.menu()->Action(ID_LOG_ON)->isEnabled());
        QVERIFY(shell.menu()->ActionMenu()->menuAction()->isEnabled());
        QVERIFY(shell.menu()->ToolsMenu()->menuAction()->isEnabled());
        QVERIFY(shell.menu()->PresenceMenu()->menuAction()->isEnabled());
        QVERIFY(shell.menu()->Action(40012)->isChecked());
    }

    void statusMessagesCarryTheirTime()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        const QDateTime before = QDateTime::currentDateTime();
        shell.view()->ShowStatusMessage(QStringLiteral("Call terminated."));
        const QDateTime after = QDateTime::currentDateTime();
        const QString shown = shell.view()->DialPad()->StatusText();
        const QString tail = QStringLiteral("\r\r\nCall terminated.");
        QVERIFY2(shown == CallLogDateTime(before) + tail || shown == CallLogDateTime(after) + tail, qPrintable(shown));
        QCOMPARE(shell.frame()->StatusPane()->text(), QStringLiteral("Call terminated."));
        // The next message replaces the last one.
        shell.view()->ShowStatusMessage(QStringLiteral("Connecting..."));
        QVERIFY(shell.view()->DialPad()->StatusText().endsWith(QStringLiteral("\r\r\nConnecting...")));
        QVERIFY(!shell.view()->DialPad()->StatusText().contains(QStringLiteral("terminated")));
    }

    void callTimeShowsMinutesAndSeconds_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("shown");
        QTest::newRow("first minute") << 5 << " 0:05 ";
        QTest::newRow("one minute") << 65 << " 1:05 ";
        QTest::newRow("two digits") << 3599 << "59:59 ";
        QTest::newRow("an hour and more") << 6000 << "100:00 ";
    }
    void callTimeShowsMinutesAndSeconds()
    {
        QFETCH(int, seconds);
        QFETCH(QString, shown);
        ShellHarness shell;
        shell.startLoggedOn();
        shell.view()->StopAwayTimer();
        shell.view()->ShowCallTime(seconds);
        auto* label = shell.control<QLabel>(CDialPadPage::kCallTimeId);
        QVERIFY(label);
        QCOMPARE(label->text(), shown);
        QVERIFY(shell.view()->AwayTimer().isActive()); // a call in progress is activity
    }

    void resetEmptiesThePhoneDisplay()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        COrvaloPhoneView& view = *shell.view();
        view.ShowStatusMessage(QStringLiteral("Connected"));
        view.SetDialedNumber(QStringLiteral("15551230002"));
        view.ShowCallTime(75);
        view.ResetPhoneDisplay();
        QVERIFY(view.DialPad()->StatusText().isEmpty());
        QVERIFY(view.DialPad()->Number().isEmpty());
        QCOMPARE(shell.control<QLabel>(CDialPadPage::kCallTimeId)->text(), QStringLiteral("0:00"));
    }

    void theLogonDialogNeverOpensInsideTheEngine()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        CModalDriver logon;
        logon.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) { dialog.reject(); });
        // A second rejection straight out of registering asks the user again.
        shell.registration(RTCRS_REGISTERING);
        shell.registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_FORBIDDEN);
        shell.registration(RTCRS_REGISTERING);
        shell.registration(RTCRS_REJECTED, RTC_E_STATUS_CLIENT_FORBIDDEN);
        QVERIFY(!logon.Acted());
        QTRY_VERIFY(logon.Acted());
        QVERIFY(shell.menu()->Action(ID_LOG_ON)->isEnabled());
    }

    void addGroupNeedsAName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("groupsAdded");
        QTest::newRow("a name") << "Family" << 1;
        QTest::newRow("blanks") << "   " << 0;
        QTest::newRow("cancelled") << QString() << 0;
    }
    void addGroupNeedsAName()
    {
        QFETCH(QString, typed);
        QFETCH(int, groupsAdded);
        ShellHarness shell;
        shell.startLoggedOn();
        shell.menu()->Action(40015)->trigger(); // Busy: the timer is off
        QString title;
        const auto prompt = AnswerPrompt(typed, &title);
        shell.menu()->Action(ID_ADD_GROUP)->trigger();
        QCOMPARE(title, QStringLiteral("Add Group"));
        QCOMPARE(shell.client->log().count("Client.AddGroup"), groupsAdded);
        if (groupsAdded)
            QCOMPARE(shell.client->log().last("Client.AddGroup")->args.value(0).toString(), typed);
        QVERIFY(shell.view()->AwayTimer().isActive());
    }

    void theAddBuddyLinkRunsAddBuddyAndOpensNothing()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        CHyperlinkLabel& link = *shell.view()->BuddyPage()->AddBuddyLink();
        QVERIFY(link.isVisible());
        QCOMPARE(link.ControlId(), 104);
        QString title;
        const auto prompt = AnswerPrompt(QStringLiteral("999 555 0002"), &title);
        Click(link, link.TextRect().center());
        QCOMPARE(title, QStringLiteral("Add Buddy"));
        const FakeCall* added = shell.client->log().last("Client.AddBuddy");
        QVERIFY(added);
        QCOMPARE(added->args.value(0).toString(), QStringLiteral("sip:9995550002@sip.orvalo.test"));
        QVERIFY(added->args.value(1).toString().isEmpty());
        QVERIFY(shell.opened.isEmpty());
    }

    void helpCommandsOpenThePortalAndTheAboutBox()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        for (const int id : {ID_PRIVACY_POLICY, ID_TERMS_OF_USE, ID_RECHARGE_ACCOUNT})
            shell.menu()->Action(id)->trigger();
        QCOMPARE(shell.opened, QList<QUrl>({WebPageUrl(WebPage::PrivacyPolicy), WebPageUrl(WebPage::TermsOfUse),
                                            WebPageUrl(WebPage::Account)}));
        QString version;
        CModalDriver about;
        about.WhenOpen<CAboutBox>([&version](CAboutBox& box) {
            for (const QLabel* label : box.findChildren<QLabel*>())
                version += label->text();
            version += box.windowTitle();
            box.findChild<QPushButton*>(QStringLiteral("1"))->click();
        });
        shell.menu()->Action(ID_ABOUT)->trigger();
        QVERIFY(about.Acted());
        QCOMPARE(version, QStringLiteral("Orvalo Phone Version 1.12About Orvalo Phone"));
    }

    void closingTwiceQuicklyClosesAtOnce()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        const QPointer<CMainFrame> frame = shell.frame();
        QVERIFY(!frame->close());
        QVERIFY(g_closing);
        QVERIFY(frame->isHidden());
        QVERIFY(frame->IsCloseDelayRunning());
        QCOMPARE(shell.client->log().count("Client.DisableProfile"), 1);
        // Logging off while closing leaves the window as it was.
        QCOMPARE(shell.view()->StatusLineEdit()->text(), QStringLiteral("Alice"));

        QVERIFY(frame->close());
        ShellHarness::flushEventLoop();
        QVERIFY(!frame);
    }

    void closingEndsTheProgramASecondLater()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        const QPointer<CMainFrame> frame = shell.frame();
        frame->close();
        QVERIFY(frame);
        QTRY_VERIFY_WITH_TIMEOUT(!frame, 5000);
    }

    void exitLogsOffAndClosesWithoutTheDelay()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        const QPointer<CMainFrame> frame = shell.frame();
        shell.menu()->Action(ID_EXIT)->trigger();
        QCOMPARE(shell.client->log().count("Client.DisableProfile"), 1);
        ShellHarness::flushEventLoop();
        QVERIFY(!frame);
    }
};

QTEST_MAIN(TestMainView)
#include "tst_main_view.moc"
