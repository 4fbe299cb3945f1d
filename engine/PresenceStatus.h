// The eight presence statuses and every text and icon that shows them. The status
// number is the library's value; it is also the chooser index and, offset by the
// first status command, the menu command.
#pragma once

#include "platform/rtc/RtcTypes.h"

#include <QString>

inline constexpr int kFirstStatusCommand = 40011; // "In&visible"; 40011 + status
inline constexpr int kStatusCount = 8;
inline constexpr int kGroupIcon = 8;
inline constexpr int kPhoneViewIcon = 7;

struct PresenceStatusInfo {
    const char* menuText;     // item of the "&Presence Status" submenu
    const char* chooserText;  // entry of the status chooser
    const char* ownFormat;    // status bar, with the user's own name (%1)
    const char* buddyFormat;  // buddy list line, with the buddy's name (%1)
    const char* deviceFormat; // device line under a buddy, with the device name (%1)
    const char* profileText;  // "Status" of a buddy's profile
    int icon;                 // index into the status icons
};

// The entry for a status 0..7; null for any other value.
const PresenceStatusInfo* PresenceStatusFor(int status);

inline int StatusCommandFor(int status)
{
    return kFirstStatusCommand + status;
}
inline bool IsStatusCommand(int command)
{
    return command >= kFirstStatusCommand && command < kFirstStatusCommand + kStatusCount;
}

// Texts for any status value, with the fallbacks for values outside 0..7.
QString OwnStatusText(int status, const QString& name);
QString BuddyStatusLine(int status, const QString& name);
QString DeviceStatusLine(int status, const QString& deviceName);
QString ProfileStatusText(int status);
int BuddyStatusIcon(int status);
