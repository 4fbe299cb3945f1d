// A piece of text shown as a link: coloured, underlined with a pointing hand while
// the pointer is over the text itself, and reporting clicks made there.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

class CHyperlinkLabel : public QWidget {
    Q_OBJECT
public:
    enum class EAlignment { Left = 0, Centre = 1, Right = 2 };

    explicit CHyperlinkLabel(const QString& text = QString(), QWidget* parent = nullptr);

    void SetTextColor(const QColor& colour);
    void SetHoverColor(const QColor& colour);
    void SetAlignment(EAlignment alignment);
    void SetWordWrap(bool on);
    void SetFontStyle(bool bold, bool italic);
    void SetFontSize(int height, int width);
    void SetCustomFont(bool on);
    void SetFontFace(const QString& face);
    void SetLink(const QString& target);
    void SetText(const QString& text);

    QString Text() const { return m_text; }
    QString Link() const { return m_link; }
    // The control id kept as the object name; 0 when there is none.
    int ControlId() const;
    bool IsHovered() const { return m_hovered; }
    // Where the text is laid out, in the label's coordinates; only this area is sensitive.
    QRect TextRect() const;
    // The font the text is measured and drawn with in the current state.
    QFont DrawFont() const;

    QSize sizeHint() const override;

signals:
    void clicked();
    void rightClicked();

protected:
    virtual void OnClick();
    virtual void OnRightClick();

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    friend class CHyperlinkLabelAccessible; // a screen reader's "press" is a click

    int TextFlags() const;
    QSize TextSize() const;
    void SetHovered(bool hovered);

    QString m_text;
    QString m_link;
    QColor m_textColour{0, 0, 0};
    QColor m_hoverColour{0, 255, 0};
    bool m_customFont = false;
    QString m_fontFace;
    int m_fontHeight = 0;
    int m_fontWidth = 0;
    bool m_bold = false;
    bool m_italic = false;
    bool m_wordWrap = true;
    EAlignment m_alignment = EAlignment::Centre;
    bool m_hovered = false;
};
