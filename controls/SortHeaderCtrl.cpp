#include "SortHeaderCtrl.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int kHeaderTextMax = 255;
} // namespace

CSortHeaderCtrl::CSortHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setSortIndicatorShown(false);
    setStretchLastSection(false);
    setMinimumSectionSize(0);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CSortHeaderCtrl::SetSortArrow(int column, bool ascending)
{
    m_sortColumn = column;
    m_ascending = ascending;
    viewport()->update();
}

void CSortHeaderCtrl::mousePressEvent(QMouseEvent* event)
{
    m_pressedSection = logicalIndexAt(event->position().toPoint());
    QHeaderView::mousePressEvent(event);
}

void CSortHeaderCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressedSection = -1;
    QHeaderView::mouseReleaseEvent(event);
}

void CSortHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (logicalIndex != m_sortColumn) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    painter->save();
    painter->setClipRect(rect);
    painter->fillRect(rect, palette().button());
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());

    QRect item = rect;
    if (logicalIndex == m_pressedSection) {
        item.translate(1, 2);
    }
    const int b = item.height() / 4;
    QRect textArea = item;
    textArea.setRight(textArea.right() - 3 * b);
    textArea.adjust(b, 0, -b, 0);
    if (textArea.width() > 0) {
        const QString text = model()->headerData(logicalIndex, orientation()).toString().left(kHeaderTextMax);
        Qt::Alignment horizontal =
            Qt::Alignment(model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole).toInt()) &
            Qt::AlignHorizontal_Mask;
        if (!horizontal) {
            horizontal = Qt::AlignLeft;
        }
        painter->setPen(palette().color(QPalette::ButtonText));
        painter->drawText(textArea, horizontal | Qt::AlignVCenter | Qt::TextSingleLine,
                          painter->fontMetrics().elidedText(text, Qt::ElideRight, textArea.width()));
    }
    DrawArrow(*painter, item);
    painter->restore();
}

void CSortHeaderCtrl::DrawArrow(QPainter& painter, const QRect& item) const
{
    // Lines are measured from the item's right edge R and its top; b is a quarter of the height.
    const int h = item.height();
    const int b = h / 4;
    const int r = item.right() + 1;
    const int top = item.top();
    const QColor light = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    const auto at = [&](int x, int y) { return QPoint(x, top + y); };
    if (m_ascending) {
        painter.setPen(light);
        const QPoint lit[] = {at(r - 2 * b, b), at(r - b, h - b - 1), at(r - 3 * b - 2, h - b - 1)};
        painter.drawPolyline(lit, 3);
        painter.setPen(shadow);
        painter.drawLine(at(r - 3 * b - 1, h - b - 1), at(r - 2 * b, b - 1));
    } else {
        painter.setPen(light);
        painter.drawLine(at(r - b - 1, b), at(r - 2 * b - 1, h - b));
        painter.setPen(shadow);
        const QPoint shaded[] = {at(r - 2 * b - 2, h - b), at(r - 3 * b - 1, b), at(r - b - 1, b)};
        painter.drawPolyline(shaded, 3);
    }
}
