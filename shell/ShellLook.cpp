#include "ShellLook.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPalette>
#include <QStringList>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <cmath>

int DluX(int units)
{
    return static_cast<int>(std::lround(units * 1.5));
}

int DluY(int units)
{
    return static_cast<int>(std::lround(units * 1.625));
}

QRect DluRect(int x, int y, int width, int height)
{
    return QRect(DluX(x), DluY(y), DluX(width), DluY(height));
}

namespace {
// The faces the windows ask for are rarely installed here; fontconfig's default
// sans face runs much wider than they do, so metric-compatible faces go first.
void InstallFontSubstitutes()
{
    static const bool installed = [] {
        const QStringList arialLike = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                       QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")};
        for (const char* face : {"Arial", "Tahoma", "MS Shell Dlg", "MS Sans Serif", "Microsoft Sans Serif"})
            QFont::insertSubstitutions(QString::fromLatin1(face), arialLike);
        return true;
    }();
    Q_UNUSED(installed);
}

QFont FontFamily(const QString& family)
{
    InstallFontSubstitutes();
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
} // namespace

QFont ShellFont(const QString& family, int cellHeight, int weight)
{
    // The cell height includes the internal leading; the em is about 87 % of it.
    constexpr double kEmPerCell = 0.87;
    QFont font = FontFamily(family);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(cellHeight * kEmPerCell))));
    font.setWeight(weight >= 700 ? QFont::Bold : QFont::Normal);
    return font;
}

QFont ShellPointFont(const QString& family, qreal points)
{
    QFont font = FontFamily(family);
    font.setPointSizeF(points);
    return font;
}

QFont FontFitting(const QFont& font, const QString& text, int width)
{
    constexpr int kSmallestPixelSize = 9;
    QFont fitted = font;
    while (fitted.pixelSize() > kSmallestPixelSize && QFontMetrics(fitted).horizontalAdvance(text) > width)
        fitted.setPixelSize(fitted.pixelSize() - 1);
    return fitted;
}

int LineEditTextWidth(const QLineEdit& edit)
{
    // The edit keeps two pixels free on either side of its text, inside the frame.
    constexpr int kInnerMargin = 2;
    const int frame = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit) : 0;
    const QMargins text = edit.textMargins();
    return edit.width() - 2 * (frame + kInnerMargin) - text.left() - text.right();
}

void PaintShellBackground(QWidget& widget, bool colourEdits)
{
    QPalette palette = widget.palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, kShellBackground);
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::ButtonText, Qt::black);
        palette.setColor(group, QPalette::Text, Qt::black);
        if (colourEdits)
            palette.setColor(group, QPalette::Base, kShellBackground);
    }
    palette.setColor(QPalette::Disabled, QPalette::Window, kShellBackground);
    if (colourEdits)
        palette.setColor(QPalette::Disabled, QPalette::Base, kShellBackground);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}
