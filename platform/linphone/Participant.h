// A party of a session: its address, the display name it sent (if any) and its state.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <memory>

class CParticipant final : public IRTCParticipant {
public:
    // An empty name means the party has none: get_Name then fails with RTC_E_NO_DISPLAY_NAME.
    CParticipant(QString uri, QString name, std::weak_ptr<IRTCSession> session, bool removable);

    HRESULT get_UserURI(QString& uri) override;
    HRESULT get_Name(QString& name) override;
    HRESULT get_State(RTC_PARTICIPANT_STATE& state) override;
    HRESULT get_Removable(bool& removable) override;
    HRESULT get_Session(RtcSessionPtr& session) override;

    const QString& uri() const { return m_uri; }
    RTC_PARTICIPANT_STATE state() const { return m_state; }
    // Changes the state; false when it already was that state.
    bool SetState(RTC_PARTICIPANT_STATE state);
    void SetName(const QString& name) { m_name = name; }

private:
    QString m_uri;
    QString m_name;
    std::weak_ptr<IRTCSession> m_session;
    bool m_removable;
    RTC_PARTICIPANT_STATE m_state = RTCPS_IDLE;
};
