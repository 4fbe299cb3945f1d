// The main view's tab row, drawn as shaded tabs in the window's own colour.
#pragma once

#include <QColor>
#include <QTabBar>

#include <optional>

// Bits of the tab style word shared by every tab control of the program.
enum ETabStyle : quint32 {
    kTabStylePlainUnselected = 0x1, // unselected tabs keep the base colour (unless dimmed)
    kTabStyleUseBackground = 0x2,   // the base colour is the control's background colour
    kTabStyleBrightSelected = 0x4,  // the selected tab is brightened
    kTabStyleGradient = 0x8,        // tabs are filled with a vertical gradient on deep displays
    kTabStyleDimUnselected = 0x10,  // unselected tabs are dimmed and fully bordered
};

// Colour scaling; factors are single precision and results truncated.
QColor DarkenColor(const QColor& colour, float factor);
QColor BrightenColor(const QColor& colour, float factor);

// What the tab colours are computed from.
struct STabColorInputs {
    quint32 style = 0;
    std::optional<QColor> background; // unset: the button-face colour stands in
    QColor buttonFace;
    QColor windowText;
};

QColor TabBaseColor(const STabColorInputs& in);
QColor TabFillColor(const STabColorInputs& in, bool selected);
QColor TabTextColor(const STabColorInputs& in, bool selected);
// Colour at the bottom of a tab's gradient.
QColor TabGradientBottom(const STabColorInputs& in, bool selected);
// The gradient is drawn only when the style asks for it and the display has more than 15 bits per pixel.
bool UsesTabGradient(quint32 style, int displayDepth);
// Colour of the 2-pixel band number band of a gradient over height pixels.
QColor GradientBandColor(const QColor& top, const QColor& bottom, int band, int height);
// A tab's text cut to width with an ellipsis at the end.
QString ElidedTabText(const QFontMetrics& metrics, const QString& text, int width);

class CColorTabCtrl : public QTabBar {
    Q_OBJECT
public:
    enum EDrawMode { kSystemDraw = 0, kOwnerDrawTabs = 1, kOwnerDrawAll = 2 };

    explicit CColorTabCtrl(QWidget* parent = nullptr);

    void SetBackgroundColor(const QColor& colour);
    // False for an unknown mode, which changes nothing.
    bool SetDrawMode(int mode);
    int DrawMode() const { return m_drawMode; }
    bool IsOwnerDrawn() const { return m_ownerDrawn; }

    static void SetTabStyle(bool on, quint32 bits);
    static quint32 TabStyle();

    virtual QColor GetTabColor(bool selected) const;
    virtual QColor GetTabTextColor(bool selected) const;

protected:
    void paintEvent(QPaintEvent* event) override;

    virtual void DrawItem(QPainter& painter, int index);
    // The frame of the page area below the tab row.
    virtual void DrawMainBorder(QPainter& painter, const QRect& pageArea);
    virtual void DrawItemBorder(QPainter& painter, const QRect& tab, bool selected);

private:
    STabColorInputs ColorInputs() const;
    QRect TabsUnion() const;
    void EraseAroundTabs(QPainter& painter, const QRect& tabs);
    void DrawPlatformFrame(QPainter& painter, const QRect& pageArea);

    std::optional<QColor> m_background;
    int m_drawMode = kSystemDraw;
    bool m_ownerDrawn = false;

    static quint32 s_tabStyle;
};
