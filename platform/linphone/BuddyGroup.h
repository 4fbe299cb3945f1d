// A named group of buddies; a buddy may belong to several groups.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <memory>
#include <vector>

class CLinphoneClient;

class CBuddyGroup final : public IRTCBuddyGroup {
public:
    CBuddyGroup(std::weak_ptr<CLinphoneClient> client, QString name, QString data);

    HRESULT get_Name(QString& name) override;
    HRESULT put_Name(const QString& name) override;
    HRESULT get_Data(QString& data) override;
    HRESULT put_Data(const QString& data) override;
    HRESULT AddBuddy(const RtcBuddyPtr& buddy) override;
    HRESULT RemoveBuddy(const RtcBuddyPtr& buddy) override;
    HRESULT EnumerateBuddies(std::shared_ptr<IRTCEnumBuddies>& buddies) override;

    const QString& name() const { return m_name; }
    const QString& data() const { return m_data; }
    const std::vector<RtcBuddyPtr>& members() const { return m_members; }
    // Membership without events or saving (loading the store, removing a buddy).
    void Insert(const RtcBuddyPtr& buddy);
    bool Erase(const RtcBuddyPtr& buddy);

private:
    void Changed(RTC_GROUP_EVENT_TYPE type, const RtcBuddyPtr& buddy = {});

    std::weak_ptr<CLinphoneClient> m_client;
    QString m_name;
    QString m_data;
    std::vector<RtcBuddyPtr> m_members;
};
