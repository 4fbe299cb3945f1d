// The look shared by the main window, its pages and its dialogs: the window
// colour, dialog-unit geometry and fonts asked for by family.
#pragma once

#include "controls/DialogParts.h"

#include <QColor>
#include <QFont>
#include <QRect>

class QLineEdit;
class QWidget;

inline const QColor kShellBackground = kWindowBackground;

// Dialog units at 96 dpi: one horizontal unit is 1.5 px, one vertical unit 1.625 px.
int DluX(int units);
int DluY(int units);
QRect DluRect(int x, int y, int width, int height);

// A font by family with a sans-serif fallback, sized by its cell height in pixels
// (as the platform's font heights are given) or in points; weight 700 is bold.
QFont ShellFont(const QString& family, int cellHeight, int weight = 400);
QFont ShellPointFont(const QString& family, qreal points);
// The font, made smaller where needed (down to a readable size) so that the text fits
// the width: the faces that stand in for the asked-for ones are often wider.
QFont FontFitting(const QFont& font, const QString& text, int width);
// The width in which a line edit shows its text, inside its frame and margins.
int LineEditTextWidth(const QLineEdit& edit);

// Black text on the window colour for the widget and the children that inherit
// its palette; with colourEdits the edit fields share the colour too.
void PaintShellBackground(QWidget& widget, bool colourEdits);
