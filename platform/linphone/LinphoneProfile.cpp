#include "LinphoneProfile.h"

#include "CoreHost.h"
#include "LinphoneClient.h"
#include "PresenceService.h"
#include "SipStatus.h"

#include <QHostAddress>
#include <QLoggingCategory>

#include <linphone++/linphone.hh>

#include <algorithm>

namespace {

std::string Std(const QString& text)
{
    return text.toStdString();
}

linphone::TransportType TransportOf(int transport)
{
    switch (transport) {
    case RTCTR_TCP: return linphone::TransportType::Tcp;
    case RTCTR_TLS: return linphone::TransportType::Tls;
    default: return linphone::TransportType::Udp;
    }
}

Q_LOGGING_CATEGORY(lcRegistration, "orvalo.linphone.registration")

// Registration attempts after a lost server are spaced out, up to this delay.
constexpr int kRecoveryBaseMs = 1000;
constexpr int kRecoveryMaxMs = 8000;
// A live registration is renewed this often; unanswered this long, it counts as lost.
// Together they stay under the half minute in which a lost service must show.
constexpr int kProbePeriodMs = 15000;
constexpr int kProbeAnswerMs = 5000;

} // namespace

CLinphoneProfile::CLinphoneProfile(std::weak_ptr<CLinphoneClient> client, QString userUri, QString server,
                                   int transport)
    : m_client(std::move(client)), m_userUri(std::move(userUri)), m_server(std::move(server)), m_transport(transport)
{
    m_probe.setInterval(kProbePeriodMs);
    m_probe.callOnTimeout([this] { Probe(); });
    // A user URI may carry a display name ("Name <sip:...>"); the URI itself is kept bare.
    auto address = linphone::Factory::get()->createAddress(Std(m_userUri));
    if (address) {
        m_displayName = QString::fromStdString(address->getDisplayName());
        m_userUri = QString::fromStdString(address->asStringUriOnly());
    }
}

CLinphoneProfile::~CLinphoneProfile() = default;

HRESULT CLinphoneProfile::get_UserURI(QString& uri)
{
    uri = m_userUri;
    return S_OK;
}

HRESULT CLinphoneProfile::get_UserName(QString& name)
{
    if (m_displayName.isEmpty())
        return RTC_E_NO_DISPLAY_NAME;
    name = m_displayName;
    return S_OK;
}

HRESULT CLinphoneProfile::get_State(RTC_REGISTRATION_STATE& state)
{
    state = m_state;
    return S_OK;
}

HRESULT CLinphoneProfile::get_AllowedAuth(int& auth)
{
    auth = m_allowedAuth;
    return S_OK;
}

HRESULT CLinphoneProfile::put_AllowedAuth(int auth)
{
    // The library answers digest challenges only.
    if (!(auth & RTCAU_DIGEST))
        return E_INVALIDARG;
    m_allowedAuth = auth;
    return S_OK;
}

QString CLinphoneProfile::domain() const
{
    auto address = linphone::Factory::get()->createAddress(Std(m_userUri));
    return address ? QString::fromStdString(address->getDomain()) : QString();
}

QString CLinphoneProfile::userPart() const
{
    auto address = linphone::Factory::get()->createAddress(Std(m_userUri));
    return address ? QString::fromStdString(address->getUsername()) : QString();
}

HRESULT CLinphoneProfile::SetCredentials(const QString& userUri, const QString& account, const QString& password)
{
    if (!userUri.isEmpty()) {
        auto address = linphone::Factory::get()->createAddress(Std(userUri));
        if (!address || QString::fromStdString(address->asStringUriOnly()) != m_userUri)
            return E_INVALIDARG;
    }
    m_account = account;
    m_password = password;
    return ApplyCredentials();
}

HRESULT CLinphoneProfile::ApplyCredentials()
{
    auto client = m_client.lock();
    if (!client || !client->running())
        return S_OK; // kept for the next enable
    auto core = client->core();
    if (m_authInfo)
        core->removeAuthInfo(m_authInfo);
    m_authInfo.reset();
    if (m_password.isEmpty())
        return S_OK;
    const std::string user = Std(userPart());
    const std::string authName = m_account.isEmpty() ? user : Std(m_account);
    m_authInfo = linphone::Factory::get()->createAuthInfo(user, authName, Std(m_password), "", "", Std(domain()));
    // Adding credentials also answers any request that waits for them.
    core->addAuthInfo(m_authInfo);
    client->Wake();
    return S_OK;
}

HRESULT CLinphoneProfile::Enable(int registerFlags)
{
    auto client = m_client.lock();
    if (!client || !client->running())
        return RTC_E_INVALID_STATE;
    auto core = client->core();
    auto factory = linphone::Factory::get();
    const bool registering = (registerFlags & RTCRF_REGISTER_ALL) != 0;
    m_disabling = false;
    m_recoveryAttempts = 0;

    auto server = factory->createAddress("sip:" + Std(m_server));
    auto identity = factory->createAddress(Std(m_userUri));
    if (!server || !identity)
        return E_INVALIDARG;
    // Called parties see the user's name, when the user URI carried one.
    if (!m_displayName.isEmpty())
        identity->setDisplayName(Std(m_displayName));
    server->setTransport(TransportOf(m_transport));

    // Contact and SDP carry the address the server can reach us at: for a
    // server on this machine that is loopback, whatever the default route says.
    if (client->options().bindAddress.isEmpty() &&
        QHostAddress(QString::fromStdString(server->getDomain())).isLoopback())
        client->host().SetBindAddress(QStringLiteral("127.0.0.1"));
    client->EnsureTransport(m_transport);
    const int serverPort = server->getPort() > 0 ? server->getPort() : (m_transport == RTCTR_TLS ? 5061 : 5060);
    client->AdmitSipServer(QString::fromStdString(server->getDomain()), serverPort);
    // Requests from the server may come back over the connection to it: it is watched as well.
    const QHostAddress proxy(QString::fromStdString(server->getDomain()));
    if (m_transport != RTCTR_UDP && !proxy.isNull())
        client->host().pump().AddSipPeer(proxy, serverPort);

    ApplyCredentials();
    if (m_linphoneAccount) {
        auto params = m_linphoneAccount->getParams()->clone();
        params->enableRegister(registering);
        m_linphoneAccount->setParams(params);
        if (registering)
            m_linphoneAccount->refreshRegister();
    } else {
        auto params = core->createAccountParams();
        params->setIdentityAddress(identity);
        params->setServerAddress(server);
        params->enableOutboundProxy(true);
        params->enableRegister(registering);
        params->enablePublish(false);
        params->setExpires(client->options().registrationExpires);
        m_linphoneAccount = core->createAccount(params);
        if (!m_linphoneAccount || core->addAccount(m_linphoneAccount) != 0) {
            m_linphoneAccount.reset();
            return E_FAIL;
        }
    }
    core->setDefaultAccount(m_linphoneAccount);
    m_enabled = true;
    client->Wake();
    return S_OK;
}

HRESULT CLinphoneProfile::Disable()
{
    auto client = m_client.lock();
    if (!m_enabled || !m_linphoneAccount)
        return S_FALSE;
    m_enabled = false;
    m_disabling = true;
    if (!client || !client->running()) {
        Finish();
        return S_OK;
    }
    Report(RTCRS_UNREGISTERING, S_OK);
    if (m_linphoneAccount->getState() == linphone::RegistrationState::Ok ||
        m_linphoneAccount->getState() == linphone::RegistrationState::Progress) {
        auto params = m_linphoneAccount->getParams()->clone();
        params->enableRegister(false);
        m_linphoneAccount->setParams(params);
        client->Wake();
    } else {
        Finish();
    }
    return S_OK;
}

void CLinphoneProfile::Finish()
{
    m_disabling = false;
    m_wasRegistered = false;
    m_probe.stop();
    // Removed once the library's callback has returned: the library may be going
    // through its accounts when it reports this one's end.
    m_retiredAccount = std::exchange(m_linphoneAccount, nullptr);
    if (m_retiredAccount)
        QTimer::singleShot(0, &m_probe, [this] { RemoveRetiredAccount(); });
    Report(RTCRS_UNREGISTERING, S_OK);
    Report(RTCRS_NOT_REGISTERED, S_OK);
}

void CLinphoneProfile::RemoveRetiredAccount()
{
    if (auto client = m_client.lock(); client && client->running() && m_retiredAccount)
        client->core()->removeAccount(m_retiredAccount);
    m_retiredAccount.reset();
}

bool CLinphoneProfile::Owns(linphone::Account* account) const
{
    return m_linphoneAccount && account && m_linphoneAccount->cPtr() == account->cPtr();
}

void CLinphoneProfile::OnRegistrationState(linphone::RegistrationState state)
{
    using linphone::RegistrationState;
    switch (state) {
    case RegistrationState::Progress:
        // A refresh of a live registration changes nothing for the user.
        if (!m_disabling && m_state != RTCRS_REGISTERED)
            Report(RTCRS_REGISTERING, S_OK);
        break;
    case RegistrationState::Ok:
        m_probeAnswered = true;
        if (m_disabling)
            break;
        m_wasRegistered = true;
        m_recoveryAttempts = 0;
        if (!m_probe.isActive())
            m_probe.start();
        Report(RTCRS_REGISTERED, S_OK);
        break;
    case RegistrationState::Cleared:
        if (m_disabling)
            Finish();
        break;
    case RegistrationState::Failed:
        m_probeAnswered = true;
        if (m_disabling)
            Finish();
        else
            OnFailure();
        break;
    case RegistrationState::None: break;
    }
}

void CLinphoneProfile::OnFailure()
{
    const HRESULT status = m_linphoneAccount ? StatusFromError(m_linphoneAccount->getErrorInfo()) : E_FAIL;
    const QString text =
        m_linphoneAccount ? QString::fromStdString(m_linphoneAccount->getErrorInfo()->getPhrase()) : QString();
    if (status == RTC_E_STATUS_CLIENT_UNAUTHORIZED || status == RTC_E_STATUS_CLIENT_FORBIDDEN ||
        status == RTC_E_STATUS_CLIENT_PROXY_AUTH_REQUIRED) {
        if (hasCredentials() && !m_wasRegistered)
            DropRefusedCredentials();
        Report(RTCRS_REJECTED, status, text);
    } else if (m_wasRegistered && IsTransportFailure(status)) {
        // The server went away: keep trying until it answers again.
        Report(RTCRS_REGISTERING, S_OK);
        ScheduleRecovery();
    } else if (m_wasRegistered) {
        m_wasRegistered = false;
        Report(RTCRS_LOGGED_OFF, status, text);
    } else {
        Report(RTCRS_ERROR, status, text);
    }
}

void CLinphoneProfile::DropRefusedCredentials()
{
    m_password.clear();
    ApplyCredentials(); // removes them from the library
    // and no automatic retry may go out with what the library still remembers
    if (m_linphoneAccount) {
        auto params = m_linphoneAccount->getParams()->clone();
        params->enableRegister(false);
        m_linphoneAccount->setParams(params);
    }
}

void CLinphoneProfile::Probe()
{
    auto client = m_client.lock();
    if (!m_enabled || m_disabling || !m_linphoneAccount || m_state != RTCRS_REGISTERED || !client || !client->running())
        return;
    m_probeAnswered = false;
    m_linphoneAccount->refreshRegister();
    client->Wake();
    std::weak_ptr<CLinphoneProfile> weak = weak_from_this();
    QTimer::singleShot(kProbeAnswerMs, [weak] {
        auto self = weak.lock();
        if (!self || self->m_probeAnswered || !self->m_enabled || self->m_state != RTCRS_REGISTERED)
            return;
        qCWarning(lcRegistration) << "the registrar did not answer a refresh: not connected";
        // The refresh goes on being retransmitted; its answer, or its failure, tells the rest.
        self->Report(RTCRS_REGISTERING, RTC_E_TIMEOUT);
    });
}

void CLinphoneProfile::ScheduleRecovery()
{
    const int delay = std::min(kRecoveryMaxMs, kRecoveryBaseMs << std::min(m_recoveryAttempts, 5));
    ++m_recoveryAttempts;
    std::weak_ptr<CLinphoneProfile> weak = weak_from_this();
    QTimer::singleShot(delay, [weak] {
        auto self = weak.lock();
        if (!self || !self->m_enabled || !self->m_linphoneAccount || self->m_state == RTCRS_REGISTERED)
            return;
        auto client = self->m_client.lock();
        if (!client || !client->running())
            return;
        self->m_linphoneAccount->refreshRegister();
        client->Wake();
    });
}

void CLinphoneProfile::OnNetworkReachable(bool reachable)
{
    if (!reachable && m_enabled && m_state != RTCRS_NOT_REGISTERED) {
        // Without a network the registration is gone; the library registers again when it returns.
        Report(RTCRS_REGISTERING, RTC_E_NETWORK);
    }
}

void CLinphoneProfile::Detach()
{
    m_probe.stop();
    RemoveRetiredAccount();
    m_enabled = false;
    m_disabling = false;
    m_linphoneAccount.reset();
    m_authInfo.reset();
}

void CLinphoneProfile::Report(RTC_REGISTRATION_STATE state, HRESULT status, const QString& text)
{
    if (state == m_state && status == m_status)
        return;
    m_state = state;
    m_status = status;
    auto client = m_client.lock();
    if (!client)
        return;
    if (CPresenceService* presence = client->presenceService())
        presence->OnProfileState(shared_from_this());
    auto event = std::make_shared<IRTCRegistrationStateChangeEvent>();
    event->m_profile = shared_from_this();
    event->m_state = state;
    event->m_statusCode = status;
    event->m_statusText = text;
    client->events().Post(RTCE_REGISTRATION_STATE_CHANGE, event);
}
