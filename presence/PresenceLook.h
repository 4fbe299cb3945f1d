// The window colour that the watchers windows and the watcher prompt share with
// every window of the program.
#pragma once

#include <QPalette>
#include <QWidget>

inline void PaintPresenceBackground(QWidget& widget)
{
    QPalette colours = widget.palette();
    colours.setColor(QPalette::Window, QColor(221, 238, 255));
    widget.setPalette(colours);
    widget.setAutoFillBackground(true);
}
