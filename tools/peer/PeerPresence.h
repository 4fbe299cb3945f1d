// The peer's presence: once registered it publishes the status it was given,
// keeping its buddies and watchers in a store file, and allows every watcher
// that asks, for good.
#pragma once

#include "platform/rtc/RtcEvents.h"

#include <QStringList>

#include <optional>

class CPeerPresence {
public:
    // The statuses by name, in the order of RTC_PRESENCE_STATUS: "offline", "online", "away", "idle",
    // "busy", "be-right-back", "on-the-phone", "out-to-lunch".
    static const QStringList& StatusNames();
    static std::optional<RTC_PRESENCE_STATUS> StatusFromName(const QString& name);

    CPeerPresence(RTC_PRESENCE_STATUS status, QString storePath);

    // Enables presence on the registered profile and publishes the status; only the first call acts.
    void Publish(IRTCClient& client, const RtcProfilePtr& profile);
    void OnWatcher(const IRTCWatcherEvent2& event);

private:
    RTC_PRESENCE_STATUS m_status;
    QString m_storePath;
    bool m_published = false;
};
