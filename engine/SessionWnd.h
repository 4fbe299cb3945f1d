// The common base of the windows that own one library session: the audio call
// window and the message window. The engine routes the session's events to the
// window that holds it, through these operations (in their fixed order).
#pragma once

#include "platform/rtc/RtcInterfaces.h"

class CClientEngine;

class CSessionWnd {
public:
    CSessionWnd() = default;
    virtual ~CSessionWnd() = default;
    CSessionWnd(const CSessionWnd&) = delete;
    CSessionWnd& operator=(const CSessionWnd&) = delete;

    virtual HRESULT OnCreate() { return S_OK; }
    // Terminates the held session (normal reason), drops it and leaves the engine's list.
    virtual HRESULT OnDestroy();
    // Destroys the window.
    virtual HRESULT OnClose();
    virtual HRESULT OnSize() { return S_OK; }
    virtual HRESULT OnSessionStateChange(RTC_SESSION_STATE state);
    virtual HRESULT OnParticipantStateChange(const RtcParticipantPtr&, RTC_PARTICIPANT_STATE) { return S_OK; }
    virtual HRESULT OnMessage(const RtcParticipantPtr&, const QString& /*header*/, const QString& /*text*/)
    {
        return S_OK;
    }
    virtual HRESULT OnUserStatus(const RtcParticipantPtr&, RTC_MESSAGING_USER_STATUS) { return S_OK; }
    virtual HRESULT OnMedia(int /*mediaType*/, RTC_MEDIA_EVENT_TYPE, RTC_MEDIA_EVENT_REASON) { return S_OK; }
    virtual HRESULT OnIntensity(RTC_AUDIO_DEVICE, int /*percent*/) { return S_OK; }
    virtual HRESULT OnClientEvent(RTC_CLIENT_EVENT_TYPE) { return S_OK; }

    // Asks the window to close later, from the event loop.
    virtual void PostClose() = 0;
    // Destroys the window once control returns to the event loop.
    virtual void DestroyWindow() = 0;

    void SetSession(RtcSessionPtr session) { m_session = std::move(session); }
    const RtcSessionPtr& Session() const { return m_session; }
    void SetEngine(CClientEngine* engine) { m_engine = engine; }
    CClientEngine* Engine() const { return m_engine; }
    RTC_SESSION_STATE State() const { return m_state; }

protected:
    RtcSessionPtr m_session;
    CClientEngine* m_engine = nullptr;
    RTC_SESSION_STATE m_state = RTCSS_IDLE;
};
