#include "Participant.h"

CParticipant::CParticipant(QString uri, QString name, std::weak_ptr<IRTCSession> session, bool removable)
    : m_uri(std::move(uri)), m_name(std::move(name)), m_session(std::move(session)), m_removable(removable)
{
}

HRESULT CParticipant::get_UserURI(QString& uri)
{
    uri = m_uri;
    return S_OK;
}

HRESULT CParticipant::get_Name(QString& name)
{
    if (m_name.isEmpty())
        return RTC_E_NO_DISPLAY_NAME;
    name = m_name;
    return S_OK;
}

HRESULT CParticipant::get_State(RTC_PARTICIPANT_STATE& state)
{
    state = m_state;
    return S_OK;
}

HRESULT CParticipant::get_Removable(bool& removable)
{
    removable = m_removable;
    return S_OK;
}

HRESULT CParticipant::get_Session(RtcSessionPtr& session)
{
    RtcSessionPtr owner = m_session.lock();
    if (!owner)
        return RTC_E_INVALID_STATE;
    session = owner;
    return S_OK;
}

bool CParticipant::SetState(RTC_PARTICIPANT_STATE state)
{
    if (state == m_state)
        return false;
    m_state = state;
    return true;
}
