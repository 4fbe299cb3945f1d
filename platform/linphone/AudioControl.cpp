#include "AudioControl.h"

#include "CallSession.h"
#include "CoreHost.h"
#include "LinphoneClient.h"
#include "Tones.h"
#include "TuningDialog.h"

#include "platform/rtc/RtcEvents.h"

#include <QDir>
#include <QLoggingCategory>
#include <QPointer>
#include <QWidget>

#include <linphone++/linphone.hh>

#include <algorithm>
#include <cmath>

namespace {

Q_LOGGING_CATEGORY(lcAudio, "orvalo.audio")

constexpr int kIntensityPeriodMs = 250;
// Levels the library reports in dBm0, mapped onto 0..100.
constexpr double kQuietestDb = -60.0;
constexpr const char* kSection = "orvalo";
constexpr const char* kVolumeKeys[2] = {"speaker_volume", "microphone_volume"};

bool ValidDevice(RTC_AUDIO_DEVICE device)
{
    return device == RTCAD_SPEAKER || device == RTCAD_MICROPHONE;
}

int IntensityPercent(float dbm0)
{
    if (!std::isfinite(dbm0))
        return 0;
    return std::clamp(static_cast<int>(std::lround((dbm0 - kQuietestDb) * 100 / -kQuietestDb)), 0, 100);
}

} // namespace

CAudioControl::CAudioControl(CLinphoneClient& client)
    : m_client(client), m_microphoneCheck([this](const auto& call) { OnMicrophoneSilent(call); })
{
    m_intensityTimer.setInterval(kIntensityPeriodMs);
    connect(&m_intensityTimer, &QTimer::timeout, this, &CAudioControl::PostIntensity);
    // Sound cards come and go with their device nodes; the watch costs nothing while idle.
    connect(&m_deviceWatcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (auto engine = core())
            engine->reloadSoundDevices();
    });
}

CAudioControl::~CAudioControl() = default;

std::shared_ptr<linphone::Core> CAudioControl::core() const
{
    return m_client.running() ? m_client.core() : nullptr;
}

bool CAudioControl::usesFiles() const
{
    return m_client.host().usesFiles();
}

QString CAudioControl::soundFolder() const
{
    return m_client.host().dataDir() + QStringLiteral("/sounds");
}

bool CAudioControl::hasDevices() const
{
    auto engine = core();
    if (!engine)
        return false;
    const auto devices = engine->getExtendedAudioDevices();
    return !devices.empty();
}

bool CAudioControl::hasCaptureDevice() const
{
    auto engine = core();
    if (!engine)
        return false;
    const auto devices = engine->getExtendedAudioDevices();
    return std::any_of(devices.begin(), devices.end(), [](const auto& device) {
        return device->hasCapability(linphone::AudioDevice::Capabilities::CapabilityRecord);
    });
}

void CAudioControl::Start()
{
    auto engine = core();
    if (!engine)
        return;
    auto config = engine->getConfig();
    for (RTC_AUDIO_DEVICE device : {RTCAD_SPEAKER, RTCAD_MICROPHONE}) {
        m_volume[device] = std::clamp(config->getInt(kSection, kVolumeKeys[device], kMaxVolume), 0, kMaxVolume);
        ApplyVolume(device);
    }
    if (QDir(QStringLiteral("/dev/snd")).exists())
        m_deviceWatcher.addPath(QStringLiteral("/dev/snd"));
}

void CAudioControl::Stop()
{
    m_intensityTimer.stop();
    m_microphoneCheck.Stop();
    if (m_player)
        m_player->close();
    m_player.reset();
    if (!m_deviceWatcher.directories().isEmpty())
        m_deviceWatcher.removePaths(m_deviceWatcher.directories());
}

float CAudioControl::GainDb(int level)
{
    if (level <= 0)
        return static_cast<float>(kMinGainDb);
    // The library applies the gain as a power ratio to the amplitude.
    const double db = 10.0 * std::log10(static_cast<double>(level) / kMaxVolume);
    return static_cast<float>(std::max(db, kMinGainDb));
}

void CAudioControl::ApplyVolume(RTC_AUDIO_DEVICE device)
{
    auto engine = core();
    if (!engine)
        return;
    if (device == RTCAD_SPEAKER)
        engine->setPlaybackGainDb(GainDb(m_volume[device]));
    else
        engine->setMicGainDb(GainDb(m_volume[device]));
    if (auto session = m_client.ActiveCall())
        ApplyDeviceVolume(*session, device);
}

// The library's gains act on what files play and record; a sound device of a call
// follows only its own volume. Sound servers scale that volume as a cube (as
// PulseAudio does): the cube root keeps the heard amplitude proportional to the
// slider, as it is in file mode. The call's speaker mute alone still let a device
// play at about -24 dB: a muted speaker gets no volume.
void CAudioControl::ApplyDeviceVolume(CCallSession& session, RTC_AUDIO_DEVICE device)
{
    if (usesFiles() || !session.call())
        return;
    const int level = device == RTCAD_SPEAKER && m_muted[device] ? 0 : m_volume[device];
    const auto share = static_cast<float>(std::cbrt(static_cast<double>(level) / kMaxVolume));
    if (device == RTCAD_SPEAKER)
        session.call()->setSpeakerVolumeGain(share);
    else
        session.call()->setMicrophoneVolumeGain(share);
}

HRESULT CAudioControl::GetVolume(RTC_AUDIO_DEVICE device, int& level) const
{
    if (!ValidDevice(device))
        return E_INVALIDARG;
    level = m_volume[device];
    return S_OK;
}

HRESULT CAudioControl::PutVolume(RTC_AUDIO_DEVICE device, int level)
{
    if (!ValidDevice(device) || level < 0 || level > kMaxVolume)
        return E_INVALIDARG;
    auto engine = core();
    if (!engine)
        return RTC_E_INVALID_STATE;
    if (m_volume[device] == level)
        return S_OK;
    m_volume[device] = level;
    ApplyVolume(device);
    engine->getConfig()->setInt(kSection, kVolumeKeys[device], level);
    PostClientEvent(RTCCET_VOLUME_CHANGE);
    return S_OK;
}

HRESULT CAudioControl::GetMuted(RTC_AUDIO_DEVICE device, bool& muted) const
{
    if (!ValidDevice(device))
        return E_INVALIDARG;
    muted = m_muted[device];
    return S_OK;
}

HRESULT CAudioControl::PutMuted(RTC_AUDIO_DEVICE device, bool muted)
{
    if (!ValidDevice(device))
        return E_INVALIDARG;
    auto engine = core();
    if (!engine)
        return RTC_E_INVALID_STATE;
    m_muted[device] = muted;
    auto session = m_client.ActiveCall();
    if (device == RTCAD_MICROPHONE) {
        engine->enableMic(!muted);
        if (session)
            ApplyMicrophoneMute(*session);
    } else if (session && session->call()) {
        session->call()->setSpeakerMuted(muted);
        ApplyDeviceVolume(*session, device);
    }
    return S_OK;
}

// The core's switch reaches only calls yet to come: a running call is muted on its
// own. In file mode the play file stands in for the microphone, but the library
// mixes it in after the microphone's mute: what is sent is silenced by pausing the
// call's file player as well.
void CAudioControl::ApplyMicrophoneMute(CCallSession& session)
{
    if (!session.call())
        return;
    const bool muted = m_muted[RTCAD_MICROPHONE];
    session.call()->setMicrophoneMuted(muted);
    const auto player = usesFiles() ? session.call()->getPlayer() : nullptr;
    if (!player)
        return;
    using State = linphone::Player::State;
    int status = 0;
    if (muted && player->getState() == State::Playing)
        status = player->pause();
    else if (!muted && player->getState() == State::Paused)
        status = player->start();
    if (status != 0)
        qCWarning(lcAudio) << "the play file could not be" << (muted ? "paused" : "resumed") << status;
}

void CAudioControl::OnCallMediaStarted(CCallSession& session)
{
    if (!session.call())
        return;
    session.call()->setSpeakerMuted(m_muted[RTCAD_SPEAKER]);
    ApplyMicrophoneMute(session);
    for (RTC_AUDIO_DEVICE device : {RTCAD_SPEAKER, RTCAD_MICROPHONE})
        ApplyDeviceVolume(session, device);
    if (usesFiles())
        return;
    if (hasCaptureDevice())
        m_microphoneCheck.Start(session.call());
    else
        SendSilence(session);
}

// Without a microphone the library sends no audio packets at all: the far end may
// take the call for dead, and touch tones alone get lost. The call's own player
// sends silence in its place, for a missing microphone as for one that failed.
void CAudioControl::SendSilence(CCallSession& session)
{
    const auto player = session.call()->getPlayer();
    if (!player || player->getState() != linphone::Player::State::Closed)
        return;
    const QString silence = ProgramSoundFile(soundFolder(), ProgramSound::Silence);
    if (player->open(silence.toStdString()) != 0 || player->start() != 0)
        qCWarning(lcAudio) << "no silence can be sent in place of the missing microphone";
}

void CAudioControl::OnMicrophoneSilent(const std::shared_ptr<linphone::Call>& call)
{
    const auto session = m_client.ActiveCall();
    if (!session || !session->Holds(call.get()))
        return;
    SendSilence(*session);
    session->OnMicrophoneFailed();
}

void CAudioControl::OnCallActivity(bool streaming)
{
    if (streaming && !m_intensityTimer.isActive())
        m_intensityTimer.start();
    else if (!streaming)
        m_intensityTimer.stop();
}

void CAudioControl::PostIntensity()
{
    if (!m_client.events().Wants(RTCE_INTENSITY))
        return;
    auto session = m_client.ActiveCall();
    if (!session || !session->call() || session->state() != RTCSS_CONNECTED)
        return;
    const auto& call = session->call();
    const std::pair<RTC_AUDIO_DEVICE, float> levels[] = {{RTCAD_MICROPHONE, call->getRecordVolume()},
                                                         {RTCAD_SPEAKER, call->getPlayVolume()}};
    for (const auto& [direction, level] : levels) {
        auto event = std::make_shared<IRTCIntensityEvent>();
        event->m_direction = direction;
        event->m_level = IntensityPercent(level);
        event->m_min = 0;
        event->m_max = 100;
        m_client.events().Post(RTCE_INTENSITY, event);
    }
}

HRESULT CAudioControl::NetworkQuality(int& quality) const
{
    quality = 0;
    auto session = m_client.ActiveCall();
    if (!session || !session->call())
        return S_OK;
    // The library rates a call from 0 to 5; below zero means it cannot tell yet.
    const float rating = session->call()->getCurrentQuality();
    if (rating > 0)
        quality = std::clamp(static_cast<int>(std::lround(rating * 20)), 1, 100);
    return S_OK;
}

HRESULT CAudioControl::MediaCapabilities(int& capabilities) const
{
    auto engine = core();
    if (!engine)
        return RTC_E_INVALID_STATE;
    if (usesFiles()) {
        // Without a play file the file mode only sends silence: there is no microphone.
        const bool sends = !m_client.host().options().playFile.isEmpty();
        capabilities = RTCMT_AUDIO_RECEIVE | (sends ? RTCMT_AUDIO_SEND : 0);
        return S_OK;
    }
    capabilities = 0;
    for (const auto& device : engine->getExtendedAudioDevices()) {
        if (device->hasCapability(linphone::AudioDevice::Capabilities::CapabilityRecord))
            capabilities |= RTCMT_AUDIO_SEND;
        if (device->hasCapability(linphone::AudioDevice::Capabilities::CapabilityPlay))
            capabilities |= RTCMT_AUDIO_RECEIVE;
    }
    return S_OK;
}

HRESULT CAudioControl::Play(const QString& file, const std::string& device)
{
    auto engine = core();
    if (!engine)
        return RTC_E_INVALID_STATE;
    if (m_player) {
        m_player->close();
        m_player.reset();
    }
    if (usesFiles() || device.empty())
        return RTC_E_NO_DEVICE;
    m_player = engine->createLocalPlayer(device, "", nullptr);
    if (!m_player || m_player->open(file.toStdString()) != 0 || m_player->start() != 0) {
        m_player.reset();
        return RTC_E_NO_DEVICE;
    }
    return S_OK;
}

HRESULT CAudioControl::PlayRing(RTC_RING_TYPE type, bool play)
{
    if (type != RTCRT_PHONE && type != RTCRT_MESSAGE && type != RTCRT_RINGBACK)
        return E_INVALIDARG;
    auto engine = core();
    if (!engine)
        return RTC_E_INVALID_STATE;
    if (!play) {
        if (m_player)
            m_player->close();
        m_player.reset();
        return S_OK;
    }
    // Each request plays one ring; the caller repeats it for as long as it wants to ring.
    const ProgramSound sound = type == RTCRT_MESSAGE ? ProgramSound::MessageRing : ProgramSound::PhoneRing;
    return Play(ProgramSoundFile(soundFolder(), sound), engine->getRingerDevice());
}

HRESULT CAudioControl::PlayTestTone(const QString& playbackDevice)
{
    return Play(ProgramSoundFile(soundFolder(), ProgramSound::TestTone), playbackDevice.toStdString());
}

HRESULT CAudioControl::LocalTone(char tone)
{
    auto engine = core();
    if (!engine)
        return RTC_E_INVALID_STATE;
    engine->playDtmf(tone, 100);
    m_client.Wake();
    return S_OK;
}

HRESULT CAudioControl::RunTuningDialog(QObject* owner)
{
    if (!core())
        return RTC_E_INVALID_STATE;
    QPointer<CTuningDialog> dialog = new CTuningDialog(*this, qobject_cast<QWidget*>(owner));
    dialog->exec();
    delete dialog;
    return S_OK;
}

void CAudioControl::OnDevicesListUpdated()
{
    PostClientEvent(RTCCET_DEVICE_CHANGE);
}

void CAudioControl::OnDevicesChosen()
{
    PostClientEvent(RTCCET_DEVICE_CHANGE);
}

void CAudioControl::OnEchoCalibrationResult(int status, int delayMs)
{
    emit echoCalibrationFinished(status, delayMs);
}

void CAudioControl::PostClientEvent(RTC_CLIENT_EVENT_TYPE type)
{
    m_client.PostClientEvent(type);
}
