// A real engine over the fake library with a recording main window: the common
// ground of the logic tests. It delivers events the way the event loop would and
// can walk the engine through a logon.
#pragma once

#include "engine/ClientEngine.h"
#include "engine/RtcEventMessage.h"
#include "tests/fakes/FakeRtcClient.h"
#include "tests/fakes/RecordingViews.h"

#include <QCoreApplication>
#include <QtTest>

#include <memory>

inline const QString kRigUserUri = QStringLiteral("sip:15551230001@sip.orvalo.test");

class EngineRig {
public:
    explicit EngineRig(const QString& userUri = kRigUserUri, const QString& userName = QStringLiteral("Alice"))
        : m_client(FakeRtcClient::create()), m_profile(m_client->makeProfile(userUri, userName))
    {
        m_engine.reset(CClientEngine::Create(
            [client = m_client](RtcClientPtr& created) {
                created = client;
                return S_OK;
            },
            m_display));
        m_client->log().clear();
    }
    virtual ~EngineRig() = default;
    EngineRig(const EngineRig&) = delete;
    EngineRig& operator=(const EngineRig&) = delete;

    FakeRtcClient& client() { return *m_client; }
    const std::shared_ptr<FakeRtcClient>& sharedClient() const { return m_client; }
    FakeRtcLog& log() { return m_client->log(); }
    RecordingDisplay& display() { return m_display; }
    CClientEngine& engine() { return *m_engine; }
    bool hasEngine() const { return m_engine != nullptr; }
    const std::shared_ptr<FakeProfile>& profile() const { return m_profile; }
    // The engine goes away while everything else stays, as when the main view is destroyed.
    void dropEngine() { m_engine.reset(); }

    // Hands the event to the sink and lets the event loop deliver it.
    void deliver(RTC_EVENT type, const RtcEventPtr& event)
    {
        QVERIFY(m_client->fire(type, event));
        QCoreApplication::sendPostedEvents(m_engine.get(), CRtcEventMessage::kType);
    }

    void registration(RTC_REGISTRATION_STATE state, HRESULT code = S_OK)
    {
        deliver(RTCE_REGISTRATION_STATE_CHANGE, FakeEvents::registration(m_profile, state, code));
    }

    // Starts a logon and hands the engine its profile.
    void startLogon(const QString& transport = QStringLiteral("UDP"))
    {
        QString uri;
        m_profile->get_UserURI(uri);
        QCOMPARE(m_engine->StartLogon(uri, QStringLiteral("127.0.0.1:15060"), transport), S_OK);
        deliver(RTCE_PROFILE, FakeEvents::profile(m_profile));
    }

    // A whole logon up to the registered state.
    void logOn()
    {
        startLogon();
        registration(RTCRS_REGISTERING);
        registration(RTCRS_REGISTERED);
        QVERIFY(m_engine->Profile());
    }

protected:
    std::shared_ptr<FakeRtcClient> m_client;
    std::shared_ptr<FakeProfile> m_profile;
    RecordingDisplay m_display;
    std::unique_ptr<CClientEngine> m_engine;
};
