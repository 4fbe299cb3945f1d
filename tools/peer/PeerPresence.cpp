#include "PeerPresence.h"

#include "Report.h"

const QStringList& CPeerPresence::StatusNames()
{
    static const QStringList names = {QStringLiteral("offline"),      QStringLiteral("online"),
                                      QStringLiteral("away"),         QStringLiteral("idle"),
                                      QStringLiteral("busy"),         QStringLiteral("be-right-back"),
                                      QStringLiteral("on-the-phone"), QStringLiteral("out-to-lunch")};
    return names;
}

std::optional<RTC_PRESENCE_STATUS> CPeerPresence::StatusFromName(const QString& name)
{
    const qsizetype index = StatusNames().indexOf(name);
    if (index < 0)
        return std::nullopt;
    return static_cast<RTC_PRESENCE_STATUS>(index);
}

CPeerPresence::CPeerPresence(RTC_PRESENCE_STATUS status, QString storePath)
    : m_status(status), m_storePath(std::move(storePath))
{
}

void CPeerPresence::Publish(IRTCClient& client, const RtcProfilePtr& profile)
{
    if (m_published)
        return;
    IRTCClientPresence2* presence = client.presence();
    HRESULT status = presence ? presence->EnablePresenceEx(profile, m_storePath, 0) : E_NOINTERFACE;
    if (SUCCEEDED(status))
        status = presence->SetLocalPresenceInfo(m_status, {});
    if (FAILED(status)) {
        Say(QStringLiteral("error presence ") + Hex(status));
        return;
    }
    m_published = true;
    Say(QStringLiteral("presence ") + StatusNames().at(m_status));
}

void CPeerPresence::OnWatcher(const IRTCWatcherEvent2& event)
{
    if (event.m_eventType != RTCWET_WATCHER_OFFERING || !event.m_watcher)
        return;
    QString uri;
    event.m_watcher->get_PresentityURI(uri);
    // Kept in the store, so that the watcher is not asked about again after a restart.
    event.m_watcher->put_Persistent(true);
    const HRESULT status = event.m_watcher->put_State(RTCWS_ALLOWED);
    Say(SUCCEEDED(status) ? QStringLiteral("watcher allowed ") + uri
                          : QStringLiteral("error watcher %1 %2").arg(uri, Hex(status)));
}
