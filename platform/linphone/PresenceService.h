// Presence for the enabled profile: the user's own status published to the
// service's presence server, the buddies watched there, and the watchers of the
// user. Watchers are decided on the server: it holds every new watcher pending
// (so nobody sees the user's status before the user allowed it), reports it in
// the user's watcher information, and applies the rules this service stores on
// it over XCAP (allow, polite-block for blocked, block for denied, confirm for
// prompt). Buddies, groups and watchers persist in the presence store.
#pragma once

#include "PresenceDocument.h"
#include "PresenceStore.h"
#include "XcapClient.h"

#include "platform/rtc/RtcInterfaces.h"

#include <QObject>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace linphone {
class Event;
}

class CLinphoneClient;
class CLinphoneProfile;
class CBuddy;
class CBuddyGroup;
class CWatcher;

class CPresenceService final : public QObject, public IRTCClientPresence2 {
    Q_OBJECT
public:
    explicit CPresenceService(CLinphoneClient& client);
    ~CPresenceService() override;

    HRESULT EnablePresenceEx(const RtcProfilePtr& profile, const QString& storagePath, int flags) override;
    HRESULT DisablePresence() override;
    HRESULT SetLocalPresenceInfo(RTC_PRESENCE_STATUS status, const QString& notes) override;
    HRESULT get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value) override;
    HRESULT put_PresenceProperty(RTC_PRESENCE_PROPERTY property, const QString& value) override;
    HRESULT AddBuddy(const QString& uri, const QString& name, const QString& data, bool persistent,
                     const RtcProfilePtr& profile, int flags, RtcBuddyPtr& buddy) override;
    HRESULT AddBuddyEx(const QString& uri, const QString& name, const QString& data, bool persistent,
                       RTC_BUDDY_SUBSCRIPTION_TYPE subscriptionType, const RtcProfilePtr& profile, int flags,
                       RtcBuddyPtr& buddy) override;
    HRESULT RemoveBuddy(const RtcBuddyPtr& buddy) override;
    HRESULT get_Buddy(const QString& uri, RtcBuddyPtr& buddy) override;
    HRESULT EnumerateBuddies(std::shared_ptr<IRTCEnumBuddies>& buddies) override;
    HRESULT AddGroup(const QString& name, const QString& data, const RtcProfilePtr& profile, int flags,
                     RtcGroupPtr& group) override;
    HRESULT RemoveGroup(const RtcGroupPtr& group) override;
    HRESULT get_Group(const QString& name, RtcGroupPtr& group) override;
    HRESULT EnumerateGroups(std::shared_ptr<IRTCEnumGroups>& groups) override;
    HRESULT AddWatcherEx(const QString& uri, const QString& name, const QString& data, RTC_WATCHER_STATE state,
                         bool persistent, RTC_ACE_SCOPE scope, const RtcProfilePtr& profile, int flags,
                         RtcWatcherPtr& watcher) override;
    HRESULT RemoveWatcher(const RtcWatcherPtr& watcher) override;
    HRESULT get_Watcher(const QString& uri, RtcWatcherPtr& watcher) override;
    HRESULT EnumerateWatchers(std::shared_ptr<IRTCEnumWatchers>& watchers) override;

    // Called by the layer's objects and the client.
    bool Knows(const RtcBuddyPtr& buddy) const;
    HRESULT Refresh(CBuddy& buddy);
    void OnBuddyChanged(CBuddy& buddy);
    void OnGroupChanged(CBuddyGroup& group, RTC_GROUP_EVENT_TYPE type, const RtcBuddyPtr& buddy);
    void OnWatcherChanged(CWatcher& watcher);
    void OnProfileState(const std::shared_ptr<CLinphoneProfile>& profile);
    void OnNotify(const std::shared_ptr<linphone::Event>& event, const std::string& body);
    void OnSubscriptionState(const std::shared_ptr<linphone::Event>& event, int state);
    // Unpublishes and unsubscribes (the goodbye before shut-down); objects stay.
    void Stop();
    // Drops the library's objects before the core stops.
    void Detach();

private:
    void Start();
    void Publish();
    // Subscribes to the buddy's presence as soon as few enough subscriptions wait for an answer.
    void Subscribe(CBuddy& buddy);
    void SubscribeWaiting();
    bool SendSubscribe(CBuddy& buddy);
    void UploadRules();
    void Save();
    void OnWatcherInfo(const std::string& body);
    std::shared_ptr<CBuddy> FindBuddy(const QString& uri) const;
    std::shared_ptr<CBuddy> FindBuddy(linphone::Event* subscription) const;
    std::shared_ptr<CWatcher> FindWatcher(const QString& uri) const;
    std::shared_ptr<CBuddy> Own(const RtcBuddyPtr& buddy) const;
    void PostBuddy(const std::shared_ptr<CBuddy>& buddy, RTC_BUDDY_EVENT_TYPE type, HRESULT status = S_OK);
    void PostWatcher(const std::shared_ptr<CWatcher>& watcher, RTC_WATCHER_EVENT_TYPE type);
    void PostGroup(const RtcGroupPtr& group, RTC_GROUP_EVENT_TYPE type, const RtcBuddyPtr& buddy = {});

    CLinphoneClient& m_client;
    std::shared_ptr<CLinphoneProfile> m_profile;
    std::optional<CPresenceStore> m_store;
    bool m_started = false;
    LocalPresence m_local;
    std::map<RTC_PRESENCE_PROPERTY, QString> m_properties;
    std::vector<std::shared_ptr<CBuddy>> m_buddies;
    std::deque<QString> m_toSubscribe; // buddies' addresses, in order
    std::vector<std::shared_ptr<CBuddyGroup>> m_groups;
    std::vector<std::shared_ptr<CWatcher>> m_watchers;
    std::shared_ptr<linphone::Event> m_publication;
    std::shared_ptr<linphone::Event> m_watcherInfo;
    CXcapClient m_xcap;
};
