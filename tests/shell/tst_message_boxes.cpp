// Real message boxes opened by the engine's event handlers while the main window
// goes away underneath them: run under AddressSanitizer, any use of the dead box,
// view or engine ends the test.
#include "ShellHarness.h"

#include <QMessageBox>

class TestMessageBoxes : public QObject {
    Q_OBJECT
private slots:
    void closingTheWindowDuringABoxFromAnEventHandlerLeavesNothingBehind()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        CMessageBox::SetHandler(nullptr); // the real box

        QString shown;
        CModalDriver closer;
        closer.WhenOpen<QMessageBox>([&shown, &shell](QMessageBox& box) {
            shown = box.text();
            // The close box: log off, hide, and end a second later, from inside this box's loop.
            shell.frame()->close();
        });
        QPointer<CClientEngine> engine = shell.view()->Engine();
        shell.registration(RTCRS_LOGGED_OFF);

        QCOMPARE(shown, QStringLiteral("The Server has logged you off (Perhaps you logged in from another location)."));
        QVERIFY(!shell.frame());
        QVERIFY(!engine);
        QCOMPARE(g_pClientEngine, nullptr);
    }
};

QTEST_MAIN(TestMessageBoxes)
#include "tst_message_boxes.moc"
