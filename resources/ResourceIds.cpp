#include "resources/ResourceIds.h"

#include <QGuiApplication>

namespace Resources {

QString StatusIconPath(int index)
{
    if (index < 0 || index >= kStatusIconCount)
        index = kIconOutToLunch;
    return QStringLiteral(":/bitmaps/130/%1.png").arg(index);
}

QIcon StatusIcon(int index)
{
    return QIcon(StatusIconPath(index));
}

QIcon AppIcon()
{
    // One icon object for the whole run, kept as the application's: each new one
    // would leave copies of its pictures in Qt's pixmap cache, once for every
    // prompt or call window that shows it.
    if (QGuiApplication::windowIcon().isNull()) {
        QIcon icon;
        for (const int size : {16, 24, 32, 48, 64, 128, 256})
            icon.addFile(QStringLiteral(":/icons/128/%1.png").arg(size), QSize(size, size));
        QGuiApplication::setWindowIcon(icon);
    }
    return QGuiApplication::windowIcon();
}

} // namespace Resources
