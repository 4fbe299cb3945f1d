#include "Watcher.h"

#include "LinphoneClient.h"
#include "PresenceService.h"

CWatcher::CWatcher(std::weak_ptr<CLinphoneClient> client, QString uri, QString name, QString data,
                   RTC_WATCHER_STATE state, bool persistent, RTC_ACE_SCOPE scope)
    : m_client(std::move(client)), m_uri(std::move(uri)), m_name(std::move(name)), m_data(std::move(data)),
      m_state(state), m_persistent(persistent), m_scope(scope)
{
}

HRESULT CWatcher::get_PresentityURI(QString& uri)
{
    uri = m_uri;
    return S_OK;
}

HRESULT CWatcher::get_Name(QString& name)
{
    if (m_name.isEmpty())
        return RTC_E_NO_DISPLAY_NAME;
    name = m_name;
    return S_OK;
}

HRESULT CWatcher::put_Name(const QString& name)
{
    m_name = name;
    Changed();
    return S_OK;
}

HRESULT CWatcher::get_Data(QString& data)
{
    data = m_data;
    return S_OK;
}

HRESULT CWatcher::put_Data(const QString& data)
{
    m_data = data;
    Changed();
    return S_OK;
}

HRESULT CWatcher::get_Persistent(bool& persistent)
{
    persistent = m_persistent;
    return S_OK;
}

HRESULT CWatcher::put_Persistent(bool persistent)
{
    m_persistent = persistent;
    Changed();
    return S_OK;
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
    m_state = state;
    Changed();
    return S_OK;
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
