#include "SessionBase.h"

#include "LinphoneClient.h"

#include "platform/rtc/RtcEvents.h"

#include <algorithm>

CSessionBase::CSessionBase(std::weak_ptr<CLinphoneClient> client, RTC_SESSION_TYPE type)
    : m_client(std::move(client)), m_type(type)
{
}

HRESULT CSessionBase::get_Client(RtcClientPtr& client)
{
    auto owner = m_client.lock();
    if (!owner)
        return RTC_E_INVALID_STATE;
    client = owner;
    return S_OK;
}

HRESULT CSessionBase::get_State(RTC_SESSION_STATE& state)
{
    state = m_state;
    return S_OK;
}

HRESULT CSessionBase::get_Type(RTC_SESSION_TYPE& type)
{
    type = m_type;
    return S_OK;
}

HRESULT CSessionBase::EnumerateParticipants(std::shared_ptr<IRTCEnumParticipants>& participants)
{
    participants = MakeRtcEnum(std::vector<RtcParticipantPtr>(m_participants.begin(), m_participants.end()));
    return S_OK;
}

std::shared_ptr<CLinphoneClient> CSessionBase::RunningClient() const
{
    auto client = m_client.lock();
    return client && client->running() ? client : nullptr;
}

std::shared_ptr<CParticipant> CSessionBase::AddParticipantObject(const QString& uri, const QString& name,
                                                                 bool removable)
{
    auto participant = std::make_shared<CParticipant>(uri, name, weak_from_this(), removable);
    m_participants.push_back(participant);
    return participant;
}

void CSessionBase::DropParticipant(const std::shared_ptr<CParticipant>& participant)
{
    m_participants.erase(std::remove(m_participants.begin(), m_participants.end(), participant), m_participants.end());
}

std::shared_ptr<CParticipant> CSessionBase::FindParticipant(const QString& uri) const
{
    auto it = std::find_if(m_participants.begin(), m_participants.end(),
                           [&uri](const auto& participant) { return participant->uri() == uri; });
    return it == m_participants.end() ? nullptr : *it;
}

std::shared_ptr<CParticipant> CSessionBase::FindParticipant(const RtcParticipantPtr& participant) const
{
    auto it = std::find_if(m_participants.begin(), m_participants.end(),
                           [&participant](const auto& candidate) { return candidate == participant; });
    return it == m_participants.end() ? nullptr : *it;
}

void CSessionBase::ChangeState(RTC_SESSION_STATE state, HRESULT status, const QString& text)
{
    if (state == m_state)
        return;
    m_state = state;
    auto client = m_client.lock();
    if (!client)
        return;
    auto event = std::make_shared<IRTCSessionStateChangeEvent>();
    event->m_session = shared_from_this();
    event->m_state = state;
    event->m_statusCode = status;
    event->m_statusText = text;
    client->events().Post(RTCE_SESSION_STATE_CHANGE, event);
}

void CSessionBase::ChangeParticipantState(const std::shared_ptr<CParticipant>& participant, RTC_PARTICIPANT_STATE state,
                                          HRESULT status)
{
    if (!participant || !participant->SetState(state))
        return;
    auto client = m_client.lock();
    if (!client)
        return;
    auto event = std::make_shared<IRTCParticipantStateChangeEvent>();
    event->m_participant = participant;
    event->m_state = state;
    event->m_statusCode = status;
    client->events().Post(RTCE_PARTICIPANT_STATE_CHANGE, event);
}
