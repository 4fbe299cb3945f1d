#include "StatusPane.h"

#include <QPainter>
#include <QRegularExpression>
#include <QStyle>

namespace {
QString OneLine(const QString& text)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\\r\\n]+"));
    QString line = text;
    return line.replace(lineBreaks, QStringLiteral(" "));
}
} // namespace

CStatusPane::CStatusPane(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText); // it shows names the server sends
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QString CStatusPane::ShownText() const
{
    return fontMetrics().elidedText(OneLine(text()), Qt::ElideRight, contentsRect().width());
}

QSize CStatusPane::sizeHint() const
{
    const QMargins margins = contentsMargins();
    return QSize(margins.left() + margins.right(), fontMetrics().height() + margins.top() + margins.bottom());
}

QSize CStatusPane::minimumSizeHint() const
{
    return sizeHint();
}

void CStatusPane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(),
                          ShownText(), foregroundRole());
}
