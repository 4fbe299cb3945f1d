// The RTC client over one liblinphone core. It owns the core (through CCoreHost),
// the connection point, the profiles and the live sessions, and routes every
// library callback to the object it concerns. Everything runs on the thread that
// created it; the core is iterated from that thread's event loop.
#pragma once

#include "EventHub.h"
#include "LinphoneClientFactory.h"

#include "platform/rtc/RtcEvents.h"

#include <QTimer>

#include <map>
#include <memory>
#include <vector>

namespace linphone {
class Core;
class Call;
class Account;
class ChatRoom;
class ChatMessage;
} // namespace linphone

class CCoreHost;
class CAudioControl;
class CLinphoneProfile;
class CCallSession;
class CMessageSession;
class CPresenceService;

class CLinphoneClient final : public IRTCClient,
                              public IRTCClientProvisioning2,
                              public std::enable_shared_from_this<CLinphoneClient> {
public:
    static constexpr int kVersion = 0x10002;

    explicit CLinphoneClient(LinphoneClientOptions options);
    ~CLinphoneClient() override;
    CLinphoneClient(const CLinphoneClient&) = delete;
    CLinphoneClient& operator=(const CLinphoneClient&) = delete;

    // IRTCClient
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
    IRTCClientPresence2* presence() override;
    IRTCClientProvisioning2* provisioning() override { return this; }

    // IRTCClientProvisioning2
    HRESULT GetProfile(const QString& account, const QString& password, const QString& userUri, const QString& server,
                       int transport, int cookie) override;
    HRESULT EnableProfile(const RtcProfilePtr& profile, int registerFlags) override;
    HRESULT EnableProfileEx(const RtcProfilePtr& profile, int registerFlags, int roamingFlags) override;
    HRESULT DisableProfile(const RtcProfilePtr& profile) override;

    // For the layer's own objects.
    bool running() const { return (m_stage == Stage::Running || m_stage == Stage::Stopping) && !m_detached; }
    const std::shared_ptr<linphone::Core>& core() const;
    const LinphoneClientOptions& options() const { return m_options; }
    CCoreHost& host() { return *m_host; }
    CEventHub& events() { return m_events; }
    CAudioControl& audio() { return *m_audio; }
    // The core has work to do at once (a request went out, a timer was armed).
    void Wake();
    // Recomputes whether media flows, which sets the pace of the core.
    void UpdateMediaActivity();
    RTC_ANSWER_MODE AnswerMode(RTC_SESSION_TYPE type) const;
    // The profile whose account places calls and messages: the last one enabled.
    std::shared_ptr<CLinphoneProfile> ActiveProfile() const;
    // Calls created while this session places its INVITE belong to it.
    void SetPlacingSession(CCallSession* session) { m_placing = session; }
    void AddCall(const std::shared_ptr<CCallSession>& session);
    void RemoveCall(const CCallSession* session);
    std::shared_ptr<CCallSession> ActiveCall() const;
    void AddChat(const std::shared_ptr<CMessageSession>& session);
    void RemoveChat(const CMessageSession* session);
    void PostClientEvent(RTC_CLIENT_EVENT_TYPE type);
    CPresenceService* presenceService() { return m_presence.get(); }
    std::shared_ptr<CLinphoneProfile> OwnProfile(const RtcProfilePtr& profile) const { return FindProfile(profile); }
    // A profile talks to its server over this transport: the core must offer it.
    void EnsureTransport(int transport);
    // SIP may come from this server (host name or address).
    void AdmitSipServer(const QString& host, int port);

private:
    class CListener;
    enum class Stage { Created, Running, Stopping, Stopped, Released };

    std::shared_ptr<CLinphoneProfile> FindProfile(const RtcProfilePtr& profile) const;
    std::shared_ptr<CLinphoneProfile> FindProfile(linphone::Account* account) const;
    std::shared_ptr<CCallSession> FindCall(linphone::Call* call) const;
    void OnCallState(const std::shared_ptr<linphone::Call>& call, int state, const std::string& message);
    void OnIncomingCall(const std::shared_ptr<linphone::Call>& call);
    void OnMessageReceived(const std::shared_ptr<linphone::ChatRoom>& room,
                           const std::shared_ptr<linphone::ChatMessage>& message);
    void OnComposing(const std::shared_ptr<linphone::ChatRoom>& room);
    std::shared_ptr<CMessageSession> FindChat(const QString& uri) const;
    void OnRegistration(const std::shared_ptr<linphone::Account>& account, int state);
    void OnAuthenticationRequested(const std::string& domain);
    void OnAuthenticationTimeout(const QString& domain);
    void OnNetworkReachable(bool reachable);
    bool OnSipArrival(const QByteArray& datagram);
    void OnGlobalState(int state);
    void ContinueShutdown(bool force);
    void FinishShutdown();
    void DetachAll();
    void ApplyListening();

    LinphoneClientOptions m_options;
    CEventHub m_events;
    std::unique_ptr<CCoreHost> m_host;
    std::shared_ptr<CListener> m_listener;
    std::unique_ptr<CAudioControl> m_audio;
    std::unique_ptr<CPresenceService> m_presence;
    Stage m_stage = Stage::Created;
    QString m_clientName = QStringLiteral("Orvalo Phone");
    QString m_clientVersion;
    std::map<RTC_SESSION_TYPE, RTC_ANSWER_MODE> m_answerModes;
    std::map<int, RTC_LISTEN_MODE> m_listening; // transport bit → mode
    std::vector<std::shared_ptr<CLinphoneProfile>> m_profiles;
    std::vector<std::shared_ptr<CCallSession>> m_calls;
    std::vector<std::shared_ptr<CMessageSession>> m_chats;
    CCallSession* m_placing = nullptr;
    int m_neededTransports = 0; // transport bits
    bool m_detached = false;
    QTimer m_shutdownGuard;
};
