// Saves the main window, each of its pages and the shell's dialogs as PNG files in
// the build folder, so that anyone can look at them; checks that each picture
// shows the window's colour and is not blank.
#include "ShellHarness.h"

#include "controls/ColorTabCtrl.h"
#include "shell/AboutBox.h"
#include "shell/AddressPrompt.h"
#include "shell/LogonDialog.h"
#include "shell/OrvaloPhoneView.h"

#include <QDir>
#include <QMenu>
#include <QTabBar>

namespace {
QString ShotPath(const QString& name)
{
    return QDir(QStringLiteral(ORVALO_SCREENSHOT_DIR)).filePath(name + QStringLiteral(".png"));
}

// Share of the picture's pixels that have exactly this colour.
double ShareOf(const QImage& image, const QColor& colour)
{
    qint64 hits = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            hits += image.pixelColor(x, y).rgb() == colour.rgb();
    return double(hits) / double(qint64(image.width()) * image.height());
}

int DistinctColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

QImage Save(QWidget& widget, const QString& name)
{
    const QImage image = widget.grab().toImage();
    image.save(ShotPath(name));
    return image;
}
} // namespace

class TestScreenshots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QDir().mkpath(QStringLiteral(ORVALO_SCREENSHOT_DIR)); }

    void mainWindowAndPages()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        CMainFrame& frame = *shell.frame();
        QTRY_VERIFY(frame.isVisible());
        const char* names[] = {"page-buddy-list", "page-phone-view", "page-call-logs"};
        for (int page = 0; page < COrvaloPhoneView::kPageCount; ++page) {
            shell.view()->TabCtrl()->setCurrentIndex(page);
            QCoreApplication::processEvents();
            const QImage window = Save(frame, QStringLiteral("main-window-tab-%1").arg(page));
            QVERIFY(DistinctColours(window) > 50);
            const QImage pageImage = Save(*shell.view()->Page(page), QString::fromLatin1(names[page]));
            QVERIFY(DistinctColours(pageImage) > 10);
        }
        // The status menu with "Online" checked, and with another status.
        QMenu& presence = *shell.menu()->PresenceMenu();
        for (const int command : {40012, 40015}) {
            shell.menu()->Action(command)->trigger();
            presence.popup(QPoint(0, 0));
            QVERIFY(QTest::qWaitForWindowExposed(&presence));
            QVERIFY(DistinctColours(Save(presence, QStringLiteral("menu-presence-status-%1").arg(command))) > 10);
            presence.hide();
        }

        // The band above the tabs is painted in the window colour.
        const QImage view = shell.view()->grab().toImage();
        QVERIFY(ShareOf(view.copy(0, 0, view.width(), COrvaloPhoneView::kTabTop), QColor(221, 238, 255)) > 0.3);
    }

    void loggedOffWindow()
    {
        ShellHarness shell;
        CModalDriver logon;
        logon.WhenOpen<CLogonDialog>([](CLogonDialog& dialog) {
            Save(dialog, QStringLiteral("dialog-logon"));
            dialog.reject();
        });
        QVERIFY(shell.app->InitInstance());
        QTRY_VERIFY(logon.Acted());
        const QImage window = Save(*shell.frame(), QStringLiteral("main-window-logged-off"));
        QVERIFY(DistinctColours(window) > 50);
    }

    void dialogs()
    {
        IsolatedHome home;
        CAboutBox about;
        about.show();
        QVERIFY(ShareOf(Save(about, QStringLiteral("dialog-about")), QColor(221, 238, 255)) > 0.5);
        CAddressDialog number(CAddressDialog::EKind::Number, QStringLiteral("OrvaloPhone Call"));
        number.show();
        QVERIFY(ShareOf(Save(number, QStringLiteral("dialog-address-number")), QColor(221, 238, 255)) > 0.4);
        CAddressDialog name(CAddressDialog::EKind::Name, QStringLiteral("Add Group"));
        name.show();
        QVERIFY(ShareOf(Save(name, QStringLiteral("dialog-address-name")), QColor(221, 238, 255)) > 0.4);
    }
};

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
