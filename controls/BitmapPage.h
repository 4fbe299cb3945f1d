// A page that paints a picture behind its controls: tiled, centred or stretched.
#pragma once

#include <QPixmap>
#include <QWidget>

class CBitmapPage : public QWidget {
    Q_OBJECT
public:
    enum EPlacement { kTile = 0, kCentre = 1, kStretch = 2 };

    explicit CBitmapPage(QWidget* parent = nullptr);

    // False when the picture cannot be loaded; the page then shows its plain background.
    bool SetPageBitmap(const QString& resourcePath);
    void SetPageBitmap(const QPixmap& picture);
    void SetPlacement(EPlacement placement);

    const QPixmap& PageBitmap() const { return m_picture; }
    EPlacement Placement() const { return m_placement; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
    EPlacement m_placement = kTile;
};

// The area a picture covers on a page of the given size: the whole page when tiled or
// stretched, the picture's own size when centred (at the corner if it does not fit).
QRect PagePictureRect(CBitmapPage::EPlacement placement, const QSize& picture, const QSize& page);
