// One phone for a test: an RTC client over its own liblinphone core, with its
// own data folder and event queue, logged on to the local service.
#pragma once

#include "EventQueue.h"
#include "SipService.h"

#include "platform/linphone/LinphoneClientFactory.h"

#include <memory>

class CEndpoint {
public:
    struct Account {
        QString number;
        QString password;
    };
    static const Account kAlice, kBob, kCarol, kDave, kErin, kFrank;
    static constexpr int kAllEvents = 0x7FFFFFFF;

    // The data folder is created; audio comes from playFile and goes to recordFile.
    // TLS servers are verified against trustedCaFile (the system's authorities when empty).
    CEndpoint(const QString& dataDir, const QString& playFile = {}, const QString& recordFile = {},
              const QString& trustedCaFile = {});
    ~CEndpoint();

    IRTCClient& client() { return *m_client; }
    const RtcClientPtr& clientPtr() const { return m_client; }
    CEventQueue& events() { return *m_events; }
    const RtcProfilePtr& profile() const { return m_profile; }
    const QString& dataDir() const { return m_options.dataDir; }

    // Asks for a profile and waits for it; null if none came.
    // A display name makes the user URI "Name <sip:...>".
    RtcProfilePtr RequestProfile(const CSipService& service, const Account& account, int transport = RTCTR_UDP,
                                 const QString& displayName = {});
    // The whole logon with its 401 round; true once registered.
    bool Logon(const CSipService& service, const Account& account, int transport = RTCTR_UDP,
               const QString& displayName = {});
    // The next registration state event, or null.
    std::shared_ptr<IRTCRegistrationStateChangeEvent> NextRegistration(int timeoutMs = CEventQueue::kDefaultWaitMs);
    // Waits for a registration state, dropping the states before it; true if it came.
    bool WaitRegistration(RTC_REGISTRATION_STATE state, int timeoutMs = CEventQueue::kDefaultWaitMs);

    // Places a call; null if the layer refused it.
    RtcSessionPtr Call(const QString& uri, const QString& name = {}, RTC_SESSION_TYPE type = RTCST_PC_TO_PHONE);
    // Waits for a session (any, or the given one) to reach the state; returns its event.
    std::shared_ptr<IRTCSessionStateChangeEvent> WaitSession(RTC_SESSION_STATE state, const RtcSessionPtr& session = {},
                                                             int timeoutMs = CEventQueue::kDefaultWaitMs);
    // Waits for an incoming call and returns its session.
    RtcSessionPtr WaitIncoming(int timeoutMs = CEventQueue::kDefaultWaitMs);

    IRTCClientPresence2& presence() { return *m_client->presence(); }
    // Enables presence with the store file; true on success.
    bool EnablePresence(const QString& storePath);
    // Waits for a buddy event of the type (for the URI, if given).
    std::shared_ptr<IRTCBuddyEvent2> WaitBuddy(RTC_BUDDY_EVENT_TYPE type, const QString& uri = {},
                                               int timeoutMs = CEventQueue::kDefaultWaitMs);
    // Waits until the buddy with the URI shows the status; true if it did.
    bool WaitBuddyStatus(const QString& uri, RTC_PRESENCE_STATUS status, int timeoutMs = CEventQueue::kDefaultWaitMs);
    // Waits for a watcher event of the type for the URI.
    std::shared_ptr<IRTCWatcherEvent2> WaitWatcher(RTC_WATCHER_EVENT_TYPE type, const QString& uri,
                                                   int timeoutMs = CEventQueue::kDefaultWaitMs);

    // The asynchronous shut-down, waiting for its cleanup event; true if it came.
    bool ShutDown(int timeoutMs = CEventQueue::kDefaultWaitMs);

private:
    LinphoneClientOptions m_options;
    RtcClientPtr m_client;
    std::shared_ptr<CEventQueue> m_events;
    RtcProfilePtr m_profile;
    int m_cookie = 0;
};
