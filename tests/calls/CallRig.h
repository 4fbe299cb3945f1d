// A phone logged on over the fake library, with the real call windows, prompt and
// session window factory, and a recording main window.
#pragma once

#include "ModalDriver.h"

#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "engine/RtcEventMessage.h"
#include "sessions/AVSessionWnd.h"
#include "sessions/IncomingCallPrompt.h"
#include "sessions/SessionWindowFactory.h"
#include "tests/fakes/FakeRtcClient.h"
#include "tests/fakes/IsolatedHome.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/RecordingViews.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <QtTest>

#include <functional>
#include <memory>

inline const QString kOwnUri = QStringLiteral("sip:15551230001@sip.orvalo.test");
inline const QString kBobUri = QStringLiteral("sip:15551230002@sip.orvalo.test");
inline const QString kCarolUri = QStringLiteral("sip:9995550001@sip.orvalo.test");

// The recording main window, optionally with a real widget owning the prompts.
class OwnedDisplay : public RecordingDisplay {
public:
    QWidget* OwnerWindow() override { return owner; }
    QPointer<QWidget> owner;
};

class CallRig {
public:
    CallRig() : m_client(FakeRtcClient::create())
    {
        m_profile = m_client->makeProfile(kOwnUri, QStringLiteral("Alice"));
        m_engine.reset(CClientEngine::Create(
            [this](RtcClientPtr& client) {
                client = m_client;
                return S_OK;
            },
            m_display));
        m_factory = std::make_unique<CSessionWindowFactory>(*m_engine);
        m_engine->SetSessionWindowFactory(m_factory.get());
    }

    ~CallRig()
    {
        // Windows go before the engine, as they do when the program logs off.
        if (m_engine) {
            for (CSessionWnd* window : std::vector<CSessionWnd*>(m_engine->SessionWindows()))
                window->DestroyWindow();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_engine.reset();
        delete m_display.owner;
    }

    CallRig(const CallRig&) = delete;
    CallRig& operator=(const CallRig&) = delete;

    FakeRtcClient& client() { return *m_client; }
    FakeRtcLog& log() { return m_client->log(); }
    OwnedDisplay& display() { return m_display; }
    CClientEngine& engine() { return *m_engine; }
    CSessionWindowFactory& factory() { return *m_factory; }
    const QStringList& messages() const { return m_messages.texts; }
    // The engine goes away while its windows still live, as when the main view is destroyed.
    void dropEngine() { m_engine.reset(); }

    // Hands the event to the sink and lets the event loop deliver it.
    void deliver(RTC_EVENT type, const RtcEventPtr& event)
    {
        QVERIFY(m_client->fire(type, event));
        QCoreApplication::sendPostedEvents(m_engine.get(), CRtcEventMessage::kType);
    }

    void logOn()
    {
        QCOMPARE(m_engine->StartLogon(kOwnUri, QStringLiteral("127.0.0.1:15060"), QStringLiteral("UDP")), S_OK);
        deliver(RTCE_PROFILE, FakeEvents::profile(m_profile));
        deliver(RTCE_REGISTRATION_STATE_CHANGE, FakeEvents::registration(m_profile, RTCRS_REGISTERED));
        QVERIFY(m_engine->Profile());
        log().clear();
        m_display.statusMessages.clear();
    }

    void setState(const std::shared_ptr<FakeSession>& session, RTC_SESSION_STATE state)
    {
        session->m_state = state;
        deliver(RTCE_SESSION_STATE_CHANGE, FakeEvents::sessionState(session, state));
    }

    // Places a call and lets the new window settle; the session, or null when none was made.
    std::shared_ptr<FakeSession> placeCall(RTC_SESSION_TYPE type, const QString& uri, const QString& name = QString())
    {
        const size_t before = m_client->m_sessions.size();
        m_engine->MakeCall(type, uri, name);
        QCoreApplication::processEvents();
        return m_client->m_sessions.size() > before ? m_client->m_sessions.back() : nullptr;
    }

    // A call window over a session made directly, for sessions MakeCall never makes.
    std::shared_ptr<FakeSession> callWindowFor(RTC_SESSION_TYPE type = RTCST_PC_TO_PHONE)
    {
        RtcSessionPtr session;
        m_client->CreateSession(type, QString(), nullptr, 0, session);
        if (FAILED(m_engine->CreateSessionWindow(session, type)))
            return nullptr;
        QCoreApplication::processEvents();
        return std::static_pointer_cast<FakeSession>(session);
    }

    // An incoming session in state INCOMING, delivered to the engine. The prompt, if one
    // opens, is handed to the action set with whenPromptOpens.
    std::shared_ptr<FakeSession> ring(RTC_SESSION_TYPE type, const QString& uri, const QString& name,
                                      HRESULT nameStatus = S_OK)
    {
        auto session = m_client->makeIncomingSession(type, uri, name, nameStatus);
        deliver(RTCE_SESSION_STATE_CHANGE, FakeEvents::sessionState(session, RTCSS_INCOMING));
        return session;
    }

    // What to do with the next prompt once it is open.
    void whenPromptOpens(std::function<void(CIncomingCallPrompt&)> action) { m_prompts.WhenOpen(std::move(action)); }
    bool promptWasDriven() const { return m_prompts.Acted(); }

    static void Click(CIncomingCallPrompt& prompt, int buttonId)
    {
        prompt.findChild<QPushButton*>(QString::number(buttonId))->click();
    }

private:
    IsolatedHome m_home;
    MessageCapture m_messages;
    std::shared_ptr<FakeRtcClient> m_client;
    std::shared_ptr<FakeProfile> m_profile;
    OwnedDisplay m_display;
    std::unique_ptr<CClientEngine> m_engine;
    std::unique_ptr<CSessionWindowFactory> m_factory;
    CModalDriver m_prompts;
};
