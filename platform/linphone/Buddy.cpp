#include "Buddy.h"

#include "LinphoneClient.h"
#include "PresenceService.h"

HRESULT CPresenceDevice::get_Status(RTC_PRESENCE_STATUS& status)
{
    status = m_presence.status;
    return S_OK;
}

HRESULT CPresenceDevice::get_Notes(QString& notes)
{
    notes = m_presence.notes;
    return S_OK;
}

HRESULT CPresenceDevice::get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value)
{
    if (property != RTCPP_DEVICE_NAME || m_presence.name.isEmpty())
        return RTC_E_NOT_EXIST;
    value = m_presence.name;
    return S_OK;
}

CBuddy::CBuddy(std::weak_ptr<CLinphoneClient> client, QString uri, QString name, QString data, bool persistent,
               RTC_BUDDY_SUBSCRIPTION_TYPE type)
    : CPresenceContact(std::move(client), std::move(uri), std::move(name), std::move(data), persistent), m_type(type)
{
    if (m_type == RTCBT_ALWAYS_ONLINE)
        m_presence.status = RTCXS_PRESENCE_ONLINE;
}

HRESULT CBuddy::get_Status(RTC_PRESENCE_STATUS& status)
{
    status = m_presence.status;
    return S_OK;
}

HRESULT CBuddy::get_Notes(QString& notes)
{
    notes = m_presence.notes;
    return S_OK;
}

HRESULT CBuddy::get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value)
{
    switch (property) {
    case RTCPP_DISPLAYNAME:
        // What the buddy calls itself, else what the user called it.
        value = m_presence.displayName.isEmpty() ? name() : m_presence.displayName;
        return value.isEmpty() ? RTC_E_NOT_EXIST : S_OK;
    case RTCPP_DEVICE_NAME:
        for (const DevicePresence& device : m_presence.devices) {
            if (!device.name.isEmpty()) {
                value = device.name;
                return S_OK;
            }
        }
        return RTC_E_NOT_EXIST;
    default: return RTC_E_NOT_EXIST;
    }
}

HRESULT CBuddy::EnumeratePresenceDevices(std::shared_ptr<IRTCEnumPresenceDevices>& devices)
{
    std::vector<RtcPresenceDevicePtr> items;
    for (const DevicePresence& device : m_presence.devices)
        items.push_back(std::make_shared<CPresenceDevice>(device));
    devices = MakeRtcEnum(std::move(items));
    return S_OK;
}

HRESULT CBuddy::Refresh()
{
    auto client = m_client.lock();
    if (!client || !client->running() || !client->presenceService())
        return RTC_E_INVALID_STATE;
    return client->presenceService()->Refresh(*this);
}

bool CBuddy::SetPresence(const PresenceInfo& info)
{
    auto same = [](const DevicePresence& a, const DevicePresence& b) {
        return a.id == b.id && a.status == b.status && a.name == b.name && a.notes == b.notes;
    };
    const bool changed = info.status != m_presence.status || info.notes != m_presence.notes ||
                         info.displayName != m_presence.displayName ||
                         !std::equal(info.devices.begin(), info.devices.end(), m_presence.devices.begin(),
                                     m_presence.devices.end(), same);
    m_presence = info;
    return changed;
}

void CBuddy::Changed()
{
    auto client = m_client.lock();
    if (client && client->presenceService())
        client->presenceService()->OnBuddyChanged(*this);
}
