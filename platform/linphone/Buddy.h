// A buddy: a presentity the user watches, with what it last published, and the
// devices it publishes from.
#pragma once

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

class CBuddy final : public IRTCBuddy2 {
public:
    CBuddy(std::weak_ptr<CLinphoneClient> client, QString uri, QString name, QString data, bool persistent,
           RTC_BUDDY_SUBSCRIPTION_TYPE type);

    HRESULT get_PresentityURI(QString& uri) override;
    HRESULT get_Name(QString& name) override;
    HRESULT put_Name(const QString& name) override;
    HRESULT get_Data(QString& data) override;
    HRESULT put_Data(const QString& data) override;
    HRESULT get_Persistent(bool& persistent) override;
    HRESULT put_Persistent(bool persistent) override;
    HRESULT get_Status(RTC_PRESENCE_STATUS& status) override;
    HRESULT get_Notes(QString& notes) override;
    HRESULT get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value) override;
    HRESULT EnumeratePresenceDevices(std::shared_ptr<IRTCEnumPresenceDevices>& devices) override;
    HRESULT Refresh() override;

    const QString& uri() const { return m_uri; }
    const QString& name() const { return m_name; }
    const QString& data() const { return m_data; }
    bool persistent() const { return m_persistent; }
    RTC_BUDDY_SUBSCRIPTION_TYPE type() const { return m_type; }
    // Takes what the buddy published; false if nothing the user sees changed.
    bool SetPresence(const PresenceInfo& info);
    const std::shared_ptr<linphone::Event>& subscription() const { return m_subscription; }
    void SetSubscription(std::shared_ptr<linphone::Event> subscription) { m_subscription = std::move(subscription); }

private:
    void Changed();

    std::weak_ptr<CLinphoneClient> m_client;
    QString m_uri;
    QString m_name;
    QString m_data;
    bool m_persistent;
    RTC_BUDDY_SUBSCRIPTION_TYPE m_type;
    PresenceInfo m_presence;
    std::shared_ptr<linphone::Event> m_subscription;
};
