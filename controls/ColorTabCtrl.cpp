#include "ColorTabCtrl.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>

#include <algorithm>

namespace {
constexpr float kUnselectedDim = 0.9f;
constexpr float kSelectedBright = 1.4f;
constexpr float kGradientDim = 0.7f;
constexpr float kTextDim = 0.5f;
constexpr float kShadowDim = 0.75f;
constexpr float kLightBright = 1.5f;

constexpr int kTabTextMax = 99;
constexpr int kTabInset = 3;
constexpr int kSelectedTopInset = 4;
constexpr int kImageAdvance = 19;
constexpr int kUnselectedGrowth = 2;
constexpr int kBandHeight = 2;
constexpr int kEraseLeftStrip = 2;
constexpr int kEraseBelowTabs = 2;

int Scaled(int component, float factor)
{
    return static_cast<int>(static_cast<float>(component) * factor);
}

int Band(int top, int bottom, int band, int height)
{
    return top + (kBandHeight * band * (bottom - top)) / height;
}
} // namespace

quint32 CColorTabCtrl::s_tabStyle = 0;

QColor DarkenColor(const QColor& colour, float factor)
{
    const float f = std::clamp(factor, 0.0f, 1.0f);
    return QColor(Scaled(colour.red(), f), Scaled(colour.green(), f), Scaled(colour.blue(), f));
}

QColor BrightenColor(const QColor& colour, float factor)
{
    const float f = std::max(factor, 1.0f);
    return QColor(std::min(255, Scaled(colour.red(), f)), std::min(255, Scaled(colour.green(), f)),
                  std::min(255, Scaled(colour.blue(), f)));
}

QColor TabBaseColor(const STabColorInputs& in)
{
    return (in.style & kTabStyleUseBackground) && in.background ? *in.background : in.buttonFace;
}

QColor TabFillColor(const STabColorInputs& in, bool selected)
{
    if (selected) {
        return (in.style & kTabStyleBrightSelected) ? BrightenColor(TabBaseColor(in), kSelectedBright) : in.buttonFace;
    }
    if ((in.style & kTabStyleDimUnselected) || !(in.style & kTabStylePlainUnselected)) {
        return DarkenColor(TabBaseColor(in), kUnselectedDim);
    }
    return in.background.value_or(in.buttonFace);
}

QColor TabTextColor(const STabColorInputs& in, bool selected)
{
    if (selected) {
        return in.windowText;
    }
    const bool useBackground = (in.style & (kTabStyleUseBackground | kTabStylePlainUnselected)) && in.background;
    return DarkenColor(useBackground ? *in.background : in.buttonFace, kTextDim);
}

QColor TabGradientBottom(const STabColorInputs& in, bool selected)
{
    return selected ? in.buttonFace : DarkenColor(TabBaseColor(in), kGradientDim);
}

bool UsesTabGradient(quint32 style, int displayDepth)
{
    return (style & kTabStyleGradient) && displayDepth > 15;
}

QColor GradientBandColor(const QColor& top, const QColor& bottom, int band, int height)
{
    if (height <= 0) {
        return top;
    }
    return QColor(Band(top.red(), bottom.red(), band, height), Band(top.green(), bottom.green(), band, height),
                  Band(top.blue(), bottom.blue(), band, height));
}

QString ElidedTabText(const QFontMetrics& metrics, const QString& text, int width)
{
    return metrics.elidedText(text.left(kTabTextMax), Qt::ElideRight, std::max(0, width));
}

CColorTabCtrl::CColorTabCtrl(QWidget* parent) : QTabBar(parent), m_ownerDrawn(s_tabStyle != 0)
{
    // Tabs are as wide as their texts; the rest of the row shows the background colour.
    setExpanding(false);
}

void CColorTabCtrl::SetBackgroundColor(const QColor& colour)
{
    m_background = colour;
    update();
}

bool CColorTabCtrl::SetDrawMode(int mode)
{
    if (mode < kSystemDraw || mode > kOwnerDrawAll) {
        return false;
    }
    m_drawMode = mode;
    m_ownerDrawn = mode != kSystemDraw;
    update();
    return true;
}

void CColorTabCtrl::SetTabStyle(bool on, quint32 bits)
{
    s_tabStyle = on ? bits : 0;
}

quint32 CColorTabCtrl::TabStyle()
{
    return s_tabStyle;
}

STabColorInputs CColorTabCtrl::ColorInputs() const
{
    return STabColorInputs{s_tabStyle, m_background, palette().color(QPalette::Button),
                           palette().color(QPalette::WindowText)};
}

QColor CColorTabCtrl::GetTabColor(bool selected) const
{
    return TabFillColor(ColorInputs(), selected);
}

QColor CColorTabCtrl::GetTabTextColor(bool selected) const
{
    return TabTextColor(ColorInputs(), selected);
}

QRect CColorTabCtrl::TabsUnion() const
{
    QRect tabs;
    for (int i = 0; i < count(); ++i) {
        tabs = tabs.united(tabRect(i));
    }
    return tabs;
}

void CColorTabCtrl::paintEvent(QPaintEvent* event)
{
    if (!m_ownerDrawn) {
        QTabBar::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QRect tabs = TabsUnion();
    EraseAroundTabs(painter, tabs);
    const QRect pageArea(0, tabs.bottom() + 1, width(), height() - tabs.bottom() - 1);
    if (!pageArea.isEmpty()) {
        if (m_drawMode == kOwnerDrawAll) {
            DrawMainBorder(painter, pageArea);
        } else {
            DrawPlatformFrame(painter, pageArea);
        }
    }
    for (int i = 0; i < count(); ++i) {
        DrawItem(painter, i);
    }
}

void CColorTabCtrl::EraseAroundTabs(QPainter& painter, const QRect& tabs)
{
    const QColor colour = m_background.value_or(palette().color(QPalette::Button));
    const int rowBottom = tabs.top() + tabs.height() + kEraseBelowTabs;
    const int rightStart = tabs.width() + kEraseLeftStrip;
    painter.fillRect(QRect(0, 0, width(), tabs.top()), colour);
    painter.fillRect(QRect(0, 0, kEraseLeftStrip, rowBottom), colour);
    painter.fillRect(QRect(rightStart, 0, width() - rightStart, rowBottom), colour);
}

void CColorTabCtrl::DrawPlatformFrame(QPainter& painter, const QRect& pageArea)
{
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.rect = pageArea;
    option.shape = shape();
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, this);
}

void CColorTabCtrl::DrawMainBorder(QPainter& painter, const QRect& pageArea)
{
    const QColor base = TabBaseColor(ColorInputs());
    const QRect frame = pageArea.adjusted(0, 0, -1, -1);
    painter.setPen(BrightenColor(base, kLightBright));
    painter.drawLine(frame.topLeft(), frame.topRight());
    painter.drawLine(frame.topLeft(), frame.bottomLeft());
    painter.setPen(DarkenColor(base, kShadowDim));
    painter.drawLine(frame.bottomLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomRight());
}

void CColorTabCtrl::DrawItemBorder(QPainter& painter, const QRect& tab, bool selected)
{
    const QColor base = TabBaseColor(ColorInputs());
    if (selected || (s_tabStyle & kTabStyleDimUnselected)) {
        painter.setPen(BrightenColor(base, kLightBright));
        painter.drawLine(tab.bottomLeft(), tab.topLeft());
        painter.drawLine(tab.topLeft(), tab.topRight());
    }
    painter.setPen(DarkenColor(base, kShadowDim));
    painter.drawLine(tab.topRight(), tab.bottomRight());
}

void CColorTabCtrl::DrawItem(QPainter& painter, int index)
{
    const bool selected = index == currentIndex();
    QRect tab = tabRect(index);
    if (selected) {
        tab.adjust(0, 0, 0, -1);
    } else {
        tab.adjust(0, 0, 0, kUnselectedGrowth);
    }

    const STabColorInputs colours = ColorInputs();
    const QColor top = GetTabColor(selected);
    if (UsesTabGradient(colours.style, depth())) {
        const QColor bottom = TabGradientBottom(colours, selected);
        for (int y = tab.top(), band = 0; y <= tab.bottom(); y += kBandHeight, ++band) {
            const QRect strip(tab.left(), y, tab.width(), std::min(kBandHeight, tab.bottom() - y + 1));
            painter.fillRect(strip, GradientBandColor(top, bottom, band, tab.height()));
        }
    } else {
        painter.fillRect(tab, top);
    }
    DrawItemBorder(painter, tab, selected);

    QRect textArea = tab.adjusted(kTabInset, selected ? kSelectedTopInset : kTabInset, -kTabInset, 0);
    const QIcon icon = tabIcon(index);
    if (!icon.isNull()) {
        painter.drawPixmap(textArea.topLeft(), icon.pixmap(iconSize()));
        textArea.setLeft(textArea.left() + kImageAdvance);
    }
    painter.setFont(font());
    painter.setPen(GetTabTextColor(selected));
    painter.drawText(textArea, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                     ElidedTabText(painter.fontMetrics(), tabText(index), textArea.width()));
}
