// Someone who watches (or asked to watch) the user's presence, with the user's
// decision about it and the reach of that decision.
#pragma once

#include "PresenceContact.h"

#include "platform/rtc/RtcInterfaces.h"

#include <memory>

class CLinphoneClient;

class CWatcher final : public CPresenceContact<IRTCWatcher2> {
public:
    CWatcher(std::weak_ptr<CLinphoneClient> client, QString uri, QString name, QString data, RTC_WATCHER_STATE state,
             bool persistent, RTC_ACE_SCOPE scope);

    HRESULT get_Name(QString& name) override;
    HRESULT get_State(RTC_WATCHER_STATE& state) override;
    HRESULT put_State(RTC_WATCHER_STATE state) override;
    HRESULT get_Scope(RTC_ACE_SCOPE& scope) override;

    RTC_WATCHER_STATE state() const { return m_state; }
    RTC_ACE_SCOPE scope() const { return m_scope; }
    void SetState(RTC_WATCHER_STATE state) { m_state = state; }
    // The subscription for which the watcher was last offered to the user.
    QString offeredFor;

private:
    void Changed() override;

    RTC_WATCHER_STATE m_state;
    RTC_ACE_SCOPE m_scope;
};
