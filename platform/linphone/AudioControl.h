// Sound devices, volumes, mute, rings, local tones and the tuning dialog of one
// client. Volumes run from 0 to 0xFFFF; the top is the device's own level.
#pragma once

#include "MicrophoneCheck.h"

#include "platform/rtc/RtcInterfaces.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <memory>

namespace linphone {
class Core;
class Player;
} // namespace linphone

class CLinphoneClient;
class CCallSession;

class CAudioControl : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxVolume = 0xFFFF;
    // Gain of the lowest volume above zero, and of zero itself.
    static constexpr double kMinGainDb = -40.0;

    explicit CAudioControl(CLinphoneClient& client);
    ~CAudioControl() override;

    // After the core started: applies the stored volumes and watches for devices.
    void Start();
    // Before the core stops: drops the library's players.
    void Stop();

    HRESULT GetVolume(RTC_AUDIO_DEVICE device, int& level) const;
    HRESULT PutVolume(RTC_AUDIO_DEVICE device, int level);
    HRESULT GetMuted(RTC_AUDIO_DEVICE device, bool& muted) const;
    HRESULT PutMuted(RTC_AUDIO_DEVICE device, bool muted);
    HRESULT NetworkQuality(int& quality) const;
    HRESULT MediaCapabilities(int& capabilities) const;
    HRESULT PlayRing(RTC_RING_TYPE type, bool play);
    HRESULT PlayTestTone(const QString& playbackDevice);
    HRESULT LocalTone(char tone);
    HRESULT RunTuningDialog(QObject* owner);

    bool usesFiles() const;
    bool hasDevices() const;
    bool hasCaptureDevice() const;
    std::shared_ptr<linphone::Core> core() const;
    QString soundFolder() const;

    void OnCallMediaStarted(CCallSession& session);
    void OnCallActivity(bool streaming);
    void OnDevicesListUpdated();
    void OnEchoCalibrationResult(int status, int delayMs);
    // The devices chosen in the tuning dialog were applied.
    void OnDevicesChosen();

    // Converts a volume to the library's gain in decibels.
    static float GainDb(int level);

signals:
    void echoCalibrationFinished(int status, int delayMs);

private:
    void ApplyVolume(RTC_AUDIO_DEVICE device);
    void ApplyDeviceVolume(CCallSession& session, RTC_AUDIO_DEVICE device);
    void ApplyMicrophoneMute(CCallSession& session);
    void SendSilence(CCallSession& session);
    void OnMicrophoneSilent(const std::shared_ptr<linphone::Call>& call);
    void PostIntensity();
    void PostClientEvent(RTC_CLIENT_EVENT_TYPE type);
    HRESULT Play(const QString& file, const std::string& device);

    CLinphoneClient& m_client;
    int m_volume[2] = {kMaxVolume, kMaxVolume};
    bool m_muted[2] = {false, false};
    std::shared_ptr<linphone::Player> m_player;
    QTimer m_intensityTimer;
    QFileSystemWatcher m_deviceWatcher;
    CMicrophoneCheck m_microphoneCheck;
};
