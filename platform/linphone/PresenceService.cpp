#include "PresenceService.h"

#include "Buddy.h"
#include "BuddyGroup.h"
#include "CoreHost.h"
#include "LinphoneClient.h"
#include "LinphoneProfile.h"
#include "SipAddress.h"
#include "SipStatus.h"
#include "Watcher.h"

#include "platform/rtc/RtcEvents.h"

#include <QUuid>

#include <linphone++/linphone.hh>

#include <algorithm>

namespace {

constexpr int kPublishExpires = 600;
constexpr int kSubscribeExpires = 600;
// Subscriptions sent and not answered yet. A few hundred sent at once would have
// their answers overflow the socket and come in only with the retransmissions.
constexpr int kMaxUnansweredSubscriptions = 20;

bool Unanswered(const linphone::Event& subscription)
{
    return subscription.getSubscriptionState() == linphone::SubscriptionState::OutgoingProgress;
}

std::shared_ptr<linphone::Content> PidfContent(const QByteArray& document)
{
    auto content = linphone::Factory::get()->createContent();
    content->setType("application");
    content->setSubtype("pidf+xml");
    content->setUtf8Text(document.toStdString());
    return content;
}

template <typename T, typename P> bool Holds(const std::vector<std::shared_ptr<T>>& items, const P& item)
{
    return std::any_of(items.begin(), items.end(), [&item](const auto& own) { return own == item; });
}

} // namespace

CPresenceService::CPresenceService(CLinphoneClient& client) : m_client(client)
{
    connect(&m_xcap, &CXcapClient::uploaded, this, [](bool) {});
}

CPresenceService::~CPresenceService() = default;

HRESULT CPresenceService::EnablePresenceEx(const RtcProfilePtr& profile, const QString& storagePath, int)
{
    if (!m_client.running())
        return RTC_E_INVALID_STATE;
    if (m_profile)
        return RTC_E_INVALID_STATE;
    auto own = m_client.OwnProfile(profile);
    if (!own || storagePath.isEmpty())
        return E_INVALIDARG;
    m_profile = own;
    m_store.emplace(storagePath);
    const PresenceStoreData data = m_store->Load();
    auto weak = m_client.weak_from_this();
    for (const StoredBuddy& stored : data.buddies) {
        if (!FindBuddy(stored.uri))
            m_buddies.push_back(
                std::make_shared<CBuddy>(weak, stored.uri, stored.name, stored.data, true, RTCBT_SUBSCRIBED));
    }
    for (const StoredGroup& stored : data.groups) {
        auto group = std::make_shared<CBuddyGroup>(weak, stored.name, stored.data);
        for (const QString& member : stored.members)
            group->Insert(FindBuddy(member));
        m_groups.push_back(group);
    }
    for (const StoredWatcher& stored : data.watchers)
        m_watchers.push_back(
            std::make_shared<CWatcher>(weak, stored.uri, stored.name, stored.data, stored.state, true, stored.scope));

    // A stable identity for this device's tuple across runs.
    auto config = m_client.core()->getConfig();
    QString device = QString::fromStdString(config->getString("orvalo", "device_id", ""));
    if (device.isEmpty()) {
        device = QStringLiteral("d") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        config->setString("orvalo", "device_id", device.toStdString());
    }
    m_local.deviceId = device;
    m_local.entity = m_profile->userUri();
    RTC_REGISTRATION_STATE state = RTCRS_NOT_REGISTERED;
    m_profile->get_State(state);
    if (state == RTCRS_REGISTERED)
        Start();
    return S_OK;
}

HRESULT CPresenceService::DisablePresence()
{
    if (!m_profile)
        return S_FALSE;
    Stop();
    Save();
    Detach();
    m_buddies.clear();
    m_groups.clear();
    m_watchers.clear();
    m_store.reset();
    m_profile.reset();
    return S_OK;
}

void CPresenceService::OnProfileState(const std::shared_ptr<CLinphoneProfile>& profile)
{
    if (!m_profile || profile != m_profile)
        return;
    RTC_REGISTRATION_STATE state = RTCRS_NOT_REGISTERED;
    profile->get_State(state);
    // Registered again after a loss, the service may have forgotten everything: it
    // gets the rules, the status and the subscriptions again.
    if (state == RTCRS_REGISTERED && !m_started)
        Start();
    else if (state != RTCRS_REGISTERED)
        m_started = false;
}

void CPresenceService::Start()
{
    if (!m_client.running())
        return;
    m_started = true;
    QString root = m_client.options().xcapRoot;
    if (root.isEmpty())
        root = QStringLiteral("http://%1/xcap-root").arg(m_profile->server());
    m_xcap.SetTarget(
        QUrl(root + QStringLiteral("/pres-rules/users/") + m_profile->userUri() + QStringLiteral("/index")),
        m_profile->authName().isEmpty() ? m_profile->userPart() : m_profile->authName(), m_profile->password());
    UploadRules();
    Publish();
    for (const auto& buddy : m_buddies)
        Subscribe(*buddy);
    auto core = m_client.core();
    if (!m_watcherInfo) {
        m_watcherInfo = core->createSubscribe(core->createAddress(m_profile->userUri().toStdString()), "presence.winfo",
                                              kSubscribeExpires);
        if (m_watcherInfo) {
            m_watcherInfo->addCustomHeader("Accept", "application/watcherinfo+xml");
            m_watcherInfo->sendSubscribe(nullptr);
        }
    }
    m_client.Wake();
}

void CPresenceService::Stop()
{
    if (m_publication)
        m_publication->terminate();
    if (m_watcherInfo)
        m_watcherInfo->terminate();
    for (const auto& buddy : m_buddies) {
        if (buddy->subscription())
            buddy->subscription()->terminate();
        buddy->SetSubscription(nullptr);
    }
    m_toSubscribe.clear();
    m_publication.reset();
    m_watcherInfo.reset();
    m_started = false;
    m_client.Wake();
}

void CPresenceService::Detach()
{
    for (const auto& buddy : m_buddies)
        buddy->SetSubscription(nullptr);
    m_toSubscribe.clear();
    m_publication.reset();
    m_watcherInfo.reset();
    m_started = false;
}

void CPresenceService::Publish()
{
    if (!m_started || !m_client.running())
        return;
    m_local.deviceName = m_properties[RTCPP_DEVICE_NAME];
    m_local.displayName = m_properties[RTCPP_DISPLAYNAME];
    const QByteArray document = WritePidf(m_local);
    auto core = m_client.core();
    if (!m_publication) {
        m_publication =
            core->createPublish(core->createAddress(m_profile->userUri().toStdString()), "presence", kPublishExpires);
        if (m_publication)
            m_publication->sendPublish(PidfContent(document));
    } else {
        m_publication->updatePublish(PidfContent(document));
    }
    m_client.Wake();
    auto event = std::make_shared<IRTCPresenceDataEvent>();
    event->m_namespace = QStringLiteral("urn:ietf:params:xml:ns:pidf");
    event->m_data = QString::fromUtf8(document);
    m_client.events().Post(RTCE_PRESENCE_DATA, event);
}

void CPresenceService::Subscribe(CBuddy& buddy)
{
    if (!m_started || buddy.type() == RTCBT_ALWAYS_ONLINE || buddy.type() == RTCBT_ALWAYS_OFFLINE)
        return;
    if (std::find(m_toSubscribe.begin(), m_toSubscribe.end(), buddy.uri()) == m_toSubscribe.end())
        m_toSubscribe.push_back(buddy.uri());
    SubscribeWaiting();
}

void CPresenceService::SubscribeWaiting()
{
    auto unanswered = std::count_if(m_buddies.begin(), m_buddies.end(), [](const auto& buddy) {
        return buddy->subscription() && Unanswered(*buddy->subscription());
    });
    while (!m_toSubscribe.empty() && unanswered < kMaxUnansweredSubscriptions) {
        auto buddy = FindBuddy(m_toSubscribe.front());
        m_toSubscribe.pop_front();
        if (buddy && SendSubscribe(*buddy))
            ++unanswered;
    }
}

bool CPresenceService::SendSubscribe(CBuddy& buddy)
{
    auto core = m_client.core();
    auto address = core->createAddress(buddy.uri().toStdString());
    if (!address)
        return false;
    // The old subscription ends as the buddy's no longer: what it knew stays until the new one tells.
    if (auto previous = buddy.subscription()) {
        buddy.SetSubscription(nullptr);
        previous->terminate();
    }
    // A polled buddy is fetched once (expires 0) on each refresh.
    auto subscription = core->createSubscribe(address, "presence", buddy.type() == RTCBT_POLL ? 0 : kSubscribeExpires);
    if (!subscription)
        return false;
    subscription->addCustomHeader("Accept", "application/pidf+xml");
    subscription->sendSubscribe(nullptr);
    buddy.SetSubscription(subscription);
    m_client.Wake();
    return true;
}

void CPresenceService::UploadRules()
{
    if (!m_started)
        return;
    std::vector<WatcherRule> rules;
    for (const auto& watcher : m_watchers) {
        // An undecided watcher has no rule: the server holds its subscription pending.
        // So has one to be asked about again: the server then cuts it off, and its
        // next attempt is held pending and offered. (A "confirm" rule would only turn
        // its subscription pending, which the watcher's side never learns.)
        const RTC_WATCHER_STATE state = watcher->state();
        if (state == RTCWS_ALLOWED || state == RTCWS_BLOCKED || state == RTCWS_DENIED)
            rules.push_back({watcher->uri(), watcher->scope(), state});
    }
    m_xcap.Upload(WritePresRules(rules));
}

void CPresenceService::Save()
{
    if (!m_store)
        return;
    PresenceStoreData data;
    for (const auto& buddy : m_buddies) {
        if (buddy->persistent())
            data.buddies.push_back({buddy->uri(), buddy->name(), buddy->data()});
    }
    for (const auto& group : m_groups) {
        StoredGroup stored{group->name(), group->data(), {}};
        for (const auto& member : group->members()) {
            auto buddy = Own(member);
            if (buddy && buddy->persistent())
                stored.members << buddy->uri();
        }
        data.groups.push_back(stored);
    }
    for (const auto& watcher : m_watchers) {
        if (watcher->persistent())
            data.watchers.push_back(
                {watcher->uri(), watcher->name(), watcher->data(), watcher->state(), watcher->scope()});
    }
    m_store->Save(data);
}

HRESULT CPresenceService::SetLocalPresenceInfo(RTC_PRESENCE_STATUS status, const QString& notes)
{
    if (status < RTCXS_PRESENCE_OFFLINE || status > RTCXS_PRESENCE_OUT_TO_LUNCH)
        return E_INVALIDARG;
    if (!m_profile)
        return RTC_E_INVALID_STATE;
    m_local.status = status;
    m_local.notes = notes;
    Publish();
    auto event = std::make_shared<IRTCPresenceStatusEvent>();
    event->m_status = status;
    event->m_notes = notes;
    m_client.events().Post(RTCE_PRESENCE_STATUS, event);
    return S_OK;
}

HRESULT CPresenceService::get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value)
{
    const auto it = m_properties.find(property);
    if (it == m_properties.end())
        return RTC_E_NOT_EXIST;
    value = it->second;
    return S_OK;
}

HRESULT CPresenceService::put_PresenceProperty(RTC_PRESENCE_PROPERTY property, const QString& value)
{
    if (property < RTCPP_PHONENUMBER || property > RTCPP_DEVICE_NAME)
        return E_INVALIDARG;
    m_properties[property] = value;
    Publish();
    auto event = std::make_shared<IRTCPresencePropertyEvent>();
    event->m_property = property;
    event->m_value = value;
    m_client.events().Post(RTCE_PRESENCE_PROPERTY, event);
    return S_OK;
}

HRESULT CPresenceService::AddBuddy(const QString& uri, const QString& name, const QString& data, bool persistent,
                                   const RtcProfilePtr& profile, int flags, RtcBuddyPtr& buddy)
{
    return AddBuddyEx(uri, name, data, persistent, RTCBT_SUBSCRIBED, profile, flags, buddy);
}

HRESULT CPresenceService::AddBuddyEx(const QString& uri, const QString& name, const QString& data, bool persistent,
                                     RTC_BUDDY_SUBSCRIPTION_TYPE subscriptionType, const RtcProfilePtr&, int,
                                     RtcBuddyPtr& buddy)
{
    if (!m_profile)
        return RTC_E_INVALID_STATE;
    const QString bare = BareUri(uri);
    if (bare.isEmpty() || subscriptionType < RTCBT_SUBSCRIBED || subscriptionType > RTCBT_POLL)
        return E_INVALIDARG;
    if (auto existing = FindBuddy(bare)) {
        buddy = existing;
        return S_FALSE;
    }
    auto added = std::make_shared<CBuddy>(m_client.weak_from_this(), bare, name, data, persistent, subscriptionType);
    m_buddies.push_back(added);
    Subscribe(*added);
    PostBuddy(added, RTCBET_BUDDY_ADD);
    if (persistent)
        Save();
    buddy = added;
    return S_OK;
}

HRESULT CPresenceService::RemoveBuddy(const RtcBuddyPtr& buddy)
{
    auto own = Own(buddy);
    if (!own)
        return RTC_E_NOT_EXIST;
    if (own->subscription())
        own->subscription()->terminate();
    own->SetSubscription(nullptr);
    for (const auto& group : m_groups)
        group->Erase(buddy);
    m_buddies.erase(std::find(m_buddies.begin(), m_buddies.end(), own));
    m_client.Wake();
    PostBuddy(own, RTCBET_BUDDY_REMOVE);
    Save();
    return S_OK;
}

HRESULT CPresenceService::get_Buddy(const QString& uri, RtcBuddyPtr& buddy)
{
    auto found = FindBuddy(BareUri(uri));
    if (!found)
        return RTC_E_NOT_EXIST;
    buddy = found;
    return S_OK;
}

HRESULT CPresenceService::EnumerateBuddies(std::shared_ptr<IRTCEnumBuddies>& buddies)
{
    buddies = MakeRtcEnum(std::vector<RtcBuddyPtr>(m_buddies.begin(), m_buddies.end()));
    return S_OK;
}

HRESULT CPresenceService::AddGroup(const QString& name, const QString& data, const RtcProfilePtr&, int,
                                   RtcGroupPtr& group)
{
    if (!m_profile)
        return RTC_E_INVALID_STATE;
    if (name.trimmed().isEmpty())
        return E_INVALIDARG;
    if (SUCCEEDED(get_Group(name, group)))
        return S_FALSE;
    auto added = std::make_shared<CBuddyGroup>(m_client.weak_from_this(), name, data);
    m_groups.push_back(added);
    PostGroup(added, RTCGET_GROUP_ADD);
    Save();
    group = added;
    return S_OK;
}

HRESULT CPresenceService::RemoveGroup(const RtcGroupPtr& group)
{
    auto it = std::find_if(m_groups.begin(), m_groups.end(), [&group](const auto& own) { return own == group; });
    if (it == m_groups.end())
        return RTC_E_NOT_EXIST;
    m_groups.erase(it);
    PostGroup(group, RTCGET_GROUP_REMOVE);
    Save();
    return S_OK;
}

HRESULT CPresenceService::get_Group(const QString& name, RtcGroupPtr& group)
{
    auto it = std::find_if(m_groups.begin(), m_groups.end(), [&name](const auto& own) { return own->name() == name; });
    if (it == m_groups.end())
        return RTC_E_NOT_EXIST;
    group = *it;
    return S_OK;
}

HRESULT CPresenceService::EnumerateGroups(std::shared_ptr<IRTCEnumGroups>& groups)
{
    groups = MakeRtcEnum(std::vector<RtcGroupPtr>(m_groups.begin(), m_groups.end()));
    return S_OK;
}

HRESULT CPresenceService::AddWatcherEx(const QString& uri, const QString& name, const QString& data,
                                       RTC_WATCHER_STATE state, bool persistent, RTC_ACE_SCOPE scope,
                                       const RtcProfilePtr&, int, RtcWatcherPtr& watcher)
{
    if (!m_profile)
        return RTC_E_INVALID_STATE;
    const QString bare = BareUri(uri);
    if (bare.isEmpty() || state < RTCWS_ALLOWED || state > RTCWS_PROMPT || scope < RTCAS_SCOPE_USER ||
        scope > RTCAS_SCOPE_ALL)
        return E_INVALIDARG;
    if (auto existing = FindWatcher(bare)) {
        existing->SetState(state);
        OnWatcherChanged(*existing);
        watcher = existing;
        return S_FALSE;
    }
    auto added = std::make_shared<CWatcher>(m_client.weak_from_this(), bare, name, data, state, persistent, scope);
    m_watchers.push_back(added);
    PostWatcher(added, RTCWET_WATCHER_ADD);
    UploadRules();
    Save();
    watcher = added;
    return S_OK;
}

HRESULT CPresenceService::RemoveWatcher(const RtcWatcherPtr& watcher)
{
    auto it =
        std::find_if(m_watchers.begin(), m_watchers.end(), [&watcher](const auto& own) { return own == watcher; });
    if (it == m_watchers.end())
        return RTC_E_NOT_EXIST;
    auto removed = *it;
    m_watchers.erase(it);
    PostWatcher(removed, RTCWET_WATCHER_REMOVE);
    // Without its rule the server cuts the watcher off and holds its next attempt
    // pending, which offers it again.
    UploadRules();
    Save();
    return S_OK;
}

HRESULT CPresenceService::get_Watcher(const QString& uri, RtcWatcherPtr& watcher)
{
    auto found = FindWatcher(BareUri(uri));
    if (!found)
        return RTC_E_NOT_EXIST;
    watcher = found;
    return S_OK;
}

HRESULT CPresenceService::EnumerateWatchers(std::shared_ptr<IRTCEnumWatchers>& watchers)
{
    watchers = MakeRtcEnum(std::vector<RtcWatcherPtr>(m_watchers.begin(), m_watchers.end()));
    return S_OK;
}

bool CPresenceService::Knows(const RtcBuddyPtr& buddy) const
{
    return Own(buddy) != nullptr;
}

HRESULT CPresenceService::Refresh(CBuddy& buddy)
{
    if (!m_started)
        return RTC_E_INVALID_STATE;
    Subscribe(buddy);
    return S_OK;
}

void CPresenceService::OnBuddyChanged(CBuddy& buddy)
{
    if (auto own = FindBuddy(buddy.uri())) {
        PostBuddy(own, RTCBET_BUDDY_UPDATE);
        Save();
    }
}

void CPresenceService::OnGroupChanged(CBuddyGroup& group, RTC_GROUP_EVENT_TYPE type, const RtcBuddyPtr& buddy)
{
    auto it = std::find_if(m_groups.begin(), m_groups.end(), [&group](const auto& own) { return own.get() == &group; });
    if (it == m_groups.end())
        return;
    PostGroup(*it, type, buddy);
    Save();
}

void CPresenceService::OnWatcherChanged(CWatcher& watcher)
{
    auto own = FindWatcher(watcher.uri());
    if (!own)
        return;
    PostWatcher(own, RTCWET_WATCHER_UPDATE);
    UploadRules();
    Save();
}

void CPresenceService::OnNotify(const std::shared_ptr<linphone::Event>& event, const std::string& body)
{
    if (event && m_watcherInfo && event->cPtr() == m_watcherInfo->cPtr()) {
        OnWatcherInfo(body);
        return;
    }
    auto buddy = FindBuddy(event.get());
    PresenceInfo info;
    if (!buddy || !ParsePidf(QByteArray::fromStdString(body), info))
        return;
    if (buddy->SetPresence(info))
        PostBuddy(buddy, RTCBET_BUDDY_STATE_CHANGE);
}

void CPresenceService::OnSubscriptionState(const std::shared_ptr<linphone::Event>& event, int state)
{
    auto buddy = FindBuddy(event.get());
    if (!buddy)
        return;
    // An answer makes room for the next subscription.
    if (!Unanswered(*event))
        SubscribeWaiting();
    switch (static_cast<linphone::SubscriptionState>(state)) {
    case linphone::SubscriptionState::Active: PostBuddy(buddy, RTCBET_BUDDY_SUBSCRIBED); break;
    case linphone::SubscriptionState::Error:
    case linphone::SubscriptionState::Terminated: {
        // Nothing more will come: what was known of the buddy no longer holds.
        const HRESULT status = StatusFromReason(event->getReason());
        if (static_cast<linphone::SubscriptionState>(state) == linphone::SubscriptionState::Error)
            PostBuddy(buddy, RTCBET_BUDDY_SUBSCRIBED, FAILED(status) ? status : E_FAIL);
        if (buddy->SetPresence({}))
            PostBuddy(buddy, RTCBET_BUDDY_STATE_CHANGE);
        break;
    }
    default: break;
    }
}

void CPresenceService::OnWatcherInfo(const std::string& body)
{
    std::vector<WatcherEntry> entries;
    bool full = false;
    if (!ParseWatcherInfo(QByteArray::fromStdString(body), entries, full))
        return;
    for (const WatcherEntry& entry : entries) {
        const QString uri = BareUri(entry.uri);
        if (uri.isEmpty() || uri == m_profile->userUri())
            continue;
        const bool waiting = entry.status == QLatin1String("pending") || entry.status == QLatin1String("waiting");
        auto watcher = FindWatcher(uri);
        if (!watcher && waiting) {
            // Stored, so that the user's decision about it outlives a restart.
            watcher = std::make_shared<CWatcher>(m_client.weak_from_this(), uri, entry.displayName, QString(),
                                                 RTCWS_OFFERING, true, RTCAS_SCOPE_USER);
            m_watchers.push_back(watcher);
        } else if (!watcher || !waiting) {
            continue;
        } else if (watcher->state() != RTCWS_PROMPT && watcher->state() != RTCWS_OFFERING) {
            continue; // decided: the server applies the rule
        } else if (watcher->offeredFor == entry.id) {
            continue; // this attempt was offered already
        }
        watcher->offeredFor = entry.id;
        watcher->SetState(RTCWS_OFFERING);
        PostWatcher(watcher, RTCWET_WATCHER_OFFERING);
    }
}

std::shared_ptr<CBuddy> CPresenceService::FindBuddy(const QString& uri) const
{
    auto it = std::find_if(m_buddies.begin(), m_buddies.end(), [&uri](const auto& own) { return own->uri() == uri; });
    return it == m_buddies.end() ? nullptr : *it;
}

std::shared_ptr<CBuddy> CPresenceService::FindBuddy(linphone::Event* subscription) const
{
    auto it = std::find_if(m_buddies.begin(), m_buddies.end(), [subscription](const auto& own) {
        return subscription && own->subscription() && own->subscription()->cPtr() == subscription->cPtr();
    });
    return it == m_buddies.end() ? nullptr : *it;
}

std::shared_ptr<CWatcher> CPresenceService::FindWatcher(const QString& uri) const
{
    auto it = std::find_if(m_watchers.begin(), m_watchers.end(), [&uri](const auto& own) { return own->uri() == uri; });
    return it == m_watchers.end() ? nullptr : *it;
}

std::shared_ptr<CBuddy> CPresenceService::Own(const RtcBuddyPtr& buddy) const
{
    auto it = std::find_if(m_buddies.begin(), m_buddies.end(), [&buddy](const auto& own) { return own == buddy; });
    return it == m_buddies.end() ? nullptr : *it;
}

void CPresenceService::PostBuddy(const std::shared_ptr<CBuddy>& buddy, RTC_BUDDY_EVENT_TYPE type, HRESULT status)
{
    auto event = std::make_shared<IRTCBuddyEvent2>();
    event->m_buddy = buddy;
    event->m_eventType = type;
    event->m_statusCode = status;
    m_client.events().Post(RTCE_BUDDY, event);
}

void CPresenceService::PostWatcher(const std::shared_ptr<CWatcher>& watcher, RTC_WATCHER_EVENT_TYPE type)
{
    auto event = std::make_shared<IRTCWatcherEvent2>();
    event->m_watcher = watcher;
    event->m_eventType = type;
    m_client.events().Post(RTCE_WATCHER, event);
}

void CPresenceService::PostGroup(const RtcGroupPtr& group, RTC_GROUP_EVENT_TYPE type, const RtcBuddyPtr& buddy)
{
    auto event = std::make_shared<IRTCBuddyGroupEvent>();
    event->m_group = group;
    event->m_eventType = type;
    event->m_buddy = buddy;
    m_client.events().Post(RTCE_GROUP, event);
}
