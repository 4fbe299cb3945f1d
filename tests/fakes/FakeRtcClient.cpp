#include "FakeRtcClient.h"

#include <algorithm>

// Records the call and returns early with the scripted status when it is a failure.
#define FAKE_CALL(op, ...)                                                                                             \
    do {                                                                                                               \
        const HRESULT scripted = m_log->record(QStringLiteral(op), QVariantList{__VA_ARGS__});                         \
        if (FAILED(scripted))                                                                                          \
            return scripted;                                                                                           \
    } while (false)

namespace {
template <typename T> QVariant ptrArg(const std::shared_ptr<T>& object)
{
    return QVariant::fromValue(reinterpret_cast<quintptr>(object.get()));
}

template <typename T, typename U>
bool eraseObject(std::vector<std::shared_ptr<T>>& items, const std::shared_ptr<U>& object)
{
    const auto it =
        std::find_if(items.begin(), items.end(), [&](const auto& item) { return item.get() == object.get(); });
    if (it == items.end())
        return false;
    items.erase(it);
    return true;
}

template <typename T, typename Out> std::shared_ptr<RtcEnum<Out>> enumOf(const std::vector<std::shared_ptr<T>>& items)
{
    return MakeRtcEnum<Out>(std::vector<std::shared_ptr<Out>>(items.begin(), items.end()));
}
} // namespace

// --- FakeRtcLog ---

HRESULT FakeRtcLog::record(const QString& op, QVariantList args)
{
    m_calls.push_back({op, std::move(args)});
    const auto nth = m_nthResults.constFind(op);
    if (nth != m_nthResults.constEnd()) {
        const auto scripted = nth->constFind(count(op));
        if (scripted != nth->constEnd())
            return *scripted;
    }
    return result(op);
}

QStringList FakeRtcLog::ops() const
{
    QStringList names;
    for (const auto& call : m_calls)
        names << call.op;
    return names;
}

QStringList FakeRtcLog::opsMatching(const QString& prefix) const
{
    QStringList names;
    for (const auto& call : m_calls)
        if (call.op.startsWith(prefix))
            names << call.op;
    return names;
}

int FakeRtcLog::count(const QString& op) const
{
    return static_cast<int>(std::count_if(m_calls.begin(), m_calls.end(), [&](const auto& c) { return c.op == op; }));
}

const FakeCall* FakeRtcLog::last(const QString& op) const
{
    for (auto it = m_calls.rbegin(); it != m_calls.rend(); ++it)
        if (it->op == op)
            return &*it;
    return nullptr;
}

// --- FakeProfile ---

HRESULT FakeProfile::get_UserURI(QString& uri)
{
    FAKE_CALL("Profile.get_UserURI");
    uri = m_userUri;
    return S_OK;
}

HRESULT FakeProfile::get_UserName(QString& name)
{
    FAKE_CALL("Profile.get_UserName");
    name = m_userName;
    return S_OK;
}

HRESULT FakeProfile::get_State(RTC_REGISTRATION_STATE& state)
{
    FAKE_CALL("Profile.get_State");
    state = m_state;
    return S_OK;
}

HRESULT FakeProfile::get_AllowedAuth(int& auth)
{
    FAKE_CALL("Profile.get_AllowedAuth");
    auth = m_allowedAuth;
    return S_OK;
}

HRESULT FakeProfile::put_AllowedAuth(int auth)
{
    FAKE_CALL("Profile.put_AllowedAuth", auth);
    m_allowedAuth = auth;
    return S_OK;
}

HRESULT FakeProfile::SetCredentials(const QString& userUri, const QString& account, const QString& password)
{
    FAKE_CALL("Profile.SetCredentials", userUri, account, password);
    return S_OK;
}

// --- FakeParticipant ---

HRESULT FakeParticipant::get_UserURI(QString& uri)
{
    FAKE_CALL("Participant.get_UserURI");
    uri = m_uri;
    return S_OK;
}

HRESULT FakeParticipant::get_Name(QString& name)
{
    FAKE_CALL("Participant.get_Name");
    if (FAILED(m_nameStatus))
        return m_nameStatus;
    name = m_name;
    return S_OK;
}

HRESULT FakeParticipant::get_State(RTC_PARTICIPANT_STATE& state)
{
    FAKE_CALL("Participant.get_State");
    state = m_state;
    return S_OK;
}

HRESULT FakeParticipant::get_Removable(bool& removable)
{
    FAKE_CALL("Participant.get_Removable");
    removable = true;
    return S_OK;
}

HRESULT FakeParticipant::get_Session(RtcSessionPtr& session)
{
    FAKE_CALL("Participant.get_Session");
    RtcSessionPtr owner = m_session.lock();
    if (!owner)
        return E_FAIL;
    session = owner;
    return S_OK;
}

// --- FakeSession ---

HRESULT FakeSession::get_Client(RtcClientPtr& client)
{
    FAKE_CALL("Session.get_Client");
    RtcClientPtr owner = m_client.lock();
    if (!owner)
        return E_FAIL;
    client = owner;
    return S_OK;
}

HRESULT FakeSession::get_State(RTC_SESSION_STATE& state)
{
    FAKE_CALL("Session.get_State");
    state = m_state;
    return S_OK;
}

HRESULT FakeSession::get_Type(RTC_SESSION_TYPE& type)
{
    FAKE_CALL("Session.get_Type");
    type = m_type;
    return S_OK;
}

HRESULT FakeSession::Answer()
{
    FAKE_CALL("Session.Answer");
    m_state = RTCSS_ANSWERING;
    return S_OK;
}

HRESULT FakeSession::Terminate(RTC_TERMINATE_REASON reason)
{
    FAKE_CALL("Session.Terminate", static_cast<int>(reason));
    m_state = RTCSS_DISCONNECTED;
    return S_OK;
}

HRESULT FakeSession::AddParticipant(const QString& uri, const QString& name, RtcParticipantPtr& participant)
{
    FAKE_CALL("Session.AddParticipant", uri, name);
    auto added = std::make_shared<FakeParticipant>(m_log, uri, name);
    added->m_session = weak_from_this();
    m_participants.push_back(added);
    participant = added;
    return S_OK;
}

HRESULT FakeSession::RemoveParticipant(const RtcParticipantPtr& participant)
{
    FAKE_CALL("Session.RemoveParticipant", ptrArg(participant));
    return eraseObject(m_participants, participant) ? S_OK : E_INVALIDARG;
}

HRESULT FakeSession::EnumerateParticipants(std::shared_ptr<IRTCEnumParticipants>& participants)
{
    FAKE_CALL("Session.EnumerateParticipants");
    participants = enumOf<FakeParticipant, IRTCParticipant>(m_participants);
    return S_OK;
}

HRESULT FakeSession::get_CanAddParticipants(bool& canAdd)
{
    FAKE_CALL("Session.get_CanAddParticipants");
    canAdd = m_canAddParticipants;
    return S_OK;
}

HRESULT FakeSession::SendMessage(const QString& contentType, const QString& message, int cookie)
{
    FAKE_CALL("Session.SendMessage", contentType, message, cookie);
    return S_OK;
}

HRESULT FakeSession::SendMessageStatus(RTC_MESSAGING_USER_STATUS status, int cookie)
{
    FAKE_CALL("Session.SendMessageStatus", static_cast<int>(status), cookie);
    return S_OK;
}

std::shared_ptr<FakeParticipant> FakeSession::addRemoteParticipant(const QString& uri, const QString& name,
                                                                   HRESULT nameStatus)
{
    auto participant = std::make_shared<FakeParticipant>(m_log, uri, name);
    participant->m_nameStatus = nameStatus;
    participant->m_state = RTCPS_INCOMING;
    participant->m_session = weak_from_this();
    m_participants.push_back(participant);
    return participant;
}

// --- FakePresenceDevice ---

HRESULT FakePresenceDevice::get_Status(RTC_PRESENCE_STATUS& status)
{
    status = m_status;
    return S_OK;
}

HRESULT FakePresenceDevice::get_Notes(QString& notes)
{
    notes = m_notes;
    return S_OK;
}

HRESULT FakePresenceDevice::get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value)
{
    const auto it = m_properties.find(property);
    if (it == m_properties.end())
        return RTC_E_NOT_EXIST;
    value = it->second;
    return S_OK;
}

// --- FakeBuddy ---

HRESULT FakeBuddy::get_PresentityURI(QString& uri)
{
    FAKE_CALL("Buddy.get_PresentityURI");
    uri = m_uri;
    return S_OK;
}

HRESULT FakeBuddy::get_Name(QString& name)
{
    FAKE_CALL("Buddy.get_Name");
    name = m_name;
    return S_OK;
}

HRESULT FakeBuddy::put_Name(const QString& name)
{
    FAKE_CALL("Buddy.put_Name", name);
    m_name = name;
    return S_OK;
}

HRESULT FakeBuddy::get_Data(QString& data)
{
    FAKE_CALL("Buddy.get_Data");
    data = m_data;
    return S_OK;
}

HRESULT FakeBuddy::put_Data(const QString& data)
{
    FAKE_CALL("Buddy.put_Data", data);
    m_data = data;
    return S_OK;
}

HRESULT FakeBuddy::get_Persistent(bool& persistent)
{
    FAKE_CALL("Buddy.get_Persistent");
    persistent = m_persistent;
    return S_OK;
}

HRESULT FakeBuddy::put_Persistent(bool persistent)
{
    FAKE_CALL("Buddy.put_Persistent", persistent);
    m_persistent = persistent;
    return S_OK;
}

HRESULT FakeBuddy::get_Status(RTC_PRESENCE_STATUS& status)
{
    FAKE_CALL("Buddy.get_Status");
    if (FAILED(m_statusReadResult))
        return m_statusReadResult;
    status = m_status;
    return S_OK;
}

HRESULT FakeBuddy::get_Notes(QString& notes)
{
    FAKE_CALL("Buddy.get_Notes");
    notes = m_notes;
    return S_OK;
}

HRESULT FakeBuddy::get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value)
{
    FAKE_CALL("Buddy.get_PresenceProperty", static_cast<int>(property));
    const auto it = m_properties.find(property);
    if (it == m_properties.end())
        return RTC_E_NOT_EXIST;
    value = it->second;
    return S_OK;
}

HRESULT FakeBuddy::EnumeratePresenceDevices(std::shared_ptr<IRTCEnumPresenceDevices>& devices)
{
    FAKE_CALL("Buddy.EnumeratePresenceDevices");
    if (!m_devicesAvailable)
        return E_FAIL;
    devices = enumOf<FakePresenceDevice, IRTCPresenceDevice>(m_devices);
    return S_OK;
}

HRESULT FakeBuddy::Refresh()
{
    FAKE_CALL("Buddy.Refresh");
    return S_OK;
}

// --- FakeGroup ---

HRESULT FakeGroup::get_Name(QString& name)
{
    FAKE_CALL("Group.get_Name");
    name = m_name;
    return S_OK;
}

HRESULT FakeGroup::put_Name(const QString& name)
{
    FAKE_CALL("Group.put_Name", name);
    m_name = name;
    return S_OK;
}

HRESULT FakeGroup::get_Data(QString& data)
{
    FAKE_CALL("Group.get_Data");
    data = m_data;
    return S_OK;
}

HRESULT FakeGroup::put_Data(const QString& data)
{
    FAKE_CALL("Group.put_Data", data);
    m_data = data;
    return S_OK;
}

HRESULT FakeGroup::AddBuddy(const RtcBuddyPtr& buddy)
{
    FAKE_CALL("Group.AddBuddy", ptrArg(buddy));
    if (std::find(m_buddies.begin(), m_buddies.end(), buddy) == m_buddies.end())
        m_buddies.push_back(buddy);
    return S_OK;
}

HRESULT FakeGroup::RemoveBuddy(const RtcBuddyPtr& buddy)
{
    FAKE_CALL("Group.RemoveBuddy", ptrArg(buddy));
    return eraseObject(m_buddies, buddy) ? S_OK : RTC_E_NOT_EXIST;
}

HRESULT FakeGroup::EnumerateBuddies(std::shared_ptr<IRTCEnumBuddies>& buddies)
{
    FAKE_CALL("Group.EnumerateBuddies");
    buddies = MakeRtcEnum<IRTCBuddy2>(m_buddies);
    return S_OK;
}

// --- FakeWatcher ---

HRESULT FakeWatcher::get_PresentityURI(QString& uri)
{
    FAKE_CALL("Watcher.get_PresentityURI");
    uri = m_uri;
    return S_OK;
}

HRESULT FakeWatcher::get_Name(QString& name)
{
    FAKE_CALL("Watcher.get_Name");
    if (FAILED(m_nameStatus))
        return m_nameStatus;
    name = m_name;
    return S_OK;
}

HRESULT FakeWatcher::put_Name(const QString& name)
{
    FAKE_CALL("Watcher.put_Name", name);
    m_name = name;
    return S_OK;
}

HRESULT FakeWatcher::get_Data(QString& data)
{
    FAKE_CALL("Watcher.get_Data");
    data = m_data;
    return S_OK;
}

HRESULT FakeWatcher::put_Data(const QString& data)
{
    FAKE_CALL("Watcher.put_Data", data);
    m_data = data;
    return S_OK;
}

HRESULT FakeWatcher::get_Persistent(bool& persistent)
{
    FAKE_CALL("Watcher.get_Persistent");
    persistent = m_persistent;
    return S_OK;
}

HRESULT FakeWatcher::put_Persistent(bool persistent)
{
    FAKE_CALL("Watcher.put_Persistent", persistent);
    m_persistent = persistent;
    return S_OK;
}

HRESULT FakeWatcher::get_State(RTC_WATCHER_STATE& state)
{
    FAKE_CALL("Watcher.get_State");
    state = m_state;
    return S_OK;
}

HRESULT FakeWatcher::put_State(RTC_WATCHER_STATE state)
{
    FAKE_CALL("Watcher.put_State", static_cast<int>(state));
    m_state = state;
    return S_OK;
}

HRESULT FakeWatcher::get_Scope(RTC_ACE_SCOPE& scope)
{
    FAKE_CALL("Watcher.get_Scope");
    scope = m_scope;
    return S_OK;
}

// --- FakeRtcClient ---

FakeRtcClient::FakeRtcClient() : m_log(std::make_shared<FakeRtcLog>())
{
}

bool FakeRtcClient::fire(RTC_EVENT type, const RtcEventPtr& event)
{
    RtcEventSinkPtr sink;
    int filter = 0;
    {
        std::lock_guard lock(m_sinkMutex);
        sink = m_sink;
        filter = m_eventFilter;
    }
    if (!sink || !RtcEventPassesFilter(type, filter))
        return false;
    sink->Event(type, event);
    return true;
}

bool FakeRtcClient::hasSink() const
{
    std::lock_guard lock(m_sinkMutex);
    return m_sink != nullptr;
}

std::shared_ptr<FakeProfile> FakeRtcClient::makeProfile(const QString& userUri, const QString& userName)
{
    return std::make_shared<FakeProfile>(m_log, userUri, userName);
}

std::shared_ptr<FakeSession> FakeRtcClient::makeIncomingSession(RTC_SESSION_TYPE type, const QString& callerUri,
                                                                const QString& callerName, HRESULT nameStatus)
{
    auto session = std::make_shared<FakeSession>(m_log, shared_from_this(), type);
    session->m_state = RTCSS_INCOMING;
    session->addRemoteParticipant(callerUri, callerName, nameStatus);
    m_sessions.push_back(session);
    return session;
}

std::shared_ptr<FakeBuddy> FakeRtcClient::addFakeBuddy(const QString& uri, const QString& name,
                                                       RTC_PRESENCE_STATUS status)
{
    auto buddy = std::make_shared<FakeBuddy>(m_log, uri, name);
    buddy->m_status = status;
    m_buddies.push_back(buddy);
    return buddy;
}

std::shared_ptr<FakeGroup> FakeRtcClient::addFakeGroup(const QString& name)
{
    auto group = std::make_shared<FakeGroup>(m_log, name);
    m_groups.push_back(group);
    return group;
}

std::shared_ptr<FakeWatcher> FakeRtcClient::addFakeWatcher(const QString& uri, const QString& name)
{
    auto watcher = std::make_shared<FakeWatcher>(m_log, uri, name);
    m_watchers.push_back(watcher);
    return watcher;
}

HRESULT FakeRtcClient::get_Version(int& version)
{
    FAKE_CALL("Client.get_Version");
    version = m_version;
    return S_OK;
}

HRESULT FakeRtcClient::Initialize()
{
    FAKE_CALL("Client.Initialize");
    return S_OK;
}

HRESULT FakeRtcClient::PrepareForShutdown()
{
    FAKE_CALL("Client.PrepareForShutdown");
    return S_OK;
}

HRESULT FakeRtcClient::Shutdown()
{
    FAKE_CALL("Client.Shutdown");
    return S_OK;
}

HRESULT FakeRtcClient::put_EventFilter(int filter)
{
    FAKE_CALL("Client.put_EventFilter", filter);
    std::lock_guard lock(m_sinkMutex);
    m_eventFilter = filter;
    return S_OK;
}

HRESULT FakeRtcClient::get_EventFilter(int& filter)
{
    FAKE_CALL("Client.get_EventFilter");
    std::lock_guard lock(m_sinkMutex);
    filter = m_eventFilter;
    return S_OK;
}

HRESULT FakeRtcClient::put_AllowedPorts(int transport, RTC_LISTEN_MODE mode)
{
    FAKE_CALL("Client.put_AllowedPorts", transport, static_cast<int>(mode));
    return S_OK;
}

HRESULT FakeRtcClient::put_AnswerMode(RTC_SESSION_TYPE type, RTC_ANSWER_MODE mode)
{
    FAKE_CALL("Client.put_AnswerMode", static_cast<int>(type), static_cast<int>(mode));
    return S_OK;
}

HRESULT FakeRtcClient::put_ClientName(const QString& name)
{
    FAKE_CALL("Client.put_ClientName", name);
    return S_OK;
}

HRESULT FakeRtcClient::put_ClientCurVer(const QString& version)
{
    FAKE_CALL("Client.put_ClientCurVer", version);
    return S_OK;
}

HRESULT FakeRtcClient::Advise(const RtcEventSinkPtr& sink, int& cookie)
{
    FAKE_CALL("Client.Advise");
    std::lock_guard lock(m_sinkMutex);
    if (m_sink)
        return E_FAIL; // one sink at a time is all the program uses
    m_sink = sink;
    m_sinkCookie = m_nextCookie++;
    cookie = m_sinkCookie;
    return S_OK;
}

HRESULT FakeRtcClient::Unadvise(int cookie)
{
    FAKE_CALL("Client.Unadvise", cookie);
    std::lock_guard lock(m_sinkMutex);
    if (!m_sink || cookie != m_sinkCookie)
        return E_INVALIDARG;
    m_sink.reset();
    m_sinkCookie = 0;
    return S_OK;
}

HRESULT FakeRtcClient::CreateSession(RTC_SESSION_TYPE type, const QString& localPhoneUri, const RtcProfilePtr& profile,
                                     int flags, RtcSessionPtr& session)
{
    FAKE_CALL("Client.CreateSession", static_cast<int>(type), localPhoneUri, ptrArg(profile), flags);
    auto created = std::make_shared<FakeSession>(m_log, shared_from_this(), type);
    m_sessions.push_back(created);
    session = created;
    return S_OK;
}

HRESULT FakeRtcClient::get_LocalUserURI(QString& uri)
{
    FAKE_CALL("Client.get_LocalUserURI");
    uri = m_localUserUri;
    return S_OK;
}

HRESULT FakeRtcClient::SendDTMF(RTC_DTMF dtmf)
{
    FAKE_CALL("Client.SendDTMF", static_cast<int>(dtmf));
    return S_OK;
}

HRESULT FakeRtcClient::get_Volume(RTC_AUDIO_DEVICE device, int& level)
{
    FAKE_CALL("Client.get_Volume", static_cast<int>(device));
    level = m_volume[device];
    return S_OK;
}

HRESULT FakeRtcClient::put_Volume(RTC_AUDIO_DEVICE device, int level)
{
    FAKE_CALL("Client.put_Volume", static_cast<int>(device), level);
    m_volume[device] = level;
    return S_OK;
}

HRESULT FakeRtcClient::get_AudioMuted(RTC_AUDIO_DEVICE device, bool& muted)
{
    FAKE_CALL("Client.get_AudioMuted", static_cast<int>(device));
    muted = m_muted[device];
    return S_OK;
}

HRESULT FakeRtcClient::put_AudioMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    FAKE_CALL("Client.put_AudioMuted", static_cast<int>(device), muted);
    m_muted[device] = muted;
    return S_OK;
}

HRESULT FakeRtcClient::get_NetworkQuality(int& quality)
{
    FAKE_CALL("Client.get_NetworkQuality");
    quality = m_networkQuality;
    return S_OK;
}

HRESULT FakeRtcClient::get_MediaCapabilities(int& capabilities)
{
    FAKE_CALL("Client.get_MediaCapabilities");
    capabilities = m_mediaCapabilities;
    return S_OK;
}

HRESULT FakeRtcClient::PlayRing(RTC_RING_TYPE type, bool play)
{
    FAKE_CALL("Client.PlayRing", static_cast<int>(type), play);
    return S_OK;
}

HRESULT FakeRtcClient::InvokeTuningWizard(QObject* owner)
{
    FAKE_CALL("Client.InvokeTuningWizard", QVariant::fromValue(reinterpret_cast<quintptr>(owner)));
    return S_OK;
}

HRESULT FakeRtcClient::GetProfile(const QString& account, const QString& password, const QString& userUri,
                                  const QString& server, int transport, int cookie)
{
    FAKE_CALL("Client.GetProfile", account, password, userUri, server, transport, cookie);
    return S_OK;
}

HRESULT FakeRtcClient::EnableProfile(const RtcProfilePtr& profile, int registerFlags)
{
    FAKE_CALL("Client.EnableProfile", ptrArg(profile), registerFlags);
    return S_OK;
}

HRESULT FakeRtcClient::EnableProfileEx(const RtcProfilePtr& profile, int registerFlags, int roamingFlags)
{
    FAKE_CALL("Client.EnableProfileEx", ptrArg(profile), registerFlags, roamingFlags);
    return S_OK;
}

HRESULT FakeRtcClient::DisableProfile(const RtcProfilePtr& profile)
{
    FAKE_CALL("Client.DisableProfile", ptrArg(profile));
    return S_OK;
}

HRESULT FakeRtcClient::EnablePresenceEx(const RtcProfilePtr& profile, const QString& storagePath, int flags)
{
    FAKE_CALL("Client.EnablePresenceEx", ptrArg(profile), storagePath, flags);
    m_presenceEnabled = true;
    return S_OK;
}

HRESULT FakeRtcClient::DisablePresence()
{
    FAKE_CALL("Client.DisablePresence");
    m_presenceEnabled = false;
    return S_OK;
}

HRESULT FakeRtcClient::SetLocalPresenceInfo(RTC_PRESENCE_STATUS status, const QString& notes)
{
    FAKE_CALL("Client.SetLocalPresenceInfo", static_cast<int>(status), notes);
    m_localStatus = status;
    return S_OK;
}

HRESULT FakeRtcClient::get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value)
{
    FAKE_CALL("Client.get_PresenceProperty", static_cast<int>(property));
    const auto it = m_presenceProperties.find(property);
    if (it == m_presenceProperties.end())
        return RTC_E_NOT_EXIST;
    value = it->second;
    return S_OK;
}

HRESULT FakeRtcClient::put_PresenceProperty(RTC_PRESENCE_PROPERTY property, const QString& value)
{
    FAKE_CALL("Client.put_PresenceProperty", static_cast<int>(property), value);
    m_presenceProperties[property] = value;
    return S_OK;
}

HRESULT FakeRtcClient::AddBuddy(const QString& uri, const QString& name, const QString& data, bool persistent,
                                const RtcProfilePtr& profile, int flags, RtcBuddyPtr& buddy)
{
    FAKE_CALL("Client.AddBuddy", uri, name, data, persistent, ptrArg(profile), flags);
    auto added = addFakeBuddy(uri, name, RTCXS_PRESENCE_OFFLINE);
    added->m_data = data;
    added->m_persistent = persistent;
    buddy = added;
    return S_OK;
}

HRESULT FakeRtcClient::AddBuddyEx(const QString& uri, const QString& name, const QString& data, bool persistent,
                                  RTC_BUDDY_SUBSCRIPTION_TYPE subscriptionType, const RtcProfilePtr& profile, int flags,
                                  RtcBuddyPtr& buddy)
{
    FAKE_CALL("Client.AddBuddyEx", uri, name, data, persistent, static_cast<int>(subscriptionType), ptrArg(profile),
              flags);
    auto added = addFakeBuddy(uri, name, RTCXS_PRESENCE_OFFLINE);
    added->m_data = data;
    added->m_persistent = persistent;
    buddy = added;
    return S_OK;
}

HRESULT FakeRtcClient::RemoveBuddy(const RtcBuddyPtr& buddy)
{
    FAKE_CALL("Client.RemoveBuddy", ptrArg(buddy));
    return eraseObject(m_buddies, buddy) ? S_OK : RTC_E_NOT_EXIST;
}

HRESULT FakeRtcClient::get_Buddy(const QString& uri, RtcBuddyPtr& buddy)
{
    FAKE_CALL("Client.get_Buddy", uri);
    for (const auto& candidate : m_buddies) {
        if (candidate->m_uri == uri) {
            buddy = candidate;
            return S_OK;
        }
    }
    return RTC_E_NOT_EXIST;
}

HRESULT FakeRtcClient::EnumerateBuddies(std::shared_ptr<IRTCEnumBuddies>& buddies)
{
    FAKE_CALL("Client.EnumerateBuddies");
    buddies = enumOf<FakeBuddy, IRTCBuddy2>(m_buddies);
    return S_OK;
}

HRESULT FakeRtcClient::AddGroup(const QString& name, const QString& data, const RtcProfilePtr& profile, int flags,
                                RtcGroupPtr& group)
{
    FAKE_CALL("Client.AddGroup", name, data, ptrArg(profile), flags);
    auto added = addFakeGroup(name);
    added->m_data = data;
    group = added;
    return S_OK;
}

HRESULT FakeRtcClient::RemoveGroup(const RtcGroupPtr& group)
{
    FAKE_CALL("Client.RemoveGroup", ptrArg(group));
    return eraseObject(m_groups, group) ? S_OK : RTC_E_NOT_EXIST;
}

HRESULT FakeRtcClient::get_Group(const QString& name, RtcGroupPtr& group)
{
    FAKE_CALL("Client.get_Group", name);
    for (const auto& candidate : m_groups) {
        if (candidate->m_name == name) {
            group = candidate;
            return S_OK;
        }
    }
    return RTC_E_NOT_EXIST;
}

HRESULT FakeRtcClient::EnumerateGroups(std::shared_ptr<IRTCEnumGroups>& groups)
{
    FAKE_CALL("Client.EnumerateGroups");
    groups = enumOf<FakeGroup, IRTCBuddyGroup>(m_groups);
    return S_OK;
}

HRESULT FakeRtcClient::AddWatcherEx(const QString& uri, const QString& name, const QString& data,
                                    RTC_WATCHER_STATE state, bool persistent, RTC_ACE_SCOPE scope,
                                    const RtcProfilePtr& profile, int flags, RtcWatcherPtr& watcher)
{
    FAKE_CALL("Client.AddWatcherEx", uri, name, data, static_cast<int>(state), persistent, static_cast<int>(scope),
              ptrArg(profile), flags);
    auto added = addFakeWatcher(uri, name);
    added->m_data = data;
    added->m_state = state;
    added->m_persistent = persistent;
    added->m_scope = scope;
    watcher = added;
    return S_OK;
}

HRESULT FakeRtcClient::RemoveWatcher(const RtcWatcherPtr& watcher)
{
    FAKE_CALL("Client.RemoveWatcher", ptrArg(watcher));
    return eraseObject(m_watchers, watcher) ? S_OK : RTC_E_NOT_EXIST;
}

HRESULT FakeRtcClient::get_Watcher(const QString& uri, RtcWatcherPtr& watcher)
{
    FAKE_CALL("Client.get_Watcher", uri);
    for (const auto& candidate : m_watchers) {
        if (candidate->m_uri == uri) {
            watcher = candidate;
            return S_OK;
        }
    }
    return RTC_E_NOT_EXIST;
}

HRESULT FakeRtcClient::EnumerateWatchers(std::shared_ptr<IRTCEnumWatchers>& watchers)
{
    FAKE_CALL("Client.EnumerateWatchers");
    watchers = enumOf<FakeWatcher, IRTCWatcher2>(m_watchers);
    return S_OK;
}

// --- FakeEvents ---

namespace FakeEvents {
std::shared_ptr<IRTCRegistrationStateChangeEvent> registration(const RtcProfilePtr& profile,
                                                               RTC_REGISTRATION_STATE state, HRESULT code)
{
    auto event = std::make_shared<IRTCRegistrationStateChangeEvent>();
    event->m_profile = profile;
    event->m_state = state;
    event->m_statusCode = code;
    return event;
}

std::shared_ptr<IRTCProfileEvent2> profile(const RtcProfilePtr& profile, HRESULT code)
{
    auto event = std::make_shared<IRTCProfileEvent2>();
    event->m_profile = profile;
    event->m_statusCode = code;
    event->m_eventType = RTCPFET_PROFILE_GET;
    return event;
}

std::shared_ptr<IRTCSessionStateChangeEvent> sessionState(const RtcSessionPtr& session, RTC_SESSION_STATE state,
                                                          HRESULT code)
{
    auto event = std::make_shared<IRTCSessionStateChangeEvent>();
    event->m_session = session;
    event->m_state = state;
    event->m_statusCode = code;
    return event;
}

std::shared_ptr<IRTCParticipantStateChangeEvent> participantState(const RtcParticipantPtr& participant,
                                                                  RTC_PARTICIPANT_STATE state, HRESULT code)
{
    auto event = std::make_shared<IRTCParticipantStateChangeEvent>();
    event->m_participant = participant;
    event->m_state = state;
    event->m_statusCode = code;
    return event;
}

std::shared_ptr<IRTCClientEvent> client(RTC_CLIENT_EVENT_TYPE type)
{
    auto event = std::make_shared<IRTCClientEvent>();
    event->m_eventType = type;
    return event;
}

std::shared_ptr<IRTCIntensityEvent> intensity(RTC_AUDIO_DEVICE direction, int level, int minimum, int maximum)
{
    auto event = std::make_shared<IRTCIntensityEvent>();
    event->m_direction = direction;
    event->m_level = level;
    event->m_min = minimum;
    event->m_max = maximum;
    return event;
}

std::shared_ptr<IRTCMediaEvent> media(int mediaType, RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON reason)
{
    auto event = std::make_shared<IRTCMediaEvent>();
    event->m_mediaType = mediaType;
    event->m_eventType = type;
    event->m_eventReason = reason;
    return event;
}

std::shared_ptr<IRTCMessagingEvent> message(const RtcSessionPtr& session, const RtcParticipantPtr& participant,
                                            const QString& header, const QString& body)
{
    auto event = std::make_shared<IRTCMessagingEvent>();
    event->m_session = session;
    event->m_participant = participant;
    event->m_eventType = RTCMSET_MESSAGE;
    event->m_messageHeader = header;
    event->m_message = body;
    return event;
}

std::shared_ptr<IRTCMessagingEvent> userStatus(const RtcSessionPtr& session, const RtcParticipantPtr& participant,
                                               RTC_MESSAGING_USER_STATUS status)
{
    auto event = std::make_shared<IRTCMessagingEvent>();
    event->m_session = session;
    event->m_participant = participant;
    event->m_eventType = RTCMSET_STATUS;
    event->m_userStatus = status;
    return event;
}

std::shared_ptr<IRTCBuddyEvent2> buddy(const RtcBuddyPtr& buddy, RTC_BUDDY_EVENT_TYPE type, HRESULT code)
{
    auto event = std::make_shared<IRTCBuddyEvent2>();
    event->m_buddy = buddy;
    event->m_eventType = type;
    event->m_statusCode = code;
    return event;
}

std::shared_ptr<IRTCWatcherEvent2> watcher(const RtcWatcherPtr& watcher, RTC_WATCHER_EVENT_TYPE type, HRESULT code)
{
    auto event = std::make_shared<IRTCWatcherEvent2>();
    event->m_watcher = watcher;
    event->m_eventType = type;
    event->m_statusCode = code;
    return event;
}
} // namespace FakeEvents
