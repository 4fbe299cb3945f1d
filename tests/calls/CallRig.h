// A phone logged on over the fake library, with the real call windows, prompt and
// session window factory, and a recording main window.
#pragma once

#include "tests/fakes/ModalDriver.h"

#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "sessions/AVSessionWnd.h"
#include "sessions/IncomingCallPrompt.h"
#include "sessions/SessionWindowFactory.h"
#include "tests/fakes/EngineRig.h"
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

class CallRig : public EngineRig {
public:
    CallRig() : EngineRig(kOwnUri)
    {
        m_factory = std::make_unique<CSessionWindowFactory>(*m_engine);
        m_engine->SetSessionWindowFactory(m_factory.get());
    }

    ~CallRig() override
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

    CSessionWindowFactory& factory() { return *m_factory; }
    const QStringList& messages() const { return m_messages.texts; }
    const QStringList& captions() const { return m_messages.captions; }

    // Logged on, with the logon's traces cleared.
    void logOn()
    {
        EngineRig::logOn();
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
    std::unique_ptr<CSessionWindowFactory> m_factory;
    CModalDriver m_prompts;
};
