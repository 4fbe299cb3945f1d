// The operations through which the program reaches SIP signalling, media,
// messaging and presence. Every operation returns a status (negative is
// failure) and hands results back through reference parameters, which it
// leaves untouched on failure.
//
// Objects are shared: a holder keeps its own std::shared_ptr and drops it by
// scope. The layer returns the same object for the same buddy, group, watcher,
// participant or session, so callers may compare pointers to find rows.
//
// All operations are called on the user-interface thread. Events are handed to
// the registered IRTCEventNotification, possibly from another thread.
#pragma once

#include "RtcEnum.h"
#include "RtcTypes.h"

#include <QString>

#include <memory>

class QObject;

class IRTCClient;
class IRTCClientPresence2;
class IRTCClientProvisioning2;
class IRTCProfile2;
class IRTCSession;
class IRTCParticipant;
class IRTCBuddy2;
class IRTCBuddyGroup;
class IRTCWatcher2;
class IRTCPresenceDevice;
class IRTCEvent;
class IRTCEventNotification;

using RtcClientPtr = std::shared_ptr<IRTCClient>;
using RtcProfilePtr = std::shared_ptr<IRTCProfile2>;
using RtcSessionPtr = std::shared_ptr<IRTCSession>;
using RtcParticipantPtr = std::shared_ptr<IRTCParticipant>;
using RtcBuddyPtr = std::shared_ptr<IRTCBuddy2>;
using RtcGroupPtr = std::shared_ptr<IRTCBuddyGroup>;
using RtcWatcherPtr = std::shared_ptr<IRTCWatcher2>;
using RtcPresenceDevicePtr = std::shared_ptr<IRTCPresenceDevice>;
using RtcEventPtr = std::shared_ptr<IRTCEvent>;
using RtcEventSinkPtr = std::shared_ptr<IRTCEventNotification>;

using IRTCEnumParticipants = RtcEnum<IRTCParticipant>;
using IRTCEnumBuddies = RtcEnum<IRTCBuddy2>;
using IRTCEnumGroups = RtcEnum<IRTCBuddyGroup>;
using IRTCEnumWatchers = RtcEnum<IRTCWatcher2>;
using IRTCEnumPresenceDevices = RtcEnum<IRTCPresenceDevice>;

// Receiver of the layer's events. Event() may run on any thread; it must only
// queue the event for the user-interface thread.
class IRTCEventNotification {
public:
    virtual ~IRTCEventNotification() = default;
    virtual HRESULT Event(RTC_EVENT type, const RtcEventPtr& event) = 0;
};

class IRTCClient {
public:
    virtual ~IRTCClient() = default;

    // Start-up and shut-down.
    virtual HRESULT get_Version(int& version) = 0;
    virtual HRESULT Initialize() = 0;
    virtual HRESULT PrepareForShutdown() = 0; // asynchronous; a client event RTCCET_ASYNC_CLEANUP_DONE follows
    virtual HRESULT Shutdown() = 0;
    virtual HRESULT put_EventFilter(int filter) = 0;
    virtual HRESULT get_EventFilter(int& filter) = 0;
    virtual HRESULT put_AllowedPorts(int transport, RTC_LISTEN_MODE mode) = 0;
    virtual HRESULT put_AnswerMode(RTC_SESSION_TYPE type, RTC_ANSWER_MODE mode) = 0;
    virtual HRESULT put_ClientName(const QString& name) = 0;
    virtual HRESULT put_ClientCurVer(const QString& version) = 0;

    // The event connection point: one cookie per registered sink.
    virtual HRESULT Advise(const RtcEventSinkPtr& sink, int& cookie) = 0;
    virtual HRESULT Unadvise(int cookie) = 0;

    // Sessions.
    virtual HRESULT CreateSession(RTC_SESSION_TYPE type, const QString& localPhoneUri, const RtcProfilePtr& profile,
                                  int flags, RtcSessionPtr& session) = 0;
    virtual HRESULT get_LocalUserURI(QString& uri) = 0;

    // Media and devices.
    virtual HRESULT SendDTMF(RTC_DTMF dtmf) = 0;
    virtual HRESULT get_Volume(RTC_AUDIO_DEVICE device, int& level) = 0; // 0..0xFFFF
    virtual HRESULT put_Volume(RTC_AUDIO_DEVICE device, int level) = 0;
    virtual HRESULT get_AudioMuted(RTC_AUDIO_DEVICE device, bool& muted) = 0;
    virtual HRESULT put_AudioMuted(RTC_AUDIO_DEVICE device, bool muted) = 0;
    virtual HRESULT get_NetworkQuality(int& quality) = 0;         // 0..100, 0 when unknown
    virtual HRESULT get_MediaCapabilities(int& capabilities) = 0; // RTC_MEDIA_TYPE bits
    virtual HRESULT PlayRing(RTC_RING_TYPE type, bool play) = 0;
    virtual HRESULT InvokeTuningWizard(QObject* owner) = 0;

    // The other facets of the same object; null when the facet is not available.
    virtual IRTCClientPresence2* presence() = 0;
    virtual IRTCClientProvisioning2* provisioning() = 0;
};

class IRTCClientProvisioning2 {
public:
    virtual ~IRTCClientProvisioning2() = default;
    // Answered later by an RTCE_PROFILE event (type RTCPFET_PROFILE_GET) carrying the profile.
    virtual HRESULT GetProfile(const QString& account, const QString& password, const QString& userUri,
                               const QString& server, int transport, int cookie) = 0;
    virtual HRESULT EnableProfile(const RtcProfilePtr& profile, int registerFlags) = 0;
    virtual HRESULT EnableProfileEx(const RtcProfilePtr& profile, int registerFlags, int roamingFlags) = 0;
    virtual HRESULT DisableProfile(const RtcProfilePtr& profile) = 0;
};

class IRTCClientPresence2 {
public:
    virtual ~IRTCClientPresence2() = default;

    virtual HRESULT EnablePresenceEx(const RtcProfilePtr& profile, const QString& storagePath, int flags) = 0;
    virtual HRESULT DisablePresence() = 0;
    virtual HRESULT SetLocalPresenceInfo(RTC_PRESENCE_STATUS status, const QString& notes) = 0;
    virtual HRESULT get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value) = 0;
    virtual HRESULT put_PresenceProperty(RTC_PRESENCE_PROPERTY property, const QString& value) = 0;

    virtual HRESULT AddBuddy(const QString& uri, const QString& name, const QString& data, bool persistent,
                             const RtcProfilePtr& profile, int flags, RtcBuddyPtr& buddy) = 0;
    virtual HRESULT AddBuddyEx(const QString& uri, const QString& name, const QString& data, bool persistent,
                               RTC_BUDDY_SUBSCRIPTION_TYPE subscriptionType, const RtcProfilePtr& profile, int flags,
                               RtcBuddyPtr& buddy) = 0;
    virtual HRESULT RemoveBuddy(const RtcBuddyPtr& buddy) = 0;
    virtual HRESULT get_Buddy(const QString& uri, RtcBuddyPtr& buddy) = 0;
    virtual HRESULT EnumerateBuddies(std::shared_ptr<IRTCEnumBuddies>& buddies) = 0;

    virtual HRESULT AddGroup(const QString& name, const QString& data, const RtcProfilePtr& profile, int flags,
                             RtcGroupPtr& group) = 0;
    virtual HRESULT RemoveGroup(const RtcGroupPtr& group) = 0;
    virtual HRESULT get_Group(const QString& name, RtcGroupPtr& group) = 0;
    virtual HRESULT EnumerateGroups(std::shared_ptr<IRTCEnumGroups>& groups) = 0;

    virtual HRESULT AddWatcherEx(const QString& uri, const QString& name, const QString& data, RTC_WATCHER_STATE state,
                                 bool persistent, RTC_ACE_SCOPE scope, const RtcProfilePtr& profile, int flags,
                                 RtcWatcherPtr& watcher) = 0;
    virtual HRESULT RemoveWatcher(const RtcWatcherPtr& watcher) = 0;
    virtual HRESULT get_Watcher(const QString& uri, RtcWatcherPtr& watcher) = 0;
    virtual HRESULT EnumerateWatchers(std::shared_ptr<IRTCEnumWatchers>& watchers) = 0;
};

class IRTCProfile2 {
public:
    virtual ~IRTCProfile2() = default;
    virtual HRESULT get_UserURI(QString& uri) = 0;
    virtual HRESULT get_UserName(QString& name) = 0;
    virtual HRESULT get_State(RTC_REGISTRATION_STATE& state) = 0;
    virtual HRESULT get_AllowedAuth(int& auth) = 0;
    virtual HRESULT put_AllowedAuth(int auth) = 0; // RTC_AUTH bits
    virtual HRESULT SetCredentials(const QString& userUri, const QString& account, const QString& password) = 0;
};

class IRTCSession {
public:
    virtual ~IRTCSession() = default;
    virtual HRESULT get_Client(RtcClientPtr& client) = 0;
    virtual HRESULT get_State(RTC_SESSION_STATE& state) = 0;
    virtual HRESULT get_Type(RTC_SESSION_TYPE& type) = 0;
    virtual HRESULT Answer() = 0;
    virtual HRESULT Terminate(RTC_TERMINATE_REASON reason) = 0;
    virtual HRESULT AddParticipant(const QString& uri, const QString& name, RtcParticipantPtr& participant) = 0;
    virtual HRESULT RemoveParticipant(const RtcParticipantPtr& participant) = 0;
    virtual HRESULT EnumerateParticipants(std::shared_ptr<IRTCEnumParticipants>& participants) = 0;
    virtual HRESULT get_CanAddParticipants(bool& canAdd) = 0;
    // An empty content type means text/plain in UTF-8.
    virtual HRESULT SendMessage(const QString& contentType, const QString& message, int cookie) = 0;
    virtual HRESULT SendMessageStatus(RTC_MESSAGING_USER_STATUS status, int cookie) = 0;
};

class IRTCParticipant {
public:
    virtual ~IRTCParticipant() = default;
    virtual HRESULT get_UserURI(QString& uri) = 0;
    virtual HRESULT get_Name(QString& name) = 0; // RTC_E_NO_DISPLAY_NAME when the party sent none
    virtual HRESULT get_State(RTC_PARTICIPANT_STATE& state) = 0;
    virtual HRESULT get_Removable(bool& removable) = 0;
    virtual HRESULT get_Session(RtcSessionPtr& session) = 0;
};

class IRTCBuddy2 {
public:
    virtual ~IRTCBuddy2() = default;
    virtual HRESULT get_PresentityURI(QString& uri) = 0;
    virtual HRESULT get_Name(QString& name) = 0;
    virtual HRESULT put_Name(const QString& name) = 0;
    virtual HRESULT get_Data(QString& data) = 0;
    virtual HRESULT put_Data(const QString& data) = 0;
    virtual HRESULT get_Persistent(bool& persistent) = 0;
    virtual HRESULT put_Persistent(bool persistent) = 0;
    virtual HRESULT get_Status(RTC_PRESENCE_STATUS& status) = 0;
    virtual HRESULT get_Notes(QString& notes) = 0;
    virtual HRESULT get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value) = 0;
    virtual HRESULT EnumeratePresenceDevices(std::shared_ptr<IRTCEnumPresenceDevices>& devices) = 0;
    virtual HRESULT Refresh() = 0;
};

class IRTCBuddyGroup {
public:
    virtual ~IRTCBuddyGroup() = default;
    virtual HRESULT get_Name(QString& name) = 0;
    virtual HRESULT put_Name(const QString& name) = 0;
    virtual HRESULT get_Data(QString& data) = 0;
    virtual HRESULT put_Data(const QString& data) = 0;
    virtual HRESULT AddBuddy(const RtcBuddyPtr& buddy) = 0;
    virtual HRESULT RemoveBuddy(const RtcBuddyPtr& buddy) = 0;
    virtual HRESULT EnumerateBuddies(std::shared_ptr<IRTCEnumBuddies>& buddies) = 0;
};

class IRTCWatcher2 {
public:
    virtual ~IRTCWatcher2() = default;
    virtual HRESULT get_PresentityURI(QString& uri) = 0;
    virtual HRESULT get_Name(QString& name) = 0;
    virtual HRESULT put_Name(const QString& name) = 0;
    virtual HRESULT get_Data(QString& data) = 0;
    virtual HRESULT put_Data(const QString& data) = 0;
    virtual HRESULT get_Persistent(bool& persistent) = 0;
    virtual HRESULT put_Persistent(bool persistent) = 0;
    virtual HRESULT get_State(RTC_WATCHER_STATE& state) = 0;
    virtual HRESULT put_State(RTC_WATCHER_STATE state) = 0;
    virtual HRESULT get_Scope(RTC_ACE_SCOPE& scope) = 0;
};

class IRTCPresenceDevice {
public:
    virtual ~IRTCPresenceDevice() = default;
    virtual HRESULT get_Status(RTC_PRESENCE_STATUS& status) = 0;
    virtual HRESULT get_Notes(QString& notes) = 0;
    virtual HRESULT get_PresenceProperty(RTC_PRESENCE_PROPERTY property, QString& value) = 0;
};
