// A headless phone on the RTC layer: it logs on to a service as one account,
// answers every call, plays a sound file into it and can record what it hears,
// echoes every instant message with "echo: " in front (CMessageEcho), can
// publish a presence status and allows whoever watches it (CPeerPresence), and
// reports on standard output what happens (one line per happening), so that
// tests and the demo have someone to talk to.
#pragma once

#include "MessageEcho.h"
#include "PeerPresence.h"

#include "platform/linphone/LinphoneClientFactory.h"
#include "platform/rtc/RtcEvents.h"

#include <QObject>
#include <QTimer>

#include <optional>
#include <vector>

struct PeerSettings {
    QString server; // outbound proxy, host[:port]
    QString domain = QStringLiteral("sip.orvalo.test");
    QString user;
    QString password;
    QString displayName;
    int transport = RTCTR_UDP;
    std::optional<RTC_PRESENCE_STATUS> presence; // published once registered; none: presence stays off
    LinphoneClientOptions client;
};

class CPeer : public QObject {
    Q_OBJECT
public:
    explicit CPeer(PeerSettings settings, QObject* parent = nullptr);
    ~CPeer() override;

    // Creates the client and starts the logon; false if the client could not start.
    bool Start();
    // Logs off and shuts the client down; finished() follows.
    void Stop();

    void Handle(RTC_EVENT type, const RtcEventPtr& event);

signals:
    void finished(int exitCode);

private:
    void OnProfile(const IRTCProfileEvent2& event);
    void OnRegistration(const IRTCRegistrationStateChangeEvent& event);
    void OnSession(const IRTCSessionStateChangeEvent& event);
    void OnInfo(const IRTCInfoEvent& event);
    void OnClient(const IRTCClientEvent& event);
    void Finish(int exitCode);
    QString UserUri() const;

    PeerSettings m_settings;
    RtcClientPtr m_client;
    RtcProfilePtr m_profile;
    int m_cookie = 0;
    int m_credentialRetries = 0;
    bool m_stopping = false;
    std::vector<RtcSessionPtr> m_sessions;
    QTimer m_stopGuard;
    CMessageEcho m_echo;
    std::optional<CPeerPresence> m_presence;
};
