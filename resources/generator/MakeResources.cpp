// Draws the program's pictures into a folder laid out as resources/ is.
// scripts/make-resources builds and runs it; the pictures it makes are committed,
// so that building the phone never needs this program.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <array>

namespace {

// The program's own colours: window background and dial-pad buttons.
const QColor kBackground(221, 238, 255);
const QColor kButton(175, 201, 223);
// Deeper blues of the same hue for outlines and the telephone body.
const QColor kInk(24, 64, 110);
const QColor kBlueDark(38, 92, 150);
const QColor kBlueLight(120, 170, 220);

// A fill running from light at the top to dark at the bottom, with an outline.
struct Tone {
    QColor light;
    QColor dark;
    QColor line;
};

const Tone kGreen{QColor(150, 226, 120), QColor(46, 150, 46), QColor(24, 96, 24)};
const Tone kAmber{QColor(255, 226, 120), QColor(232, 150, 20), QColor(150, 90, 0)};
const Tone kRed{QColor(255, 150, 130), QColor(210, 52, 40), QColor(130, 20, 14)};
const Tone kGrey{QColor(236, 236, 236), QColor(160, 160, 160), QColor(100, 100, 100)};
const Tone kBlue{QColor(170, 205, 240), QColor(58, 112, 170), QColor(24, 64, 110)};

constexpr int kIconSize = 16;

QImage NewImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QLinearGradient Vertical(qreal top, qreal bottom, const QColor& light, const QColor& dark)
{
    QLinearGradient gradient(0, top, 0, bottom);
    gradient.setColorAt(0, light);
    gradient.setColorAt(1, dark);
    return gradient;
}

QPen Line(const QColor& colour, qreal width = 1)
{
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// A painter on `image` whose unit is one pixel of a 16 by 16 design, however large the image.
class DesignPainter : public QPainter {
public:
    explicit DesignPainter(QImage& image) : QPainter(&image)
    {
        setRenderHint(QPainter::Antialiasing);
        scale(image.width() / qreal(kIconSize), image.height() / qreal(kIconSize));
    }
};

// Head and shoulders, filling the left twelve columns of a 16 by 16 cell.
void DrawPerson(QPainter& painter, const Tone& tone, QPointF offset = {})
{
    painter.save();
    painter.translate(offset);
    painter.setPen(Line(tone.line));

    QPainterPath body;
    body.moveTo(1.5, 15.5);
    body.lineTo(1.5, 12.5);
    body.cubicTo(1.5, 10.0, 3.5, 8.5, 6.5, 8.5);
    body.cubicTo(9.5, 8.5, 11.5, 10.0, 11.5, 12.5);
    body.lineTo(11.5, 15.5);
    body.closeSubpath();
    painter.setBrush(Vertical(8.5, 15.5, tone.light, tone.dark));
    painter.drawPath(body);

    painter.setBrush(Vertical(1, 8, tone.light, tone.dark));
    painter.drawEllipse(QPointF(6.5, 4.5), 3.3, 3.3);
    // A small highlight gives the head some roundness.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 150));
    painter.drawEllipse(QPointF(5.6, 3.4), 1.2, 0.9);
    painter.restore();
}

// The badges that tell one presence from another, in the lower right corner.
enum class Badge { Clock, Moon, NoEntry, Handset, Cup };

const QPointF kBadgeCentre(11.6, 11.6);
constexpr qreal kBadgeRadius = 3.8;

void DrawHandsetShape(QPainter& painter, const QColor& fill, const QColor& line, qreal lineWidth)
{
    // A handset lying on its back: two cups joined by a bowed grip, in a 10 by 4 box at the origin.
    QPainterPath handset;
    handset.moveTo(0.0, 3.2);
    handset.cubicTo(0.0, 1.0, 1.6, 0.0, 5.0, 0.0);
    handset.cubicTo(8.4, 0.0, 10.0, 1.0, 10.0, 3.2);
    handset.lineTo(10.0, 4.0);
    handset.lineTo(7.4, 4.0);
    handset.lineTo(7.0, 2.6);
    handset.cubicTo(6.0, 2.3, 4.0, 2.3, 3.0, 2.6);
    handset.lineTo(2.6, 4.0);
    handset.lineTo(0.0, 4.0);
    handset.closeSubpath();
    painter.setPen(Line(line, lineWidth));
    painter.setBrush(fill);
    painter.drawPath(handset);
}

void DrawBadge(QPainter& painter, Badge badge)
{
    painter.save();
    // Cut a transparent ring around the badge so that it stands apart from the person.
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(kBadgeCentre, kBadgeRadius + 0.9, kBadgeRadius + 0.9);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.translate(kBadgeCentre);

    switch (badge) {
    case Badge::Clock:
        painter.setPen(Line(kInk));
        painter.setBrush(QColor(255, 255, 255));
        painter.drawEllipse(QPointF(), kBadgeRadius - 0.2, kBadgeRadius - 0.2);
        painter.setPen(Line(kInk, 1.1));
        painter.drawLine(QPointF(0, 0.3), QPointF(0, -2.2));
        painter.drawLine(QPointF(0, 0.3), QPointF(1.7, 0.3));
        break;
    case Badge::Moon: {
        painter.setPen(Line(kInk));
        painter.setBrush(Vertical(-4, 4, kBlueDark, kInk));
        painter.drawEllipse(QPointF(), kBadgeRadius - 0.2, kBadgeRadius - 0.2);
        QPainterPath moon;
        moon.addEllipse(QPointF(-0.4, 0), 2.5, 2.5);
        QPainterPath bite;
        bite.addEllipse(QPointF(0.9, -0.9), 2.1, 2.1);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 222, 90));
        painter.drawPath(moon.subtracted(bite));
        break;
    }
    case Badge::NoEntry:
        painter.setPen(Line(kRed.line));
        painter.setBrush(Vertical(-4, 4, QColor(240, 90, 70), QColor(190, 30, 20)));
        painter.drawEllipse(QPointF(), kBadgeRadius - 0.2, kBadgeRadius - 0.2);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(-2.4, -0.9, 4.8, 1.8), 0.5, 0.5);
        break;
    case Badge::Handset:
        painter.setPen(Line(kInk));
        painter.setBrush(QColor(255, 255, 255));
        painter.drawEllipse(QPointF(), kBadgeRadius - 0.2, kBadgeRadius - 0.2);
        painter.translate(-2.9, -1.5);
        painter.scale(0.58, 0.75);
        DrawHandsetShape(painter, kInk, kInk, 0.0);
        break;
    case Badge::Cup: {
        painter.setPen(Line(kInk));
        painter.setBrush(QColor(255, 255, 255));
        painter.drawEllipse(QPointF(), kBadgeRadius - 0.2, kBadgeRadius - 0.2);
        const QColor brown(110, 60, 20);
        painter.setPen(Line(brown, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QPointF(1.4, -0.3), 1.1, 1.0); // handle
        QPainterPath cup;
        cup.moveTo(-2.6, -1.8);
        cup.lineTo(0.8, -1.8);
        cup.lineTo(0.6, 0.8);
        cup.cubicTo(0.5, 1.9, -0.1, 2.1, -0.9, 2.1);
        cup.cubicTo(-1.7, 2.1, -2.3, 1.9, -2.4, 0.8);
        cup.closeSubpath();
        painter.setPen(Qt::NoPen);
        painter.setBrush(brown);
        painter.drawPath(cup);
        break;
    }
    }
    painter.restore();
}

// A desk telephone seen from the front: a handset resting on a body with a keypad.
// Drawn in a 16 by 16 design; `detail` adds the keypad, which only large sizes can show.
void DrawDeskPhone(QPainter& painter, bool detail)
{
    QPainterPath body;
    body.moveTo(3.2, 6.5);
    body.lineTo(12.8, 6.5);
    body.cubicTo(13.6, 6.5, 14.0, 7.0, 14.2, 7.8);
    body.lineTo(15.3, 13.6);
    body.cubicTo(15.5, 14.6, 15.0, 15.2, 14.0, 15.2);
    body.lineTo(2.0, 15.2);
    body.cubicTo(1.0, 15.2, 0.5, 14.6, 0.7, 13.6);
    body.lineTo(1.8, 7.8);
    body.cubicTo(2.0, 7.0, 2.4, 6.5, 3.2, 6.5);
    body.closeSubpath();
    painter.setPen(Line(kInk, detail ? 0.5 : 1.0));
    painter.setBrush(Vertical(6.5, 15.2, kBlueLight, kBlueDark));
    painter.drawPath(body);

    painter.save();
    painter.translate(1.0, 1.2);
    painter.scale(1.4, 1.25);
    DrawHandsetShape(painter, kBlueDark, kInk, detail ? 0.36 : 0.7);
    painter.restore();

    if (detail) {
        // A light keypad plate with twelve keys.
        painter.setPen(Line(kInk, 0.35));
        painter.setBrush(kBackground);
        const QRectF plate(4.6, 8.4, 6.8, 5.6);
        painter.drawRoundedRect(plate, 0.6, 0.6);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kBlueDark);
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 3; ++column)
                painter.drawRoundedRect(QRectF(5.3 + column * 2.0, 8.95 + row * 1.25, 1.4, 0.8), 0.25, 0.25);
        }
    } else {
        // At small sizes a light band stands for the keypad.
        painter.setPen(Qt::NoPen);
        painter.setBrush(kBackground);
        painter.drawRect(QRectF(4.0, 9.0, 8.0, 5.0));
        painter.setBrush(kInk);
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 3; ++column)
                painter.drawRect(QRectF(5.0 + column * 2.0, 10.0 + row * 2.0, 1.0, 1.0));
        }
    }
}

QImage StatusIcon(int index)
{
    QImage image = NewImage(kIconSize, kIconSize);
    DesignPainter painter(image);
    // The person's colour says how reachable someone is; the badge says why.
    switch (index) {
    case 0: // out to lunch
        DrawPerson(painter, kAmber);
        DrawBadge(painter, Badge::Cup);
        break;
    case 1: // on the phone
        DrawPerson(painter, kRed);
        DrawBadge(painter, Badge::Handset);
        break;
    case 2: // idle
        DrawPerson(painter, kGreen);
        DrawBadge(painter, Badge::Moon);
        break;
    case 3: // online
        DrawPerson(painter, kGreen);
        break;
    case 4: // away
        DrawPerson(painter, kAmber);
        DrawBadge(painter, Badge::Clock);
        break;
    case 5: // offline
        DrawPerson(painter, kGrey);
        break;
    case 6: // busy
        DrawPerson(painter, kRed);
        DrawBadge(painter, Badge::NoEntry);
        break;
    case 7: // phone view
        DrawDeskPhone(painter, false);
        break;
    case 8: // group
        DrawPerson(painter, kBlue, QPointF(4.0, -1.0));
        DrawPerson(painter, kBlue, QPointF(0.0, 0.5));
        break;
    }
    return image;
}

constexpr int kStatusIconCount = 9;

QImage StatusStrip(const std::array<QImage, kStatusIconCount>& icons)
{
    QImage strip = NewImage(kIconSize * kStatusIconCount, kIconSize);
    QPainter painter(&strip);
    for (int index = 0; index < kStatusIconCount; ++index)
        painter.drawImage(index * kIconSize, 0, icons[index]);
    return strip;
}

// The application icon: the desk telephone on a rounded tile in the program's blue.
// Below 32 pixels the tile would leave the telephone too small to read, so it goes.
QImage AppIcon(int size)
{
    QImage image = NewImage(size, size);
    DesignPainter painter(image);
    if (size < 32) {
        DrawDeskPhone(painter, false);
        return image;
    }
    painter.setPen(Line(kInk, 0.4));
    painter.setBrush(Vertical(0.5, 15.5, QColor(240, 248, 255), kButton));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15.0, 15.0), 3.0, 3.0);
    painter.translate(2.4, 2.2);
    painter.scale(0.7, 0.72);
    DrawDeskPhone(painter, true);
    return image;
}

QImage CheckMark()
{
    QImage image = NewImage(kIconSize, kIconSize);
    DesignPainter painter(image);
    QPainterPath tick;
    tick.moveTo(3.0, 8.5);
    tick.lineTo(6.5, 12.0);
    tick.lineTo(13.0, 4.0);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Line(QColor(30, 120, 40), 2.2));
    painter.drawPath(tick);
    return image;
}

constexpr int kBackgroundWidth = 250;
constexpr int kBackgroundHeight = 361;

// Behind the buddy tree and the call log: white fading into the program's blue,
// with soft waves along the bottom where lists seldom reach.
QImage ListBackground()
{
    QImage image(kBackgroundWidth, kBackgroundHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(image.rect(), Vertical(0, kBackgroundHeight, QColor(252, 254, 255), kBackground));
    painter.setPen(Qt::NoPen);
    for (int wave = 0; wave < 3; ++wave) {
        const qreal base = kBackgroundHeight - 70 + wave * 22;
        QPainterPath path;
        path.moveTo(0, base);
        path.cubicTo(70, base - 26 + wave * 6, 160, base + 24, kBackgroundWidth, base - 8);
        path.lineTo(kBackgroundWidth, kBackgroundHeight);
        path.lineTo(0, kBackgroundHeight);
        path.closeSubpath();
        painter.setBrush(QColor(kButton.red(), kButton.green(), kButton.blue(), 40 + wave * 14));
        painter.drawPath(path);
    }
    return image;
}

// Behind the dial pad: the program's blue with faint rings, like the sound of a
// ring, spreading from the upper right corner.
QImage DialPadBackground()
{
    QImage image(kBackgroundWidth, kBackgroundHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(image.rect(), Vertical(0, kBackgroundHeight, kBackground, QColor(205, 224, 244)));
    QRadialGradient glow(QPointF(kBackgroundWidth, 0), 260);
    glow.setColorAt(0, QColor(255, 255, 255, 150));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(image.rect(), glow);
    painter.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 6; ++ring) {
        painter.setPen(QPen(QColor(kButton.red(), kButton.green(), kButton.blue(), 100 - ring * 12), 2.0));
        const qreal radius = ring * 48.0;
        painter.drawEllipse(QPointF(kBackgroundWidth + 20, -20), radius, radius);
    }
    return image;
}

bool Save(const QImage& image, const QDir& folder, const QString& path)
{
    const QString file = folder.filePath(path);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()) || !image.save(file, "PNG")) {
        QTextStream(stderr) << "cannot write " << file << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: make-resources <resources folder>\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    bool ok = true;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        ok &= Save(AppIcon(size), folder, QStringLiteral("icons/128/%1.png").arg(size));
    ok &= Save(AppIcon(256), folder, QStringLiteral("icons/128.png"));

    std::array<QImage, kStatusIconCount> icons;
    for (int index = 0; index < kStatusIconCount; ++index) {
        icons[index] = StatusIcon(index);
        ok &= Save(icons[index], folder, QStringLiteral("bitmaps/130/%1.png").arg(index));
    }
    ok &= Save(StatusStrip(icons), folder, QStringLiteral("bitmaps/130.png"));
    ok &= Save(CheckMark(), folder, QStringLiteral("bitmaps/164.png"));
    ok &= Save(ListBackground(), folder, QStringLiteral("bitmaps/134.png"));
    ok &= Save(DialPadBackground(), folder, QStringLiteral("bitmaps/169.png"));
    return ok ? 0 : 1;
}
