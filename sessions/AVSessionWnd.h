// The audio call window: a hidden object that owns one voice session, keeps the
// one-second call timer and shows the call on the main window's "Phone View"
// page through the engine's display. At most one exists at a time; while it
// exists a call is in progress.
#pragma once

#include "engine/SessionWnd.h"

#include <QObject>
#include <QTimer>

class IMainWindowDisplay;

class CAVSessionWnd : public QObject, public CSessionWnd {
    Q_OBJECT

public:
    static constexpr int kCallTimerId = 0x1234;
    static constexpr int kCallTimerPeriodMs = 1000;
    static constexpr int kMaxVolume = 0xFFFF; // the sliders run inverted: position = kMaxVolume - volume

    static inline const QString kLineBreak = QStringLiteral("\r\r\n");
    static inline const QString kQualityFormat = QStringLiteral("Connected: Network Quality = %1");
    static inline const QString kNoMicrophone = QStringLiteral("No microphone: the other party hears silence.");
    // Seconds the notice stands in place of the quality line, once per call.
    static constexpr int kNoMicrophoneSeconds = 3;

    // Registers itself as the active call window.
    explicit CAVSessionWnd(QObject* parent = nullptr);
    ~CAVSessionWnd() override;

    // The call in progress, or null.
    static CAVSessionWnd* Active();

    // Once the engine has handed over the session, the call's audio is set to what
    // the Hold and Mute keys and the volume sliders show.
    HRESULT OnCreate() override;
    HRESULT OnDestroy() override;
    HRESULT OnSessionStateChange(RTC_SESSION_STATE state) override;
    // Volume and device changes refresh the volume sliders.
    HRESULT OnClientEvent(RTC_CLIENT_EVENT_TYPE type) override;
    // A microphone that failed to open is told like a missing one.
    HRESULT OnMedia(int mediaType, RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON reason) override;
    // One tick of the call timer: quality line, quality bar and call time.
    HRESULT OnTimer();

    void PostClose() override;
    // Ends the call at once (the session is terminated and the window leaves the
    // engine); the object itself is deleted from the event loop.
    void DestroyWindow() override;

    HRESULT SetMuted(RTC_AUDIO_DEVICE device, bool muted);
    // The keys as pressed: the microphone is off while Hold or Mute is down, the
    // speaker while Hold is. The Hold key sets both, the Mute key the microphone.
    HRESULT ApplyHold(bool held, bool muted);
    HRESULT ApplyMute(bool held, bool muted);
    HRESULT SetVolume(RTC_AUDIO_DEVICE device, int volume);

    // Whole seconds the call has been connected.
    int Seconds() const { return m_seconds; }
    bool IsCallTimerRunning() const { return m_callTimer.isActive(); }

private:
    // The state's text on the call status line; empty for states that show none.
    static QString StateText(RTC_SESSION_STATE state);
    // The engine's display while the engine that owns this window is alive.
    IMainWindowDisplay* Display() const;
    HRESULT GetClient(RtcClientPtr& client) const;
    // The remote party's name, a line break and the text, on the call status line.
    void ShowCallStatus(const QString& text);
    void ApplyKeyStates();
    HRESULT RefreshVolumeSliders();
    HRESULT RefreshVolumeSlider(IRTCClient& client, RTC_AUDIO_DEVICE device, bool available);
    // Without a microphone the call sends silence; the user should know why nobody hears them.
    bool SendsNoMicrophone() const;
    // Shows the notice for the next seconds, once per call.
    void NoteNoMicrophone();

    QTimer m_callTimer;
    int m_seconds = 0;
    int m_noMicrophoneSecondsLeft = 0;
    bool m_noMicrophoneNoted = false;
    bool m_destroyed = false;
};
