#include "platform/desktop/BringForward.h"

#include <QWidget>

void BringForward(QWidget& window)
{
    window.show();
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.raise();
    window.activateWindow();
}
