// What voice and message sessions share: their type, state and participants,
// and the events that report changes of them.
#pragma once

#include "Participant.h"

#include "platform/rtc/RtcInterfaces.h"

#include <memory>
#include <vector>

class CLinphoneClient;

class CSessionBase : public IRTCSession, public std::enable_shared_from_this<CSessionBase> {
public:
    CSessionBase(std::weak_ptr<CLinphoneClient> client, RTC_SESSION_TYPE type);

    HRESULT get_Client(RtcClientPtr& client) override;
    HRESULT get_State(RTC_SESSION_STATE& state) override;
    HRESULT get_Type(RTC_SESSION_TYPE& type) override;
    HRESULT EnumerateParticipants(std::shared_ptr<IRTCEnumParticipants>& participants) override;

    RTC_SESSION_STATE state() const { return m_state; }

protected:
    // The client while it runs, else null.
    std::shared_ptr<CLinphoneClient> RunningClient() const;
    std::shared_ptr<CParticipant> AddParticipantObject(const QString& uri, const QString& name, bool removable);
    void DropParticipant(const std::shared_ptr<CParticipant>& participant);
    std::shared_ptr<CParticipant> FindParticipant(const QString& uri) const;
    std::shared_ptr<CParticipant> FindParticipant(const RtcParticipantPtr& participant) const;
    // Each reports a change once, as an event.
    void ChangeState(RTC_SESSION_STATE state, HRESULT status = S_OK, const QString& text = {});
    void ChangeParticipantState(const std::shared_ptr<CParticipant>& participant, RTC_PARTICIPANT_STATE state,
                                HRESULT status = S_OK);

    std::weak_ptr<CLinphoneClient> m_client;
    RTC_SESSION_TYPE m_type;
    RTC_SESSION_STATE m_state = RTCSS_IDLE;
    std::vector<std::shared_ptr<CParticipant>> m_participants;
};
