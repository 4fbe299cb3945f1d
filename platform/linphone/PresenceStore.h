// The presence store: the user's persistent buddies, groups and watchers, in an
// XML file of this layer's own. It is written atomically after each change; a
// file that cannot be read is renamed aside (never overwritten) and the store
// starts empty.
#pragma once

#include "platform/rtc/RtcTypes.h"

#include <QString>
#include <QStringList>

#include <vector>

struct StoredBuddy {
    QString uri;
    QString name;
    QString data;
};

struct StoredGroup {
    QString name;
    QString data;
    QStringList members; // buddy URIs
};

struct StoredWatcher {
    QString uri;
    QString name;
    QString data;
    RTC_WATCHER_STATE state = RTCWS_PROMPT;
    RTC_ACE_SCOPE scope = RTCAS_SCOPE_USER;
};

struct PresenceStoreData {
    std::vector<StoredBuddy> buddies;
    std::vector<StoredGroup> groups;
    std::vector<StoredWatcher> watchers;
};

class CPresenceStore {
public:
    explicit CPresenceStore(QString path) : m_path(std::move(path)) {}

    // A missing file gives an empty store; one that cannot be parsed is renamed aside first.
    PresenceStoreData Load();
    // Replaces the file in one step (write to a temporary file, then rename); false on failure.
    bool Save(const PresenceStoreData& data) const;

    const QString& path() const { return m_path; }
    // Where the last unreadable file was moved, or empty.
    const QString& setAside() const { return m_setAside; }

    static QByteArray Serialize(const PresenceStoreData& data);
    static bool Parse(const QByteArray& document, PresenceStoreData& data);

private:
    QString m_path;
    QString m_setAside;
    // Off while an unreadable file could not be moved aside: it must not be overwritten.
    bool m_writable = true;
};
