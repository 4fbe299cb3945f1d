// The numbered versions the file writer produces, and how a test tells a whole
// version from a mix of two.
#pragma once

#include "platform/linphone/PresenceStore.h"

#include <QRegularExpression>
#include <QStringList>

namespace FileVersions {

inline QString CallLogRecord(int n)
{
    return QStringLiteral("Caller %1|sip:%1@sip.orvalo.test|12/08/2026 10:00:00|Placed Call").arg(n);
}

// The record numbers of a call log, oldest first; -1 for a record that is not one of ours.
inline QList<int> CallLogNumbers(const QStringList& records)
{
    static const QRegularExpression pattern(QStringLiteral("^Caller (\\d+)\\|sip:\\1@"));
    QList<int> numbers;
    for (const QString& record : records) {
        const QRegularExpressionMatch match = pattern.match(record);
        numbers << (match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    return numbers;
}

// Version n: n % 7 + 1 buddies, one group holding them all and naming n, one watcher naming n.
inline PresenceStoreData Store(int n)
{
    PresenceStoreData data;
    StoredGroup group{QStringLiteral("Friends"), QString::number(n), {}};
    for (int b = 1; b <= n % 7 + 1; ++b) {
        const QString uri = QStringLiteral("sip:buddy%1@sip.orvalo.test").arg(b);
        data.buddies.push_back({uri, QStringLiteral("Buddy %1").arg(b), QString()});
        group.members << uri;
    }
    data.groups.push_back(group);
    data.watchers.push_back({QStringLiteral("sip:watcher@sip.orvalo.test"), QString::number(n), QString(),
                             RTCWS_ALLOWED, RTCAS_SCOPE_USER});
    return data;
}

// The version a store holds, or -1 when it is not one whole version.
inline int StoreVersion(const PresenceStoreData& data)
{
    if (data.groups.size() != 1 || data.watchers.size() != 1)
        return -1;
    bool ok = false;
    const int n = data.groups.front().data.toInt(&ok);
    if (!ok || data.watchers.front().name != QString::number(n))
        return -1;
    return CPresenceStore::Serialize(data) == CPresenceStore::Serialize(Store(n)) ? n : -1;
}

} // namespace FileVersions
