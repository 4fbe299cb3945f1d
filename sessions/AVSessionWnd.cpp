#include "AVSessionWnd.h"

#include "RemoteParty.h"

#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"

CAVSessionWnd::CAVSessionWnd(QObject* parent) : QObject(parent), m_callTimer(this)
{
    m_callTimer.setObjectName(QString::number(kCallTimerId));
    m_callTimer.setInterval(kCallTimerPeriodMs);
    connect(&m_callTimer, &QTimer::timeout, this, &CAVSessionWnd::OnTimer);
    g_activeCallWindow = this;
}

CAVSessionWnd::~CAVSessionWnd()
{
    if (!m_destroyed)
        OnDestroy();
}

CAVSessionWnd* CAVSessionWnd::Active()
{
    return dynamic_cast<CAVSessionWnd*>(g_activeCallWindow);
}

HRESULT CAVSessionWnd::OnCreate()
{
    // Queued: the engine hands over the session only after the window exists. The
    // library runs on this thread, so no audio flows before this has run.
    QMetaObject::invokeMethod(this, &CAVSessionWnd::ApplyKeyStates, Qt::QueuedConnection);
    return CSessionWnd::OnCreate();
}

HRESULT CAVSessionWnd::OnDestroy()
{
    m_destroyed = true;
    m_callTimer.stop();
    // An engine that is gone can no longer be told that this window leaves it.
    if (m_engine && m_engine != g_pClientEngine)
        SetEngine(nullptr);
    const HRESULT hr = CSessionWnd::OnDestroy();
    SetEngine(nullptr);
    if (g_activeCallWindow == this)
        g_activeCallWindow = nullptr;
    return hr;
}

void CAVSessionWnd::PostClose()
{
    QMetaObject::invokeMethod(
        this, [this] { OnClose(); }, Qt::QueuedConnection);
}

void CAVSessionWnd::DestroyWindow()
{
    if (m_destroyed)
        return;
    OnDestroy();
    deleteLater();
}

QString CAVSessionWnd::StateText(RTC_SESSION_STATE state)
{
    switch (state) {
    case RTCSS_IDLE: return QStringLiteral("Idle");
    case RTCSS_INCOMING: return QStringLiteral("Incoming...");
    case RTCSS_ANSWERING: return QStringLiteral("Answering...");
    case RTCSS_INPROGRESS: return QStringLiteral("Connecting...");
    case RTCSS_CONNECTED: return QStringLiteral("Connected");
    case RTCSS_DISCONNECTED: return QStringLiteral("Disconnected");
    default: return QString();
    }
}

HRESULT CAVSessionWnd::OnSessionStateChange(RTC_SESSION_STATE state)
{
    if (m_destroyed)
        return S_OK;
    CSessionWnd::OnSessionStateChange(state);
    // The call time counts from the first CONNECTED; a CONNECTED after a hold goes on counting.
    if (state == RTCSS_CONNECTED && !m_callTimer.isActive()) {
        if (m_seconds == 0 && SendsNoMicrophone())
            NoteNoMicrophone();
        m_callTimer.start();
    } else if (state == RTCSS_DISCONNECTED)
        m_callTimer.stop();

    const QString text = StateText(state);
    if (!text.isEmpty())
        ShowCallStatus(text);
    if (state == RTCSS_DISCONNECTED)
        DestroyWindow();
    return S_OK;
}

HRESULT CAVSessionWnd::OnTimer()
{
    int quality = 0;
    RtcClientPtr client;
    if (SUCCEEDED(GetClient(client)))
        client->get_NetworkQuality(quality);
    client.reset();

    if (m_noMicrophoneSecondsLeft > 0) {
        --m_noMicrophoneSecondsLeft;
        ShowCallStatus(kNoMicrophone);
    } else {
        ShowCallStatus(kQualityFormat.arg(quality));
    }
    ++m_seconds;
    if (IMainWindowDisplay* display = Display()) {
        display->ShowCallQuality(quality);
        display->ShowCallTime(m_seconds);
    }
    return S_OK;
}

HRESULT CAVSessionWnd::OnClientEvent(RTC_CLIENT_EVENT_TYPE type)
{
    if (type != RTCCET_VOLUME_CHANGE && type != RTCCET_DEVICE_CHANGE)
        return S_OK;
    return RefreshVolumeSliders();
}

HRESULT CAVSessionWnd::OnMedia(int mediaType, RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON)
{
    if (!m_destroyed && (mediaType & RTCMT_AUDIO_SEND) && type == RTCMET_FAILED)
        NoteNoMicrophone();
    return S_OK;
}

HRESULT CAVSessionWnd::SetMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    RtcClientPtr client;
    const HRESULT hr = GetClient(client);
    if (FAILED(hr))
        return hr;
    return client->put_AudioMuted(device, muted);
}

HRESULT CAVSessionWnd::ApplyHold(bool held, bool muted)
{
    const HRESULT microphone = ApplyMute(held, muted);
    const HRESULT speaker = SetMuted(RTCAD_SPEAKER, held);
    return FAILED(microphone) ? microphone : speaker;
}

HRESULT CAVSessionWnd::ApplyMute(bool held, bool muted)
{
    return SetMuted(RTCAD_MICROPHONE, held || muted);
}

HRESULT CAVSessionWnd::SetVolume(RTC_AUDIO_DEVICE device, int volume)
{
    RtcClientPtr client;
    HRESULT hr = GetClient(client);
    if (SUCCEEDED(hr))
        hr = client->put_Volume(device, volume);
    return FAILED(hr) ? hr : S_OK;
}

IMainWindowDisplay* CAVSessionWnd::Display() const
{
    return m_engine && m_engine == g_pClientEngine ? &m_engine->Display() : nullptr;
}

HRESULT CAVSessionWnd::GetClient(RtcClientPtr& client) const
{
    if (!m_session)
        return E_FAIL;
    const HRESULT hr = m_session->get_Client(client);
    if (SUCCEEDED(hr) && !client)
        return E_POINTER;
    return hr;
}

void CAVSessionWnd::ShowCallStatus(const QString& text)
{
    IMainWindowDisplay* display = Display();
    if (!display)
        return;
    const QString name = m_session ? GetRemoteDisplayName(*m_session) : QString();
    display->ShowStatusMessage(name.isEmpty() ? text : name + kLineBreak + text);
}

// The keys keep their state between calls, so a new call starts the way they show.
void CAVSessionWnd::ApplyKeyStates()
{
    IMainWindowDisplay* display = Display();
    if (m_destroyed || !display)
        return;
    ApplyHold(display->IsHoldChecked(), display->IsMuteChecked());
    for (RTC_AUDIO_DEVICE device : {RTCAD_SPEAKER, RTCAD_MICROPHONE})
        SetVolume(device, kMaxVolume - display->VolumeSliderPosition(device));
}

bool CAVSessionWnd::SendsNoMicrophone() const
{
    RtcClientPtr client;
    int capabilities = 0;
    if (FAILED(GetClient(client)) || FAILED(client->get_MediaCapabilities(capabilities)))
        return false;
    return !(capabilities & RTCMT_AUDIO_SEND);
}

void CAVSessionWnd::NoteNoMicrophone()
{
    if (m_noMicrophoneNoted)
        return;
    m_noMicrophoneNoted = true;
    m_noMicrophoneSecondsLeft = kNoMicrophoneSeconds;
}

HRESULT CAVSessionWnd::RefreshVolumeSliders()
{
    RtcClientPtr client;
    int capabilities = 0;
    HRESULT hr = GetClient(client);
    if (SUCCEEDED(hr))
        hr = client->get_MediaCapabilities(capabilities);
    if (SUCCEEDED(hr))
        hr = RefreshVolumeSlider(*client, RTCAD_SPEAKER, capabilities & RTCMT_AUDIO_RECEIVE);
    if (SUCCEEDED(hr))
        hr = RefreshVolumeSlider(*client, RTCAD_MICROPHONE, capabilities & RTCMT_AUDIO_SEND);
    return hr;
}

HRESULT CAVSessionWnd::RefreshVolumeSlider(IRTCClient& client, RTC_AUDIO_DEVICE device, bool available)
{
    IMainWindowDisplay* display = Display();
    if (!display)
        return E_FAIL;
    if (!available) {
        display->SetVolumeSlider(device, false, display->VolumeSliderPosition(device));
        return S_OK;
    }
    // A device whose mute state cannot be read is not trusted for its volume either.
    bool muted = false;
    int volume = 0;
    HRESULT hr = client.get_AudioMuted(device, muted);
    if (SUCCEEDED(hr))
        hr = client.get_Volume(device, volume);
    if (FAILED(hr))
        return hr;
    display->SetVolumeSlider(device, true, kMaxVolume - volume);
    return S_OK;
}
