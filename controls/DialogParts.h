// Small pieces the program's dialogs are laid out from.
#pragma once

#include <QColor>
#include <QString>

class QBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

// The colour every window, page and dialog of the program is painted with.
inline const QColor kWindowBackground{221, 238, 255};

void PaintWindowBackground(QWidget& window);

// A label showing `text` as plain text (names and addresses come from the far end),
// named after its control id when it has one (id 0: none).
QLabel* AddPlainLabel(QBoxLayout* layout, const QString& text, int id = 0);
// A push button named after its control id.
QPushButton* AddButton(QBoxLayout* layout, const QString& text, int id);
