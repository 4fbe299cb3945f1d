// A buddy: a presentity the user watches, with what it last published, and the
// devices it publishes from.
#pragma once

#include "PresenceContact.h"
#include "PresenceDocument.h"

#include "platform/rtc/RtcInterfaces.h"

#include <memory>

namespace linphone {
class Event;
}

class CLinphoneClient;

class CPresenceDevice final : public IRTCPresenceDevice {
public:
    explicit CPresenceDevice(DevicePresence presence) : m_presence(std::move(presence)) {}
    HRESULT get_Status(RTC_PRESENCE_STATUS& status) override;
    HRESULT get_Notes(QString& notes) override;
    HRESULT get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value) override;

private:
    DevicePresence m_presence;
};

class CBuddy final : public CPresenceContact<IRTCBuddy2> {
public:
    CBuddy(std::weak_ptr<CLinphoneClient> client, QString uri, QString name, QString data, bool persistent,
           RTC_BUDDY_SUBSCRIPTION_TYPE type);

    HRESULT get_Status(RTC_PRESENCE_STATUS& status) override;
    HRESULT get_Notes(QString& notes) override;
    HRESULT get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value) override;
    HRESULT EnumeratePresenceDevices(std::shared_ptr<IRTCEnumPresenceDevices>& devices) override;
    HRESULT Refresh() override;

    RTC_BUDDY_SUBSCRIPTION_TYPE type() const { return m_type; }
    // Takes what the buddy published; false if nothing the user sees changed.
    bool SetPresence(const PresenceInfo& info);
    const std::shared_ptr<linphone::Event>& subscription() const { return m_subscription; }
    void SetSubscription(std::shared_ptr<linphone::Event> subscription) { m_subscription = std::move(subscription); }

private:
    void Changed() override;

    RTC_BUDDY_SUBSCRIPTION_TYPE m_type;
    PresenceInfo m_presence;
    std::shared_ptr<linphone::Event> m_subscription;
};
