// The status line and the status bar at the window's fixed size: the first text
// shows whole with the fonts of this system, a long one shows its beginning, and
// the status bar keeps to one line whatever it is given.
#include "ShellHarness.h"

#include "shell/LogonDialog.h"
#include "shell/StatusPane.h"

#include <QLineEdit>
#include <QStatusBar>

namespace {
// The columns of the picture, inside the frame, that hold a dark (text) pixel: first and last, or -1.
std::pair<int, int> TextColumns(const QImage& image, int frame)
{
    int first = -1;
    int last = -1;
    for (int x = frame; x < image.width() - frame; ++x)
        for (int y = frame; y < image.height() - frame; ++y)
            if (qGray(image.pixel(x, y)) < 96) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
    return {first, last};
}
} // namespace

class TestStatusTexts : public QObject {
    Q_OBJECT
private slots:
    void theStatusLineShowsTheFirstTextWholeAndALongOneFromItsBeginning()
    {
        ShellHarness shell;
        CModalDriver cancel;
        cancel.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) { dialog.reject(); });
        QVERIFY(shell.app->InitInstance());
        QTRY_VERIFY(cancel.Acted());

        QLineEdit& line = *shell.view()->StatusLineEdit();
        QCOMPARE(line.text(), QStringLiteral("(You are not logged in)"));
        // Whole and centred: blank columns on both sides of the text, inside the frame.
        constexpr int kFrame = 3;
        const QImage shown = line.grab().toImage();
        const auto [first, last] = TextColumns(shown, kFrame);
        const int left = first - kFrame;
        const int right = shown.width() - kFrame - 1 - last;
        QVERIFY2(first >= 0 && left >= 2 && right >= 2 && std::abs(left - right) <= 3,
                 qPrintable(QStringLiteral("text from column %1 to %2 of %3").arg(first).arg(last).arg(shown.width())));

        shell.view()->SetStatusLine(QStringLiteral("Alice Bartholomew Featherstonehaugh-Cholmondeley of Upper Wyche"));
        QCOMPARE(line.cursorPosition(), 0);
        QVERIFY(line.inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < line.width() / 4);
    }

    void theStatusBarShowsOneLineAndKeepsTheWindowsSize_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shownStart");
        QTest::addColumn<bool>("cut");
        QTest::newRow("a call status line") << "9995550001\r\r\nConnected"
                                            << "9995550001 Connected" << false;
        QTest::newRow("a long remote name") << QString(300, u'W') + "\r\r\nConnected: Network Quality = 100"
                                            << "WWW" << true;
        QTest::newRow("many lines") << QString("a\nb\r\nc\r\r\n").repeated(50) << "a b c a b c" << true;
    }

    void theStatusBarShowsOneLineAndKeepsTheWindowsSize()
    {
        QFETCH(QString, text);
        QFETCH(QString, shownStart);
        QFETCH(bool, cut);
        ShellHarness shell;
        shell.startLoggedOn();
        CMainFrame& frame = *shell.frame();
        QTRY_VERIFY(frame.isVisible());
        const QSize frameSize = frame.size();
        const int barHeight = frame.statusBar()->height();

        shell.view()->SetStatusBarText(text);
        ShellHarness::flushEventLoop();
        const QString shown = frame.StatusPane()->ShownText();
        QVERIFY2(shown.startsWith(shownStart), qPrintable(shown));
        QVERIFY(!shown.contains(u'\n') && !shown.contains(u'\r'));
        QCOMPARE(shown.endsWith(QChar(0x2026)), cut);
        QCOMPARE(frame.size(), frameSize);
        QCOMPARE(frame.statusBar()->height(), barHeight);
    }
};

QTEST_MAIN(TestStatusTexts)
#include "tst_status_texts.moc"
