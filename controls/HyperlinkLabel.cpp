#include "HyperlinkLabel.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cstdlib>

namespace {
const QString kDefaultText = QStringLiteral("Click here");
constexpr int kMaxFontStretch = 4000;
} // namespace

// What a screen reader announces: a link named by its text, which it can press.
class CHyperlinkLabelAccessible : public QAccessibleWidget {
public:
    explicit CHyperlinkLabelAccessible(CHyperlinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override
    {
        const auto* label = static_cast<const CHyperlinkLabel*>(widget());
        if (kind == QAccessible::Name)
            return label->Text();
        if (kind == QAccessible::Description && !label->Link().isEmpty())
            return label->Link();
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }
    void doAction(const QString& name) override
    {
        if (name == pressAction())
            static_cast<CHyperlinkLabel*>(widget())->OnClick();
        else
            QAccessibleWidget::doAction(name);
    }
};

namespace {
QAccessibleInterface* HyperlinkLabelAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("CHyperlinkLabel") && object && object->isWidgetType())
        return new CHyperlinkLabelAccessible(static_cast<CHyperlinkLabel*>(object));
    return nullptr;
}
} // namespace

CHyperlinkLabel::CHyperlinkLabel(const QString& text, QWidget* parent) : QWidget(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(HyperlinkLabelAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    setMouseTracking(true);
    SetText(text);
}

void CHyperlinkLabel::SetTextColor(const QColor& colour)
{
    m_textColour = colour;
    update();
}

void CHyperlinkLabel::SetHoverColor(const QColor& colour)
{
    m_hoverColour = colour;
    update();
}

void CHyperlinkLabel::SetAlignment(EAlignment alignment)
{
    m_alignment = alignment;
    update();
}

void CHyperlinkLabel::SetWordWrap(bool on)
{
    m_wordWrap = on;
    updateGeometry();
    update();
}

void CHyperlinkLabel::SetFontStyle(bool bold, bool italic)
{
    m_bold = bold;
    m_italic = italic;
    updateGeometry();
    update();
}

void CHyperlinkLabel::SetFontSize(int height, int width)
{
    m_fontHeight = height;
    m_fontWidth = width;
    updateGeometry();
    update();
}

void CHyperlinkLabel::SetCustomFont(bool on)
{
    m_customFont = on;
    updateGeometry();
    update();
}

void CHyperlinkLabel::SetFontFace(const QString& face)
{
    m_fontFace = face;
    updateGeometry();
    update();
}

void CHyperlinkLabel::SetLink(const QString& target)
{
    m_link = target;
}

void CHyperlinkLabel::SetText(const QString& text)
{
    m_text = text.isEmpty() ? kDefaultText : text;
    updateGeometry();
    update();
}

int CHyperlinkLabel::ControlId() const
{
    return objectName().toInt();
}

QFont CHyperlinkLabel::DrawFont() const
{
    QFont drawFont = font();
    if (m_customFont) {
        if (!m_fontFace.isEmpty()) {
            drawFont.setFamily(m_fontFace);
            drawFont.setStyleHint(QFont::SansSerif);
        }
        if (m_fontHeight != 0) {
            drawFont.setPixelSize(std::abs(m_fontHeight));
            if (m_fontWidth != 0) {
                // A width asks for an average character width; stretch the face to it.
                const int natural = QFontMetrics(drawFont).averageCharWidth();
                if (natural > 0) {
                    drawFont.setStretch(std::clamp(std::abs(m_fontWidth) * 100 / natural, 1, kMaxFontStretch));
                }
            }
        }
        drawFont.setWeight(m_bold ? QFont::Bold : QFont::Normal);
        drawFont.setItalic(m_italic);
    }
    drawFont.setUnderline(m_hovered);
    return drawFont;
}

int CHyperlinkLabel::TextFlags() const
{
    int flags = m_wordWrap ? Qt::TextWordWrap : Qt::TextSingleLine;
    switch (m_alignment) {
    case EAlignment::Left: flags |= Qt::AlignLeft; break;
    case EAlignment::Centre: flags |= Qt::AlignHCenter; break;
    case EAlignment::Right: flags |= Qt::AlignRight; break;
    }
    return flags | Qt::AlignTop;
}

QSize CHyperlinkLabel::TextSize() const
{
    // Measured in a 1-pixel box: with word wrap every word gets a line of its own.
    const QRect measured = QFontMetrics(DrawFont()).boundingRect(QRect(0, 0, 1, 1), TextFlags(), m_text);
    return QSize(std::max(1, measured.width()), measured.height());
}

QRect CHyperlinkLabel::TextRect() const
{
    const QSize size = TextSize();
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

QSize CHyperlinkLabel::sizeHint() const
{
    return TextSize();
}

void CHyperlinkLabel::OnClick()
{
    emit clicked();
}

void CHyperlinkLabel::OnRightClick()
{
    emit rightClicked();
}

void CHyperlinkLabel::paintEvent(QPaintEvent*)
{
    // The background is left alone so that the label blends into whatever lies beneath it.
    QPainter painter(this);
    painter.setFont(DrawFont());
    painter.setPen(m_hovered ? m_hoverColour : m_textColour);
    painter.drawText(TextRect(), TextFlags(), m_text);
}

void CHyperlinkLabel::SetHovered(bool hovered)
{
    if (hovered == m_hovered) {
        return;
    }
    m_hovered = hovered;
    if (m_hovered) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
    update();
}

void CHyperlinkLabel::mouseMoveEvent(QMouseEvent* event)
{
    SetHovered(TextRect().contains(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void CHyperlinkLabel::leaveEvent(QEvent* event)
{
    SetHovered(false);
    QWidget::leaveEvent(event);
}

void CHyperlinkLabel::mousePressEvent(QMouseEvent* event)
{
    const bool left = event->button() == Qt::LeftButton;
    if (m_hovered && (left || event->button() == Qt::RightButton)) {
        // The click action may close the window that holds the label.
        const QPointer<CHyperlinkLabel> self(this);
        if (left) {
            OnClick();
        } else {
            OnRightClick();
        }
        if (self) {
            SetHovered(false);
            event->accept();
        }
        return;
    }
    QWidget::mousePressEvent(event);
}
