// A user's identity at a SIP service (user URI, outbound proxy, transport,
// credentials) and its registration. Registration states are reported once per
// change, with the library's values: the first REGISTER goes out without
// credentials, so that a 401 reaches the program as a rejection it can answer.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <QTimer>

#include <linphone++/enums.hh>

#include <memory>

namespace linphone {
class Account;
class AuthInfo;
} // namespace linphone

class CLinphoneClient;

class CLinphoneProfile final : public IRTCProfile2, public std::enable_shared_from_this<CLinphoneProfile> {
public:
    CLinphoneProfile(std::weak_ptr<CLinphoneClient> client, QString userUri, QString server, int transport);
    ~CLinphoneProfile() override;

    // IRTCProfile2
    HRESULT get_UserURI(QString& uri) override;
    HRESULT get_UserName(QString& name) override;
    HRESULT get_State(RTC_REGISTRATION_STATE& state) override;
    HRESULT get_AllowedAuth(int& auth) override;
    HRESULT put_AllowedAuth(int auth) override;
    HRESULT SetCredentials(const QString& userUri, const QString& account, const QString& password) override;

    const QString& userUri() const { return m_userUri; }
    const QString& server() const { return m_server; }
    int transport() const { return m_transport; }
    QString domain() const;
    QString userPart() const;
    bool hasCredentials() const { return !m_password.isEmpty(); }
    const QString& authName() const { return m_account; }
    const QString& password() const { return m_password; }
    bool enabled() const { return m_enabled; }
    const std::shared_ptr<linphone::Account>& account() const { return m_linphoneAccount; }

    // Registers (or refreshes the registration) through the server as outbound proxy.
    HRESULT Enable(int registerFlags);
    // Unregisters: states 4 then 0 follow.
    HRESULT Disable();
    bool Owns(linphone::Account* account) const;
    void OnRegistrationState(linphone::RegistrationState state);
    void OnNetworkReachable(bool reachable);
    // Drops the library objects before the core stops.
    void Detach();

private:
    void Report(RTC_REGISTRATION_STATE state, HRESULT status, const QString& text = {});
    void OnFailure();
    // Once credentials have been refused, the library must not answer challenges with them again.
    void DropRefusedCredentials();
    void ScheduleRecovery();
    // A registrar that restarted has forgotten us, one that went away cannot say so:
    // the registration is renewed often, and one left unanswered means no connection.
    void Probe();
    void Finish();
    void RemoveRetiredAccount();
    HRESULT ApplyCredentials();

    std::weak_ptr<CLinphoneClient> m_client;
    QString m_userUri;
    QString m_displayName;
    QString m_server;
    int m_transport;
    int m_allowedAuth = RTCAU_DIGEST;
    QString m_account;
    QString m_password;
    std::shared_ptr<linphone::Account> m_linphoneAccount;
    std::shared_ptr<linphone::Account> m_retiredAccount; // unregistered, removed from the core soon
    std::shared_ptr<linphone::AuthInfo> m_authInfo;
    bool m_enabled = false;
    bool m_disabling = false;
    // Set once registered: later transport failures are retried quietly.
    bool m_wasRegistered = false;
    int m_recoveryAttempts = 0;
    QTimer m_probe;
    bool m_probeAnswered = true;
    RTC_REGISTRATION_STATE m_state = RTCRS_NOT_REGISTERED;
    HRESULT m_status = S_OK;
};
