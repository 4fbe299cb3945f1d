#include "PresenceStatus.h"

#include <array>

namespace {
// Formatted texts live in 256-character buffers.
constexpr qsizetype kTextLimit = 255;

constexpr std::array<PresenceStatusInfo, kStatusCount> kStatuses{{
    {"In&visible", "Invisible", "%1 (Invisible)", "%1 (Offline)", "%1 (Offline)", "Offline", 5},
    {"&Online", "Online", "%1 (Online)", "%1 (Online)", "%1 (Online)", "Online", 3},
    {"&Away", "Away", "%1 (Away)", "%1 (Away)", "%1 (Away)", "Away", 4},
    {"&Idle", "Idle", "%1 (Idle)", "%1 (Idle)", "%1 (Idle)", "Idle", 2},
    {"&Busy", "Busy", "%1 (Busy)", "%1 (Busy)", "%1 (Busy)", "Busy", 6},
    {"Be &Right Back", "Be Right Back", "%1 (Be right back)", "%1 (Be right back)", "%1 (Be right back)",
     "Be Right Back", 4},
    {"On the &Phone", "On the Phone", "%1 (On the phone)", "%1 (On the phone)", "%1 (On the phone)", "On the Phone", 1},
    {"Out to &Lunch", "Out to Lunch", "%1 (Out to lunch)", "%1 (Out to lunch)", "%1 (Out to lunch)", "Out to Lunch", 0},
}};

// Substitutes without interpreting "%" in the name itself.
QString fill(const char* format, const QString& value)
{
    QString text = QString::fromLatin1(format);
    text.replace(QLatin1String("%1"), value);
    return text.left(kTextLimit);
}
} // namespace

const PresenceStatusInfo* PresenceStatusFor(int status)
{
    if (status < 0 || status >= kStatusCount)
        return nullptr;
    return &kStatuses[static_cast<std::size_t>(status)];
}

QString OwnStatusText(int status, const QString& name)
{
    const PresenceStatusInfo* info = PresenceStatusFor(status);
    return info ? fill(info->ownFormat, name) : name.left(kTextLimit);
}

QString BuddyStatusLine(int status, const QString& name)
{
    const PresenceStatusInfo* info = PresenceStatusFor(status);
    return info ? fill(info->buddyFormat, name) : name.left(kTextLimit);
}

QString DeviceStatusLine(int status, const QString& deviceName)
{
    const PresenceStatusInfo* info = PresenceStatusFor(status);
    return info ? fill(info->deviceFormat, deviceName) : fill("%1 ", deviceName);
}

QString ProfileStatusText(int status)
{
    const PresenceStatusInfo* info = PresenceStatusFor(status);
    return info ? QString::fromLatin1(info->profileText) : QStringLiteral("(Unknown)");
}

int BuddyStatusIcon(int status)
{
    const PresenceStatusInfo* info = PresenceStatusFor(status);
    return info ? info->icon : 0;
}
