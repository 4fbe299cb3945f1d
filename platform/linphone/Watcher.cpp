#include "Watcher.h"

#include "LinphoneClient.h"
#include "PresenceService.h"

CWatcher::CWatcher(std::weak_ptr<CLinphoneClient> client, QString uri, QString name, QString data,
                   RTC_WATCHER_STATE state, bool persistent, RTC_ACE_SCOPE scope)
    : CPresenceContact(std::move(client), std::move(uri), std::move(name), std::move(data), persistent), m_state(state),
      m_scope(scope)
{
}

HRESULT CWatcher::get_Name(QString& name)
{
    // A watcher is known by its address until it gives a name.
    if (this->name().isEmpty())
        return RTC_E_NO_DISPLAY_NAME;
    return CPresenceContact::get_Name(name);
}

HRESULT CWatcher::get_State(RTC_WATCHER_STATE& state)
{
    state = m_state;
    return S_OK;
}

HRESULT CWatcher::put_State(RTC_WATCHER_STATE state)
{
    // Only decisions can be set; offering is the layer's to report.
    if (state != RTCWS_ALLOWED && state != RTCWS_BLOCKED && state != RTCWS_DENIED && state != RTCWS_PROMPT)
        return E_INVALIDARG;
    return Set(m_state, state);
}

HRESULT CWatcher::get_Scope(RTC_ACE_SCOPE& scope)
{
    scope = m_scope;
    return S_OK;
}

void CWatcher::Changed()
{
    auto client = m_client.lock();
    if (client && client->presenceService())
        client->presenceService()->OnWatcherChanged(*this);
}
