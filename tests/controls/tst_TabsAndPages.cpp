#include "controls/BitmapPage.h"
#include "controls/ColorTabCtrl.h"

#include <QPainter>
#include <QTest>

namespace {
const QColor kBackground(221, 238, 255);
const QColor kButtonFace(100, 150, 200);

STabColorInputs Inputs(quint32 style, bool withBackground)
{
    return STabColorInputs{style, withBackground ? std::optional<QColor>(kBackground) : std::nullopt, kButtonFace,
                           QColor(1, 2, 3)};
}

QPixmap MarkedPicture(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    image.setPixelColor(0, 0, Qt::red);
    return QPixmap::fromImage(image);
}
} // namespace

class TestTabsAndPages : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { CColorTabCtrl::SetTabStyle(false, 0); }
    void mainViewColours();
    void styleBits_data();
    void styleBits();
    void scalingLimitsAndTruncates();
    void gradientBands();
    void drawModes();
    void ownerDrawnTabsArePainted();
    void tabTextIsCutWithAnEllipsis();
    void picturePlacement_data();
    void picturePlacement();
    void pagePainting();
};

void TestTabsAndPages::mainViewColours()
{
    CColorTabCtrl::SetTabStyle(true, 14);
    CColorTabCtrl tabs;
    QVERIFY(tabs.IsOwnerDrawn());
    tabs.SetBackgroundColor(kBackground);
    QCOMPARE(tabs.GetTabColor(true), QColor(255, 255, 255));
    QCOMPARE(tabs.GetTabColor(false), QColor(198, 214, 229));
    QCOMPARE(tabs.GetTabTextColor(false), QColor(110, 119, 127));
    QCOMPARE(tabs.GetTabTextColor(true), tabs.palette().color(QPalette::WindowText));
}

void TestTabsAndPages::styleBits_data()
{
    QTest::addColumn<quint32>("style");
    QTest::addColumn<bool>("withBackground");
    QTest::addColumn<QColor>("selected");
    QTest::addColumn<QColor>("unselected");
    QTest::addColumn<QColor>("unselectedText");

    const QColor dimFace(90, 135, 180);
    const QColor dimBackground(198, 214, 229);
    const QColor faceText(50, 75, 100);
    const QColor backgroundText(110, 119, 127);
    QTest::newRow("no bits") << 0u << true << kButtonFace << dimFace << faceText;
    QTest::newRow("plain unselected") << 0x1u << true << kButtonFace << kBackground << backgroundText;
    QTest::newRow("plain unselected, no background") << 0x1u << false << kButtonFace << kButtonFace << faceText;
    QTest::newRow("dimmed wins over plain") << 0x11u << true << kButtonFace << dimFace << backgroundText;
    QTest::newRow("background base, dimmed") << 0x13u << true << kButtonFace << dimBackground << backgroundText;
    QTest::newRow("bright face, capped") << 0x4u << true << QColor(140, 210, 255) << dimFace << faceText;
    QTest::newRow("background base unset") << 0x6u << false << QColor(140, 210, 255) << dimFace << faceText;
}

void TestTabsAndPages::styleBits()
{
    QFETCH(quint32, style);
    QFETCH(bool, withBackground);
    const STabColorInputs in = Inputs(style, withBackground);
    QTEST(TabFillColor(in, true), "selected");
    QTEST(TabFillColor(in, false), "unselected");
    QTEST(TabTextColor(in, false), "unselectedText");
    QCOMPARE(TabTextColor(in, true), in.windowText);
}

void TestTabsAndPages::scalingLimitsAndTruncates()
{
    QCOMPARE(DarkenColor(QColor(221, 238, 255), 0.9f), QColor(198, 214, 229)); // 198.9 is cut, not rounded
    QCOMPARE(DarkenColor(kButtonFace, 1.5f), kButtonFace);
    QCOMPARE(DarkenColor(kButtonFace, -1.0f), QColor(0, 0, 0));
    QCOMPARE(BrightenColor(kButtonFace, 0.5f), kButtonFace);
    QCOMPARE(BrightenColor(kButtonFace, 1.5f), QColor(150, 225, 255));
}

void TestTabsAndPages::gradientBands()
{
    const QColor top(255, 255, 255);
    const QColor bottom(154, 166, 178);
    QCOMPARE(GradientBandColor(top, bottom, 0, 21), top);
    // 255 + (10 * -101) / 21: the quotient is cut towards zero (-48), not floored (-49).
    QCOMPARE(GradientBandColor(top, bottom, 5, 21), QColor(207, 213, 219));
    QCOMPARE(GradientBandColor(QColor(100, 0, 0), QColor(200, 70, 7), 3, 7), QColor(185, 60, 6));
    QCOMPARE(GradientBandColor(top, bottom, 3, 0), top);

    QVERIFY(UsesTabGradient(14, 16));
    QVERIFY(!UsesTabGradient(14, 15));
    QVERIFY(!UsesTabGradient(6, 32));
}

void TestTabsAndPages::drawModes()
{
    CColorTabCtrl::SetTabStyle(false, 14);
    QCOMPARE(CColorTabCtrl::TabStyle(), 0u);
    CColorTabCtrl tabs;
    QVERIFY(!tabs.IsOwnerDrawn());
    QVERIFY(tabs.SetDrawMode(1));
    QVERIFY(tabs.IsOwnerDrawn());
    QVERIFY(!tabs.SetDrawMode(3));
    QVERIFY(!tabs.SetDrawMode(-1));
    QCOMPARE(tabs.DrawMode(), 1);
    QVERIFY(tabs.IsOwnerDrawn());
    QVERIFY(tabs.SetDrawMode(0));
    QVERIFY(!tabs.IsOwnerDrawn());
}

void TestTabsAndPages::ownerDrawnTabsArePainted()
{
    CColorTabCtrl::SetTabStyle(true, 14);
    CColorTabCtrl tabs;
    for (const char* text : {"Buddy List", "Phone View", "Call Logs"}) {
        tabs.addTab(QString::fromLatin1(text));
    }
    tabs.SetBackgroundColor(kBackground);
    tabs.SetDrawMode(1);
    tabs.resize(500, 120);
    const QImage image = tabs.grab().toImage();

    const QRect unselected = tabs.tabRect(1);
    const int x = unselected.center().x();
    QCOMPARE(image.pixelColor(x, unselected.top() + 1), QColor(198, 214, 229));
    const QColor low = image.pixelColor(x, unselected.bottom());
    QVERIFY(low.red() < 198 && low.green() < 214 && low.blue() < 229); // shaded towards the bottom
    QCOMPARE(image.pixelColor(tabs.tabRect(0).center().x(), tabs.tabRect(0).top() + 1), QColor(255, 255, 255));
    QCOMPARE(image.pixelColor(tabs.width() - 3, 1), kBackground); // right of the tabs

    CColorTabCtrl::SetTabStyle(true, 6); // no gradient: flat fill
    const QImage flat = tabs.grab().toImage();
    QCOMPARE(flat.pixelColor(x, unselected.bottom()), QColor(198, 214, 229));
}

void TestTabsAndPages::tabTextIsCutWithAnEllipsis()
{
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 9));
    const QString cut = ElidedTabText(metrics, QStringLiteral("Call Logs of the whole year"), 60);
    QVERIFY(cut.endsWith(QChar(0x2026)));
    QVERIFY(metrics.horizontalAdvance(cut) <= 60);
    QCOMPARE(ElidedTabText(metrics, QStringLiteral("Call Logs"), 500), QStringLiteral("Call Logs"));
    QCOMPARE(ElidedTabText(metrics, QString(150, QLatin1Char('i')), 100000).size(), 99);
}

void TestTabsAndPages::picturePlacement_data()
{
    QTest::addColumn<int>("placement");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("tile") << 0 << QSize(250, 361) << QRect(0, 0, 300, 400);
    QTest::newRow("centre") << 1 << QSize(100, 50) << QRect(100, 175, 100, 50);
    QTest::newRow("centre, too wide") << 1 << QSize(400, 51) << QRect(0, 174, 400, 51);
    QTest::newRow("centre, too tall") << 1 << QSize(101, 400) << QRect(99, 0, 101, 400);
    QTest::newRow("stretch") << 2 << QSize(10, 10) << QRect(0, 0, 300, 400);
}

void TestTabsAndPages::picturePlacement()
{
    QFETCH(int, placement);
    QFETCH(QSize, picture);
    QTEST(PagePictureRect(static_cast<CBitmapPage::EPlacement>(placement), picture, QSize(300, 400)), "expected");
}

void TestTabsAndPages::pagePainting()
{
    CBitmapPage page;
    page.resize(300, 400);
    QPalette palette = page.palette();
    palette.setColor(QPalette::Window, kBackground);
    page.setPalette(palette);

    QVERIFY(!page.SetPageBitmap(QStringLiteral(":/bitmaps/no-such-picture.png")));
    QImage image = page.grab().toImage();
    QCOMPARE(image.pixelColor(0, 0), kBackground);
    QCOMPARE(image.pixelColor(299, 399), kBackground);

    page.SetPageBitmap(MarkedPicture(QSize(100, 100)));
    image = page.grab().toImage();
    QCOMPARE(image.pixelColor(100, 300), QColor(Qt::red));
    QCOMPARE(image.pixelColor(200, 100), QColor(Qt::red));
    QCOMPARE(image.pixelColor(250, 350), QColor(Qt::blue));

    page.SetPlacement(CBitmapPage::kCentre);
    image = page.grab().toImage();
    QCOMPARE(image.pixelColor(100, 150), QColor(Qt::red));
    QCOMPARE(image.pixelColor(0, 0), kBackground);

    page.SetPageBitmap(MarkedPicture(QSize(2, 2)));
    page.SetPlacement(CBitmapPage::kStretch);
    image = page.grab().toImage();
    QCOMPARE(image.pixelColor(100, 150), QColor(Qt::red));
    QCOMPARE(image.pixelColor(299, 399), QColor(Qt::blue));
}

QTEST_MAIN(TestTabsAndPages)
#include "tst_TabsAndPages.moc"
