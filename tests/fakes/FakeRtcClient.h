// A scriptable in-process RTC client for logic tests.
//
// Every operation of every fake object is recorded, in order, in one shared log
// as "Object.Operation" with its arguments. A test sets the status an operation
// returns (setResult); a failing operation changes nothing. Objects keep a stable
// identity, so lists and trees can find them by pointer. Events are injected with
// fire(), which calls the registered sink exactly as the real layer would; fire()
// may be called from any thread.
#pragma once

#include "platform/rtc/RtcEvents.h"
#include "platform/rtc/RtcInterfaces.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

struct FakeCall {
    QString op;
    QVariantList args;
};

// The shared call log and the scripted results.
class FakeRtcLog {
public:
    HRESULT record(const QString& op, QVariantList args = {});
    void setResult(const QString& op, HRESULT result) { m_results[op] = result; }
    // Only the nth call (from 1) of the operation returns this status.
    void setResultOfCall(const QString& op, int nth, HRESULT result) { m_nthResults[op][nth] = result; }
    HRESULT result(const QString& op) const { return m_results.value(op, S_OK); }

    const std::vector<FakeCall>& calls() const { return m_calls; }
    QStringList ops() const; // the operation names in call order
    QStringList opsMatching(const QString& prefix) const;
    int count(const QString& op) const;
    const FakeCall* last(const QString& op) const; // null if never called
    void clear() { m_calls.clear(); }

private:
    std::vector<FakeCall> m_calls;
    QHash<QString, HRESULT> m_results;
    QHash<QString, QHash<int, HRESULT>> m_nthResults;
};

using FakeRtcLogPtr = std::shared_ptr<FakeRtcLog>;

class FakeProfile : public IRTCProfile2 {
public:
    FakeProfile(FakeRtcLogPtr log, QString userUri, QString userName)
        : m_log(std::move(log)), m_userUri(std::move(userUri)), m_userName(std::move(userName))
    {
    }
    HRESULT get_UserURI(QString& uri) override;
    HRESULT get_UserName(QString& name) override;
    HRESULT get_State(RTC_REGISTRATION_STATE& state) override;
    HRESULT get_AllowedAuth(int& auth) override;
    HRESULT put_AllowedAuth(int auth) override;
    HRESULT SetCredentials(const QString& userUri, const QString& account, const QString& password) override;

    FakeRtcLogPtr m_log;
    QString m_userUri;
    QString m_userName;
    RTC_REGISTRATION_STATE m_state = RTCRS_NOT_REGISTERED;
    int m_allowedAuth = 0;
};

class FakeParticipant : public IRTCParticipant {
public:
    FakeParticipant(FakeRtcLogPtr log, QString uri, QString name)
        : m_log(std::move(log)), m_uri(std::move(uri)), m_name(std::move(name))
    {
    }
    HRESULT get_UserURI(QString& uri) override;
    HRESULT get_Name(QString& name) override; // m_nameStatus when set (e.g. RTC_E_NO_DISPLAY_NAME)
    HRESULT get_State(RTC_PARTICIPANT_STATE& state) override;
    HRESULT get_Removable(bool& removable) override;
    HRESULT get_Session(RtcSessionPtr& session) override;

    FakeRtcLogPtr m_log;
    QString m_uri;
    QString m_name;
    HRESULT m_nameStatus = S_OK;
    RTC_PARTICIPANT_STATE m_state = RTCPS_PENDING;
    std::weak_ptr<IRTCSession> m_session;
};

class FakeSession : public IRTCSession, public std::enable_shared_from_this<FakeSession> {
public:
    FakeSession(FakeRtcLogPtr log, RtcClientPtr client, RTC_SESSION_TYPE type)
        : m_log(std::move(log)), m_client(std::move(client)), m_type(type)
    {
    }
    HRESULT get_Client(RtcClientPtr& client) override;
    HRESULT get_State(RTC_SESSION_STATE& state) override;
    HRESULT get_Type(RTC_SESSION_TYPE& type) override;
    HRESULT Answer() override;
    HRESULT Terminate(RTC_TERMINATE_REASON reason) override;
    HRESULT AddParticipant(const QString& uri, const QString& name, RtcParticipantPtr& participant) override;
    HRESULT RemoveParticipant(const RtcParticipantPtr& participant) override;
    HRESULT EnumerateParticipants(std::shared_ptr<IRTCEnumParticipants>& participants) override;
    HRESULT get_CanAddParticipants(bool& canAdd) override;
    HRESULT SendMessage(const QString& contentType, const QString& message, int cookie) override;
    HRESULT SendMessageStatus(RTC_MESSAGING_USER_STATUS status, int cookie) override;

    // Adds a remote party as the library would for an incoming session.
    std::shared_ptr<FakeParticipant> addRemoteParticipant(const QString& uri, const QString& name,
                                                          HRESULT nameStatus = S_OK);

    FakeRtcLogPtr m_log;
    std::weak_ptr<IRTCClient> m_client; // the client owns its sessions; no cycle
    RTC_SESSION_TYPE m_type;
    RTC_SESSION_STATE m_state = RTCSS_IDLE;
    bool m_canAddParticipants = true;
    std::vector<std::shared_ptr<FakeParticipant>> m_participants;
};

class FakePresenceDevice : public IRTCPresenceDevice {
public:
    HRESULT get_Status(RTC_PRESENCE_STATUS& status) override;
    HRESULT get_Notes(QString& notes) override;
    HRESULT get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value) override;

    RTC_PRESENCE_STATUS m_status = RTCXS_PRESENCE_OFFLINE;
    QString m_notes;
    std::map<RTC_PRESENCE_PROPERTY, QString> m_properties; // a missing property fails to read
};

class FakeBuddy : public IRTCBuddy2 {
public:
    FakeBuddy(FakeRtcLogPtr log, QString uri, QString name)
        : m_log(std::move(log)), m_uri(std::move(uri)), m_name(std::move(name))
    {
    }
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

    FakeRtcLogPtr m_log;
    QString m_uri;
    QString m_name;
    QString m_data;
    QString m_notes;
    bool m_persistent = true;
    RTC_PRESENCE_STATUS m_status = RTCXS_PRESENCE_OFFLINE;
    HRESULT m_statusReadResult = S_OK;
    std::map<RTC_PRESENCE_PROPERTY, QString> m_properties; // a missing property fails to read
    std::vector<std::shared_ptr<FakePresenceDevice>> m_devices;
    bool m_devicesAvailable = true;
};

class FakeGroup : public IRTCBuddyGroup {
public:
    FakeGroup(FakeRtcLogPtr log, QString name) : m_log(std::move(log)), m_name(std::move(name)) {}
    HRESULT get_Name(QString& name) override;
    HRESULT put_Name(const QString& name) override;
    HRESULT get_Data(QString& data) override;
    HRESULT put_Data(const QString& data) override;
    HRESULT AddBuddy(const RtcBuddyPtr& buddy) override;
    HRESULT RemoveBuddy(const RtcBuddyPtr& buddy) override;
    HRESULT EnumerateBuddies(std::shared_ptr<IRTCEnumBuddies>& buddies) override;

    FakeRtcLogPtr m_log;
    QString m_name;
    QString m_data;
    std::vector<RtcBuddyPtr> m_buddies;
};

class FakeWatcher : public IRTCWatcher2 {
public:
    FakeWatcher(FakeRtcLogPtr log, QString uri, QString name)
        : m_log(std::move(log)), m_uri(std::move(uri)), m_name(std::move(name))
    {
    }
    HRESULT get_PresentityURI(QString& uri) override;
    HRESULT get_Name(QString& name) override;
    HRESULT put_Name(const QString& name) override;
    HRESULT get_Data(QString& data) override;
    HRESULT put_Data(const QString& data) override;
    HRESULT get_Persistent(bool& persistent) override;
    HRESULT put_Persistent(bool persistent) override;
    HRESULT get_State(RTC_WATCHER_STATE& state) override;
    HRESULT put_State(RTC_WATCHER_STATE state) override;
    HRESULT get_Scope(RTC_ACE_SCOPE& scope) override;

    FakeRtcLogPtr m_log;
    QString m_uri;
    QString m_name;
    HRESULT m_nameStatus = S_OK;
    QString m_data;
    bool m_persistent = false;
    RTC_WATCHER_STATE m_state = RTCWS_OFFERING;
    RTC_ACE_SCOPE m_scope = RTCAS_SCOPE_USER;
};

class FakeRtcClient : public IRTCClient,
                      public IRTCClientPresence2,
                      public IRTCClientProvisioning2,
                      public std::enable_shared_from_this<FakeRtcClient> {
public:
    FakeRtcClient();
    static std::shared_ptr<FakeRtcClient> create() { return std::make_shared<FakeRtcClient>(); }

    // --- scripting ---
    FakeRtcLog& log() { return *m_log; }
    const FakeRtcLogPtr& sharedLog() const { return m_log; }
    void setResult(const QString& op, HRESULT result) { m_log->setResult(op, result); }
    void setResultOfCall(const QString& op, int nth, HRESULT result) { m_log->setResultOfCall(op, nth, result); }
    // Hands an event to the registered sink if its type passes the event filter.
    // Returns false when no sink is registered or the filter drops it.
    bool fire(RTC_EVENT type, const RtcEventPtr& event);
    bool hasSink() const;

    std::shared_ptr<FakeProfile> makeProfile(const QString& userUri, const QString& userName);
    std::shared_ptr<FakeSession> makeIncomingSession(RTC_SESSION_TYPE type, const QString& callerUri,
                                                     const QString& callerName, HRESULT nameStatus = S_OK);
    std::shared_ptr<FakeBuddy> addFakeBuddy(const QString& uri, const QString& name,
                                            RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_ONLINE);
    std::shared_ptr<FakeGroup> addFakeGroup(const QString& name);
    std::shared_ptr<FakeWatcher> addFakeWatcher(const QString& uri, const QString& name);

    // --- IRTCClient ---
    HRESULT get_Version(int& version) override;
    HRESULT Initialize() override;
    HRESULT PrepareForShutdown() override;
    HRESULT Shutdown() override;
    HRESULT put_EventFilter(int filter) override;
    HRESULT get_EventFilter(int& filter) override;
    HRESULT put_AllowedPorts(int transport, RTC_LISTEN_MODE mode) override;
    HRESULT put_AnswerMode(RTC_SESSION_TYPE type, RTC_ANSWER_MODE mode) override;
    HRESULT put_ClientName(const QString& name) override;
    HRESULT put_ClientCurVer(const QString& version) override;
    HRESULT Advise(const RtcEventSinkPtr& sink, int& cookie) override;
    HRESULT Unadvise(int cookie) override;
    HRESULT CreateSession(RTC_SESSION_TYPE type, const QString& localPhoneUri, const RtcProfilePtr& profile, int flags,
                          RtcSessionPtr& session) override;
    HRESULT get_LocalUserURI(QString& uri) override;
    HRESULT SendDTMF(RTC_DTMF dtmf) override;
    HRESULT get_Volume(RTC_AUDIO_DEVICE device, int& level) override;
    HRESULT put_Volume(RTC_AUDIO_DEVICE device, int level) override;
    HRESULT get_AudioMuted(RTC_AUDIO_DEVICE device, bool& muted) override;
    HRESULT put_AudioMuted(RTC_AUDIO_DEVICE device, bool muted) override;
    HRESULT get_NetworkQuality(int& quality) override;
    HRESULT get_MediaCapabilities(int& capabilities) override;
    HRESULT PlayRing(RTC_RING_TYPE type, bool play) override;
    HRESULT InvokeTuningWizard(QObject* owner) override;
    IRTCClientPresence2* presence() override { return m_presenceAvailable ? this : nullptr; }
    IRTCClientProvisioning2* provisioning() override { return m_provisioningAvailable ? this : nullptr; }

    // --- IRTCClientProvisioning2 ---
    HRESULT GetProfile(const QString& account, const QString& password, const QString& userUri, const QString& server,
                       int transport, int cookie) override;
    HRESULT EnableProfile(const RtcProfilePtr& profile, int registerFlags) override;
    HRESULT EnableProfileEx(const RtcProfilePtr& profile, int registerFlags, int roamingFlags) override;
    HRESULT DisableProfile(const RtcProfilePtr& profile) override;

    // --- IRTCClientPresence2 ---
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

    // --- state a test may read or preset ---
    int m_version = 0x10002;
    bool m_presenceAvailable = true;
    bool m_provisioningAvailable = true;
    int m_eventFilter = 0;
    QString m_localUserUri;
    std::map<RTC_AUDIO_DEVICE, int> m_volume{{RTCAD_SPEAKER, 0x8000}, {RTCAD_MICROPHONE, 0x8000}};
    std::map<RTC_AUDIO_DEVICE, bool> m_muted{{RTCAD_SPEAKER, false}, {RTCAD_MICROPHONE, false}};
    int m_networkQuality = 0;
    int m_mediaCapabilities = RTCMT_AUDIO_SEND | RTCMT_AUDIO_RECEIVE;
    bool m_presenceEnabled = false;
    RTC_PRESENCE_STATUS m_localStatus = RTCXS_PRESENCE_OFFLINE;
    std::map<RTC_PRESENCE_PROPERTY, QString> m_presenceProperties;
    std::vector<std::shared_ptr<FakeSession>> m_sessions;
    std::vector<std::shared_ptr<FakeBuddy>> m_buddies;
    std::vector<std::shared_ptr<FakeGroup>> m_groups;
    std::vector<std::shared_ptr<FakeWatcher>> m_watchers;

private:
    FakeRtcLogPtr m_log;
    mutable std::mutex m_sinkMutex;
    RtcEventSinkPtr m_sink;
    int m_sinkCookie = 0;
    int m_nextCookie = 1;
};

// Small builders for the events tests inject most often.
namespace FakeEvents {
std::shared_ptr<IRTCRegistrationStateChangeEvent> registration(const RtcProfilePtr& profile,
                                                               RTC_REGISTRATION_STATE state, HRESULT code = S_OK);
std::shared_ptr<IRTCProfileEvent2> profile(const RtcProfilePtr& profile, HRESULT code = S_OK);
std::shared_ptr<IRTCSessionStateChangeEvent> sessionState(const RtcSessionPtr& session, RTC_SESSION_STATE state,
                                                          HRESULT code = S_OK);
std::shared_ptr<IRTCParticipantStateChangeEvent> participantState(const RtcParticipantPtr& participant,
                                                                  RTC_PARTICIPANT_STATE state, HRESULT code = S_OK);
std::shared_ptr<IRTCClientEvent> client(RTC_CLIENT_EVENT_TYPE type);
std::shared_ptr<IRTCIntensityEvent> intensity(RTC_AUDIO_DEVICE direction, int level, int minimum, int maximum);
std::shared_ptr<IRTCMediaEvent> media(int mediaType, RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON reason);
std::shared_ptr<IRTCMessagingEvent> message(const RtcSessionPtr& session, const RtcParticipantPtr& participant,
                                            const QString& header, const QString& body);
std::shared_ptr<IRTCMessagingEvent> userStatus(const RtcSessionPtr& session, const RtcParticipantPtr& participant,
                                               RTC_MESSAGING_USER_STATUS status);
std::shared_ptr<IRTCBuddyEvent2> buddy(const RtcBuddyPtr& buddy, RTC_BUDDY_EVENT_TYPE type, HRESULT code = S_OK);
std::shared_ptr<IRTCWatcherEvent2> watcher(const RtcWatcherPtr& watcher, RTC_WATCHER_EVENT_TYPE type,
                                           HRESULT code = S_OK);
} // namespace FakeEvents
