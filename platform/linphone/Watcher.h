// Someone who watches (or asked to watch) the user's presence, with the user's
// decision about it and the reach of that decision.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <memory>

class CLinphoneClient;

class CWatcher final : public IRTCWatcher2 {
public:
    CWatcher(std::weak_ptr<CLinphoneClient> client, QString uri, QString name, QString data, RTC_WATCHER_STATE state,
             bool persistent, RTC_ACE_SCOPE scope);

    HRESULT get_PresentityURI(QString& uri) override;
    HRESULT get_Name(QString& name) override;
    HRESULT put_Name(const QString& name) override;
    HRESULT get_Data(QString& data) override;
    HRESULT put_Data(const QString& data) override;
    HRESULT get_Persistent(bool& persistent) override;
    HRESULT put_Persistent(bool persistent) override;
    HRESULT get_State(RTC_WATCHER_STATE& state) override;
    HRESULT put_State(RTC_WATCHER_STATE state) override;
    HRESULT get_Scope(RTC_ACE_SCOPE& scope) override;

    const QString& uri() const { return m_uri; }
    const QString& name() const { return m_name; }
    const QString& data() const { return m_data; }
    bool persistent() const { return m_persistent; }
    RTC_WATCHER_STATE state() const { return m_state; }
    RTC_ACE_SCOPE scope() const { return m_scope; }
    void SetState(RTC_WATCHER_STATE state) { m_state = state; }
    // The subscription for which the watcher was last offered to the user.
    QString offeredFor;

private:
    void Changed();

    std::weak_ptr<CLinphoneClient> m_client;
    QString m_uri;
    QString m_name;
    QString m_data;
    RTC_WATCHER_STATE m_state;
    bool m_persistent;
    RTC_ACE_SCOPE m_scope;
};
