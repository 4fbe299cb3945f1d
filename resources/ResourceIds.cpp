#include "resources/ResourceIds.h"

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
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/128/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace Resources
