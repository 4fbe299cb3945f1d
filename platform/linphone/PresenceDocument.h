// Presence documents (PIDF, RFC 3863, with RPID activities and a status element
// of this program's own namespace) and watcher information (RFC 3857). The
// program's eight statuses map both ways exactly: the own element carries the
// status as set, the standard elements tell other clients as much as they can
// understand, and documents of other clients are read from the standard ones.
#pragma once

#include "platform/rtc/RtcTypes.h"

#include <QByteArray>
#include <QString>

#include <vector>

// One device of a presentity: a tuple of its document.
struct DevicePresence {
    QString id;
    RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_OFFLINE;
    QString name;
    QString notes;
};

struct PresenceInfo {
    RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_OFFLINE; // the most available device's
    QString notes;
    QString displayName;
    std::vector<DevicePresence> devices;
};

// What the user publishes from this device.
struct LocalPresence {
    QString entity; // the user's URI
    QString deviceId;
    QString deviceName;
    QString displayName;
    RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_ONLINE;
    QString notes;
};

QByteArray WritePidf(const LocalPresence& presence);
// False (and info left empty) if the document is not PIDF.
bool ParsePidf(const QByteArray& document, PresenceInfo& info);

// The token of a status in the program's own element, and back (-1 if unknown).
QString StatusToken(RTC_PRESENCE_STATUS status);
int StatusFromToken(const QString& token);

// A watcher as the server lists it.
struct WatcherEntry {
    QString uri;
    QString id;     // of the subscription
    QString status; // pending, active, waiting, terminated
    QString event;  // subscribe, approved, rejected, timeout, ...
    QString displayName;
};

// False if the document is not watcher information; full tells whether it lists every watcher.
bool ParseWatcherInfo(const QByteArray& document, std::vector<WatcherEntry>& watchers, bool& full);

// A presence authorisation rule (RFC 5025) for one watcher, a domain or everyone.
struct WatcherRule {
    QString uri;
    RTC_ACE_SCOPE scope = RTCAS_SCOPE_USER;
    RTC_WATCHER_STATE state = RTCWS_PROMPT;
};

QByteArray WritePresRules(const std::vector<WatcherRule>& rules);
