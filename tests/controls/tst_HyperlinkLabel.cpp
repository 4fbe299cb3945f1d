#include "controls/HyperlinkLabel.h"
#include "controls/LinkClick.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

namespace {
void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::NoButton)
{
    QMouseEvent event(type, at, widget.mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

// Pixels whose colour is clearly the given pure colour: text drawn in it.
int CountPixels(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            count += std::abs(pixel.red() - colour.red()) < 40 && std::abs(pixel.green() - colour.green()) < 40 &&
                     std::abs(pixel.blue() - colour.blue()) < 40;
        }
    }
    return count;
}

// Set up the way the main window's pages set up their labels.
void SetUpAsPage(CHyperlinkLabel& label)
{
    label.SetTextColor(QColor(0, 0, 255));
    label.SetHoverColor(QColor(255, 0, 0));
    label.SetCustomFont(true);
    label.SetFontFace(QStringLiteral("DejaVu Sans"));
    label.SetFontSize(20, 0);
    label.SetFontStyle(true, false);
    label.SetWordWrap(false);
    label.resize(300, 80);
}
} // namespace

class TestHyperlinkLabel : public QObject {
    Q_OBJECT
private slots:
    void emptyTextShowsClickHere();
    void hoverOnlyOverTheText();
    void clicksOnlyOverTheText();
    void hoverChangesColourAndUnderline();
    void wordWrapPutsEachWordOnALine();
    void customFontSettings();
    void clickPolicy_data();
    void clickPolicy();
    void addBuddyLabelRunsAddBuddyOnly();
};

void TestHyperlinkLabel::emptyTextShowsClickHere()
{
    CHyperlinkLabel label;
    QCOMPARE(label.Text(), QStringLiteral("Click here"));
    label.SetText(QStringLiteral("Help!"));
    label.SetText(QString());
    QCOMPARE(label.Text(), QStringLiteral("Click here"));
}

void TestHyperlinkLabel::hoverOnlyOverTheText()
{
    CHyperlinkLabel label(QStringLiteral("Help!"));
    SetUpAsPage(label);
    const QRect text = label.TextRect();
    QVERIFY(text.width() < label.width() / 2);
    // The text block sits in the middle of the label.
    QVERIFY(std::abs(text.center().x() - label.rect().center().x()) <= 1);
    QVERIFY(std::abs(text.center().y() - label.rect().center().y()) <= 1);

    SendMouse(label, QEvent::MouseMove, QPoint(2, 2));
    QVERIFY(!label.IsHovered());
    QCOMPARE(label.cursor().shape(), Qt::ArrowCursor);

    SendMouse(label, QEvent::MouseMove, text.center());
    QVERIFY(label.IsHovered());
    QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(label.DrawFont().underline());

    SendMouse(label, QEvent::MouseMove, QPoint(text.right() + 5, text.center().y()));
    QVERIFY(!label.IsHovered());
    QCOMPARE(label.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!label.DrawFont().underline());

    SendMouse(label, QEvent::MouseMove, text.center());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&label, &leave);
    QVERIFY(!label.IsHovered());
}

void TestHyperlinkLabel::clicksOnlyOverTheText()
{
    CHyperlinkLabel label(QStringLiteral("Click here to recharge your account"));
    SetUpAsPage(label);
    label.resize(600, 80);
    QSignalSpy clicks(&label, &CHyperlinkLabel::clicked);
    QSignalSpy rightClicks(&label, &CHyperlinkLabel::rightClicked);

    SendMouse(label, QEvent::MouseMove, QPoint(1, 1));
    SendMouse(label, QEvent::MouseButtonPress, QPoint(1, 1), Qt::LeftButton);
    QCOMPARE(clicks.count(), 0);

    SendMouse(label, QEvent::MouseMove, label.TextRect().center());
    SendMouse(label, QEvent::MouseButtonPress, label.TextRect().center(), Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    QVERIFY(!label.IsHovered());
    // A second press without a move first finds the label no longer hovered.
    SendMouse(label, QEvent::MouseButtonPress, label.TextRect().center(), Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);

    SendMouse(label, QEvent::MouseMove, label.TextRect().center());
    SendMouse(label, QEvent::MouseButtonPress, label.TextRect().center(), Qt::RightButton);
    QCOMPARE(rightClicks.count(), 1);
    QCOMPARE(clicks.count(), 1);
}

void TestHyperlinkLabel::hoverChangesColourAndUnderline()
{
    CHyperlinkLabel label(QStringLiteral("Help!"));
    SetUpAsPage(label);
    const QImage normal = label.grab().toImage();
    QVERIFY(CountPixels(normal, Qt::blue) > 20);
    QCOMPARE(CountPixels(normal, Qt::red), 0);

    SendMouse(label, QEvent::MouseMove, label.TextRect().center());
    const QImage hovered = label.grab().toImage();
    QCOMPARE(CountPixels(hovered, Qt::blue), 0);
    // More red than the plain text had blue: the underline is drawn as well.
    QVERIFY(CountPixels(hovered, Qt::red) > CountPixels(normal, Qt::blue));
}

void TestHyperlinkLabel::wordWrapPutsEachWordOnALine()
{
    CHyperlinkLabel label(QStringLiteral("Click here to recharge"));
    SetUpAsPage(label);
    const QRect single = label.TextRect();
    label.SetWordWrap(true);
    const QRect wrapped = label.TextRect();
    QVERIFY(wrapped.height() >= 4 * single.height() - 4);
    QVERIFY(wrapped.width() <= QFontMetrics(label.DrawFont()).horizontalAdvance(QStringLiteral("recharge")) + 2);
}

void TestHyperlinkLabel::customFontSettings()
{
    CHyperlinkLabel label(QStringLiteral("Help!"));
    label.SetFontSize(14, 0);
    label.SetFontStyle(true, true);
    QCOMPARE(label.DrawFont(), label.font()); // ignored until the custom font is on

    label.SetCustomFont(true);
    QCOMPARE(label.DrawFont().pixelSize(), 14);
    QCOMPARE(label.DrawFont().weight(), QFont::Bold);
    QVERIFY(label.DrawFont().italic());

    label.SetFontSize(0, 30); // a height of 0 keeps the base font's size and width
    QCOMPARE(label.DrawFont().pointSizeF(), label.font().pointSizeF());
    QCOMPARE(label.DrawFont().stretch(), label.font().stretch());
}

void TestHyperlinkLabel::clickPolicy_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("addBuddy");
    QTest::addColumn<QString>("target");

    const QString help = QStringLiteral("http://www.orvalo.test/dial_instrux.aspx");
    QTest::newRow("add buddy label") << 104 << QString() << "Click here to add a buddy" << true << QString();
    QTest::newRow("add buddy label with a link") << 104 << help << "x" << true << QString();
    QTest::newRow("page link") << 1029 << help << "Help!" << false << help;
    QTest::newRow("https link, any case") << 7 << "HTTPS://www.orvalo.test/login.aspx"
                                          << "x" << false << "https://www.orvalo.test/login.aspx";
    QTest::newRow("address text") << 7 << QString() << "help@orvalo.test" << false << "mailto:help@orvalo.test";
    QTest::newRow("mailto text") << 7 << QString() << "mailto:help@orvalo.test" << false << "mailto:help@orvalo.test";
    QTest::newRow("web text") << 7 << QString() << "http://www.orvalo.test/" << false << "http://www.orvalo.test/";
    QTest::newRow("plain text") << 7 << QString() << "Help!" << false << QString();
    QTest::newRow("file link") << 7 << "file:///etc/passwd"
                               << "x" << false << QString();
    QTest::newRow("script text") << 7 << QString() << "javascript:alert(1)" << false << QString();
    QTest::newRow("program text") << 7 << QString() << "/usr/bin/xterm" << false << QString();
    QTest::newRow("web link without host") << 7 << "http:index.html"
                                           << "x" << false << QString();
}

void TestHyperlinkLabel::clickPolicy()
{
    QFETCH(int, id);
    QFETCH(QString, link);
    QFETCH(QString, text);
    QFETCH(bool, addBuddy);
    QFETCH(QString, target);

    int addBuddyRuns = 0;
    QList<QUrl> opened;
    RunLinkClick(
        ResolveLinkClick(id, link, text), [&] { ++addBuddyRuns; }, [&](const QUrl& url) { opened << url; });
    QCOMPARE(addBuddyRuns, addBuddy ? 1 : 0);
    QCOMPARE(opened.size(), target.isEmpty() ? 0 : 1);
    if (!target.isEmpty()) {
        QCOMPARE(opened.first().toString(), target);
    }
}

void TestHyperlinkLabel::addBuddyLabelRunsAddBuddyOnly()
{
    // The shell wires a label's click to the policy with its own commands.
    CHyperlinkLabel label(QStringLiteral("Click here to add a buddy"));
    label.setObjectName(QStringLiteral("104"));
    label.SetLink(QStringLiteral("http://www.orvalo.test/"));
    SetUpAsPage(label);
    int addBuddyRuns = 0;
    QList<QUrl> opened;
    QObject::connect(&label, &CHyperlinkLabel::clicked, [&] {
        RunLinkClick(
            ResolveLinkClick(label.ControlId(), label.Link(), label.Text()), [&] { ++addBuddyRuns; },
            [&](const QUrl& url) { opened << url; });
    });
    SendMouse(label, QEvent::MouseMove, label.TextRect().center());
    SendMouse(label, QEvent::MouseButtonPress, label.TextRect().center(), Qt::LeftButton);
    QCOMPARE(addBuddyRuns, 1);
    QVERIFY(opened.isEmpty());
}

QTEST_MAIN(TestHyperlinkLabel)
#include "tst_HyperlinkLabel.moc"
