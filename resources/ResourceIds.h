// Pictures and sounds compiled into the program. Each keeps the resource id it is
// known by (icon 128, bitmaps 130, 134, 164 and 169).
#pragma once

#include <QIcon>
#include <QString>

namespace Resources {

inline constexpr char kAppIcon128[] = ":/icons/128.png";             // 256 by 256; AppIcon() has every size
inline constexpr char kStatusStrip130[] = ":/bitmaps/130.png";       // the nine status icons side by side
inline constexpr char kListBackground134[] = ":/bitmaps/134.png";    // behind the buddy tree and the call log
inline constexpr char kCheckMark164[] = ":/bitmaps/164.png";         // next to the checked presence in the menu
inline constexpr char kDialPadBackground169[] = ":/bitmaps/169.png"; // behind the dial pad
inline constexpr char kPhoneRing[] = ":/sounds/ring.wav";            // an incoming call
inline constexpr char kMessageRing[] = ":/sounds/message.wav";       // an incoming message

inline constexpr int kBackgroundWidth = 250;
inline constexpr int kBackgroundHeight = 361;

// The icons of bitmap 130, 16 by 16 pixels each, on a transparent background.
enum StatusIconIndex : int {
    kIconOutToLunch = 0,
    kIconOnThePhone = 1,
    kIconIdle = 2,
    kIconOnline = 3,
    kIconAway = 4,
    kIconOffline = 5,
    kIconBusy = 6,
    kIconPhoneView = 7,
    kIconGroup = 8,
};
inline constexpr int kStatusIconCount = 9;
inline constexpr int kStatusIconSize = 16;

// ":/bitmaps/130/<index>.png"; an index outside 0..8 gives icon 0, as an unknown presence does.
QString StatusIconPath(int index);
QIcon StatusIcon(int index);

// The application icon in all its sizes, from 16 to 256 pixels.
QIcon AppIcon();

} // namespace Resources
