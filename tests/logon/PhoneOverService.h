// The real engine over the real SIP layer, logged on to the local service, with a
// recording main window and the program's boxes answered: the phone as the logon
// state machine drives it, without the windows around it.
#pragma once

#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/RecordingViews.h"
#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include "engine/AddressRules.h"
#include "engine/ClientEngine.h"
#include "engine/ServiceConfig.h"
#include "engine/SettingsStore.h"
#include "platform/linphone/LinphoneClientFactory.h"
#include "platform/linphone/PresenceStore.h"

#include <QDir>
#include <QPointer>
#include <QSettings>
#include <QtTest>

class CPhoneOverService {
public:
    static constexpr int kSignallingMs = 15000;

    CPhoneOverService(const CTestHome& home, const CSipService& service, const CEndpoint::Account& account,
                      const QString& password)
        : m_service(service), m_account(account), m_password(password)
    {
        QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear();
        CSettingsStore::WriteSetting(QLatin1String(kSettingUserUri), account.number);
        CSettingsStore::WriteSetting(QLatin1String(kSettingAccount), account.number);
        CSettingsStore::WriteSetting(QLatin1String(kSettingPassword), password);
        ServiceConfig config = ServiceConfig::current();
        config.sipServer = service.server();
        config.sipDomain = QString::fromLatin1(CSipService::kDomain);
        ServiceConfig::setCurrent(config);

        LinphoneClientOptions options;
        options.dataDir = home.NewFolder(QStringLiteral("phone"));
        options.filesOnly = true;
        if (const QString traces = qEnvironmentVariable("ORVALO_TEST_TRACE_DIR"); !traces.isEmpty())
            options.sipTraceFile = QDir(traces).filePath(QStringLiteral("logon-phone.log"));
        m_engine = CClientEngine::Create(
            [options](RtcClientPtr& client) { return CreateLinphoneRtcClient(options, client); }, m_display);
    }

    ~CPhoneOverService()
    {
        if (!m_engine)
            return;
        m_engine->LogOff();
        m_engine->OnClose(); // ends itself once the library has said goodbye
        WaitFor(
            [this] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return !m_engine;
            },
            kSignallingMs);
        delete m_engine.data();
    }
    CPhoneOverService(const CPhoneOverService&) = delete;
    CPhoneOverService& operator=(const CPhoneOverService&) = delete;

    bool created() const { return m_engine != nullptr; }
    CClientEngine& engine() { return *m_engine; }
    RecordingDisplay& display() { return m_display; }
    const QStringList& messages() const { return m_messages.texts; }
    QString userUri() const { return CSipService::Uri(m_account.number); }

    // Lets the user allow a watcher before logging on, as a decision kept from an earlier run.
    bool Allow(const QString& watcherUri) const
    {
        PresenceStoreData data;
        data.watchers.push_back({watcherUri, QString(), QString(), RTCWS_ALLOWED, RTCAS_SCOPE_USER});
        const QString path = CClientEngine::PresenceStoragePath(userUri());
        return QDir().mkpath(QFileInfo(path).absolutePath()) && CPresenceStore(path).Save(data);
    }

    // Starts a logon as the Log On command does.
    bool StartLogon()
    {
        m_engine->SetLogonPassword(m_password);
        return m_engine->StartLogon(ToServiceSipUri(m_account.number), m_service.server(), QStringLiteral("UDP")) ==
               S_OK;
    }

    bool Registered() const
    {
        RTC_REGISTRATION_STATE state = RTCRS_NOT_REGISTERED;
        return m_engine->Profile() && SUCCEEDED(m_engine->Profile()->get_State(state)) && state == RTCRS_REGISTERED &&
               !m_display.statusLine.startsWith(u'(');
    }

    // Runs the event loop until the condition holds; false if it did not within the time.
    static bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            CEventQueue::Pump(20);
        }
        return true;
    }

    bool LogOn()
    {
        return StartLogon() && WaitFor([this] { return Registered(); }, kSignallingMs);
    }

private:
    const CSipService& m_service;
    CEndpoint::Account m_account;
    QString m_password;
    MessageCapture m_messages;
    RecordingDisplay m_display;
    QPointer<CClientEngine> m_engine;
};
