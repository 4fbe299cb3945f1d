// The one pane of the main window's status bar. Texts reach it as they come,
// call status lines with their line breaks and names of any length included; it
// shows them on one line (each run of line breaks one blank), cut with an
// ellipsis at the right, and never asks for more room than one line of its font,
// so that no text changes the size of the fixed window.
#pragma once

#include <QLabel>

class CStatusPane : public QLabel {
    Q_OBJECT
public:
    explicit CStatusPane(QWidget* parent = nullptr);

    // The text as the pane shows it at its present width.
    QString ShownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
