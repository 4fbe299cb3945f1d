// A session window that remembers what the engine told it.
#pragma once

#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "engine/SessionWnd.h"

#include <QStringList>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

class RecordingSessionWnd : public CSessionWnd {
public:
    // An audio call window registers itself as the active call.
    explicit RecordingSessionWnd(bool isCall = false) : m_isCall(isCall)
    {
        if (m_isCall)
            g_activeCallWindow = this;
    }
    // Like every session window, it leaves the engine's list when it goes.
    ~RecordingSessionWnd() override
    {
        if (m_engine)
            m_engine->RemoveSessionWindow(this);
        if (m_isCall && g_activeCallWindow == this)
            g_activeCallWindow = nullptr;
    }

    HRESULT OnSessionStateChange(RTC_SESSION_STATE state) override
    {
        note(QStringLiteral("state:%1").arg(state));
        return CSessionWnd::OnSessionStateChange(state);
    }
    HRESULT OnParticipantStateChange(const RtcParticipantPtr&, RTC_PARTICIPANT_STATE state) override
    {
        return note(QStringLiteral("participant:%1").arg(state));
    }
    HRESULT OnMessage(const RtcParticipantPtr&, const QString& header, const QString& text) override
    {
        return note(QStringLiteral("message:%1|%2").arg(header, text));
    }
    HRESULT OnUserStatus(const RtcParticipantPtr&, RTC_MESSAGING_USER_STATUS status) override
    {
        return note(QStringLiteral("userStatus:%1").arg(status));
    }
    HRESULT OnMedia(int mediaType, RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON reason) override
    {
        return note(QStringLiteral("media:%1,%2,%3").arg(mediaType).arg(type).arg(reason));
    }
    HRESULT OnIntensity(RTC_AUDIO_DEVICE direction, int percent) override
    {
        return note(QStringLiteral("intensity:%1,%2").arg(direction).arg(percent));
    }
    HRESULT OnClientEvent(RTC_CLIENT_EVENT_TYPE type) override { return note(QStringLiteral("client:%1").arg(type)); }
    void PostClose() override { note(QStringLiteral("postClose")); }
    void DestroyWindow() override { note(QStringLiteral("destroy")); }

    QStringList calls;
    QList<QThread*> threads;

private:
    HRESULT note(const QString& call)
    {
        calls << call;
        threads << QThread::currentThread();
        return S_OK;
    }
    bool m_isCall;
};

// Makes recording windows for the sessions the engine places, and tells a test the
// moment one is made (that is, when the call is placed). It never prompts.
class RecordingWindowFactory : public ISessionWindowFactory {
public:
    CSessionWnd* CreateSessionWindow(RTC_SESSION_TYPE type) override
    {
        if (onCreate)
            onCreate();
        windows.push_back(std::make_unique<RecordingSessionWnd>(type == RTCST_PC_TO_PC || type == RTCST_PC_TO_PHONE));
        return windows.back().get();
    }
    HRESULT ShowIncomingCallPrompt(const QString&, const QString&, bool&) override { return E_FAIL; }

    std::function<void()> onCreate;
    std::vector<std::unique_ptr<RecordingSessionWnd>> windows;
};
