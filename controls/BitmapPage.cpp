#include "BitmapPage.h"

#include <QPainter>

QRect PagePictureRect(CBitmapPage::EPlacement placement, const QSize& picture, const QSize& page)
{
    if (placement != CBitmapPage::kCentre) {
        return QRect(QPoint(0, 0), page);
    }
    const int x = picture.width() < page.width() ? (page.width() - picture.width()) / 2 : 0;
    const int y = picture.height() < page.height() ? (page.height() - picture.height()) / 2 : 0;
    return QRect(QPoint(x, y), picture);
}

CBitmapPage::CBitmapPage(QWidget* parent) : QWidget(parent)
{
    // The default erasing: the palette's window colour.
    setAutoFillBackground(true);
}

bool CBitmapPage::SetPageBitmap(const QString& resourcePath)
{
    QPixmap picture;
    const bool loaded = picture.load(resourcePath);
    SetPageBitmap(picture);
    return loaded;
}

void CBitmapPage::SetPageBitmap(const QPixmap& picture)
{
    m_picture = picture;
    update();
}

void CBitmapPage::SetPlacement(EPlacement placement)
{
    m_placement = placement;
    update();
}

void CBitmapPage::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull()) {
        return;
    }
    QPainter painter(this);
    const QRect area = PagePictureRect(m_placement, m_picture.size(), size());
    if (m_placement == kTile) {
        painter.drawTiledPixmap(area, m_picture);
    } else {
        painter.drawPixmap(area, m_picture);
    }
}
