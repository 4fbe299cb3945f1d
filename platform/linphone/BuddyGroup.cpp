#include "BuddyGroup.h"

#include "LinphoneClient.h"
#include "PresenceService.h"

#include <algorithm>

CBuddyGroup::CBuddyGroup(std::weak_ptr<CLinphoneClient> client, QString name, QString data)
    : m_client(std::move(client)), m_name(std::move(name)), m_data(std::move(data))
{
}

HRESULT CBuddyGroup::get_Name(QString& name)
{
    name = m_name;
    return S_OK;
}

HRESULT CBuddyGroup::put_Name(const QString& name)
{
    if (name.trimmed().isEmpty())
        return E_INVALIDARG;
    m_name = name;
    Changed(RTCGET_GROUP_UPDATE);
    return S_OK;
}

HRESULT CBuddyGroup::get_Data(QString& data)
{
    data = m_data;
    return S_OK;
}

HRESULT CBuddyGroup::put_Data(const QString& data)
{
    m_data = data;
    Changed(RTCGET_GROUP_UPDATE);
    return S_OK;
}

HRESULT CBuddyGroup::AddBuddy(const RtcBuddyPtr& buddy)
{
    auto client = m_client.lock();
    if (!buddy || !client || !client->presenceService() || !client->presenceService()->Knows(buddy))
        return E_INVALIDARG;
    if (std::find(m_members.begin(), m_members.end(), buddy) != m_members.end())
        return S_FALSE;
    m_members.push_back(buddy);
    Changed(RTCGET_GROUP_BUDDY_ADD, buddy);
    return S_OK;
}

HRESULT CBuddyGroup::RemoveBuddy(const RtcBuddyPtr& buddy)
{
    if (!Erase(buddy))
        return RTC_E_NOT_EXIST;
    Changed(RTCGET_GROUP_BUDDY_REMOVE, buddy);
    return S_OK;
}

HRESULT CBuddyGroup::EnumerateBuddies(std::shared_ptr<IRTCEnumBuddies>& buddies)
{
    buddies = MakeRtcEnum(m_members);
    return S_OK;
}

void CBuddyGroup::Insert(const RtcBuddyPtr& buddy)
{
    if (buddy && std::find(m_members.begin(), m_members.end(), buddy) == m_members.end())
        m_members.push_back(buddy);
}

bool CBuddyGroup::Erase(const RtcBuddyPtr& buddy)
{
    const auto it = std::find(m_members.begin(), m_members.end(), buddy);
    if (it == m_members.end())
        return false;
    m_members.erase(it);
    return true;
}

void CBuddyGroup::Changed(RTC_GROUP_EVENT_TYPE type, const RtcBuddyPtr& buddy)
{
    auto client = m_client.lock();
    if (client && client->presenceService())
        client->presenceService()->OnGroupChanged(*this, type, buddy);
}
