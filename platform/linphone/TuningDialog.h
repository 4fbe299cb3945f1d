// The audio tuning dialog: choose the capture, playback and ring devices, hear a
// test tone, watch the microphone level and, if wanted, calibrate the echo
// canceller. The choices take effect when the dialog is accepted.
#pragma once

#include <QDialog>
#include <QTimer>

#include <memory>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class CAudioControl;

namespace linphone {
class Recorder;
}

class CTuningDialog : public QDialog {
    Q_OBJECT
public:
    explicit CTuningDialog(CAudioControl& audio, QWidget* parent = nullptr);
    ~CTuningDialog() override;

    void accept() override;

private:
    void FillDevices();
    void StartLevelMeter();
    void StopLevelMeter();
    void ShowLevel();
    void CalibrateEcho();
    void ShowEchoResult(int status, int delayMs);

    CAudioControl& m_audio;
    QComboBox* m_capture = nullptr;
    QComboBox* m_playback = nullptr;
    QComboBox* m_ringer = nullptr;
    QPushButton* m_testTone = nullptr;
    QPushButton* m_calibrate = nullptr;
    QProgressBar* m_level = nullptr;
    QLabel* m_status = nullptr;
    std::shared_ptr<linphone::Recorder> m_recorder;
    QString m_levelFile;
    QTimer m_levelTimer;
};
