#include "TuningDialog.h"

#include "AudioControl.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <linphone++/linphone.hh>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kLevelPeriodMs = 100;

bool Can(const std::shared_ptr<linphone::AudioDevice>& device, linphone::AudioDevice::Capabilities capability)
{
    return device->hasCapability(capability);
}

void SelectId(QComboBox* box, const std::string& id)
{
    const int index = box->findData(QString::fromStdString(id));
    if (index >= 0)
        box->setCurrentIndex(index);
}

std::string SelectedId(const QComboBox* box)
{
    return box->currentData().toString().toStdString();
}

} // namespace

CTuningDialog::CTuningDialog(CAudioControl& audio, QWidget* parent) : QDialog(parent), m_audio(audio)
{
    setWindowTitle(tr("Audio Tuning Wizard"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_capture = new QComboBox(this);
    m_playback = new QComboBox(this);
    m_ringer = new QComboBox(this);
    // Named for tests and accessibility tools.
    m_capture->setObjectName(QStringLiteral("microphone"));
    m_playback->setObjectName(QStringLiteral("speaker"));
    m_ringer->setObjectName(QStringLiteral("ringer"));
    form->addRow(tr("&Microphone:"), m_capture);
    form->addRow(tr("&Speaker:"), m_playback);
    form->addRow(tr("&Ring on:"), m_ringer);
    m_level = new QProgressBar(this);
    m_level->setRange(0, 100);
    m_level->setTextVisible(false);
    m_level->setObjectName(QStringLiteral("level"));
    form->addRow(tr("Microphone level:"), m_level);
    layout->addLayout(form);

    auto* actions = new QHBoxLayout;
    m_testTone = new QPushButton(tr("Play &Test Tone"), this);
    m_calibrate = new QPushButton(tr("&Calibrate Echo"), this);
    m_testTone->setObjectName(QStringLiteral("testTone"));
    actions->addWidget(m_testTone);
    actions->addWidget(m_calibrate);
    layout->addLayout(actions);

    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTuningDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTuningDialog::reject);
    connect(m_testTone, &QPushButton::clicked, this, [this] {
        if (FAILED(m_audio.PlayTestTone(QString::fromStdString(SelectedId(m_playback)))))
            m_status->setText(tr("The test tone could not be played on this device."));
    });
    connect(m_calibrate, &QPushButton::clicked, this, &CTuningDialog::CalibrateEcho);
    connect(&m_audio, &CAudioControl::echoCalibrationFinished, this, &CTuningDialog::ShowEchoResult);
    connect(m_capture, &QComboBox::currentIndexChanged, this, &CTuningDialog::StartLevelMeter);
    m_levelTimer.setInterval(kLevelPeriodMs);
    connect(&m_levelTimer, &QTimer::timeout, this, &CTuningDialog::ShowLevel);

    FillDevices();
}

CTuningDialog::~CTuningDialog()
{
    StopLevelMeter();
}

void CTuningDialog::FillDevices()
{
    auto core = m_audio.core();
    bool any = false;
    if (core) {
        for (const auto& device : core->getExtendedAudioDevices()) {
            const QString label = QString::fromStdString(device->getDeviceName());
            const QString id = QString::fromStdString(device->getId());
            if (Can(device, linphone::AudioDevice::Capabilities::CapabilityRecord))
                m_capture->addItem(label, id);
            if (Can(device, linphone::AudioDevice::Capabilities::CapabilityPlay)) {
                m_playback->addItem(label, id);
                m_ringer->addItem(label, id);
            }
            any = true;
        }
    }
    if (m_audio.usesFiles()) {
        m_status->setText(any ? tr("Calls use sound files instead of the audio devices.")
                              : tr("No audio device was found. Calls still connect, without sound."));
    } else if (!any) {
        m_status->setText(tr("No audio device was found."));
    }
    const bool usable = any && !m_audio.usesFiles();
    for (QWidget* widget :
         {static_cast<QWidget*>(m_capture), static_cast<QWidget*>(m_playback), static_cast<QWidget*>(m_ringer),
          static_cast<QWidget*>(m_testTone), static_cast<QWidget*>(m_calibrate)})
        widget->setEnabled(usable);
    if (!usable || !core)
        return;
    const QSignalBlocker blocker(m_capture);
    SelectId(m_capture, core->getCaptureDevice());
    SelectId(m_playback, core->getPlaybackDevice());
    SelectId(m_ringer, core->getRingerDevice());
    StartLevelMeter();
}

void CTuningDialog::StartLevelMeter()
{
    StopLevelMeter();
    auto core = m_audio.core();
    const std::string captureId = SelectedId(m_capture);
    if (!core || captureId.empty())
        return;
    auto params = core->createRecorderParams();
    for (const auto& device : core->getExtendedAudioDevices()) {
        if (device->getId() == captureId)
            params->setAudioDevice(device);
    }
    params->setFileFormat(linphone::RecorderFileFormat::Wav);
    m_recorder = core->createRecorder(params);
    m_levelFile = QDir(m_audio.soundFolder()).filePath(QStringLiteral("level-check.wav"));
    QDir().mkpath(m_audio.soundFolder());
    if (!m_recorder || m_recorder->open(m_levelFile.toStdString()) != 0 || m_recorder->start() != 0) {
        m_recorder.reset();
        m_status->setText(tr("The microphone could not be opened."));
        return;
    }
    m_levelTimer.start();
}

void CTuningDialog::StopLevelMeter()
{
    m_levelTimer.stop();
    if (m_recorder)
        m_recorder->close();
    m_recorder.reset();
    if (!m_levelFile.isEmpty())
        QFile::remove(m_levelFile);
    m_level->setValue(0);
}

void CTuningDialog::ShowLevel()
{
    if (!m_recorder)
        return;
    const float volume = m_recorder->getCaptureVolume();
    // Linear energy: shown on a logarithmic scale over 60 dB, as ears hear it.
    const double db = volume > 0 ? 20.0 * std::log10(volume) : -60.0;
    m_level->setValue(std::clamp(static_cast<int>(std::lround((db + 60.0) * 100.0 / 60.0)), 0, 100));
}

void CTuningDialog::CalibrateEcho()
{
    auto core = m_audio.core();
    if (!core)
        return;
    // The calibration needs the devices to itself.
    StopLevelMeter();
    if (core->startEchoCancellerCalibration() != 0) {
        m_status->setText(tr("Echo calibration could not start."));
        StartLevelMeter();
        return;
    }
    m_calibrate->setEnabled(false);
    m_status->setText(tr("Calibrating: please keep quiet for a few seconds..."));
}

void CTuningDialog::ShowEchoResult(int status, int delayMs)
{
    switch (static_cast<linphone::EcCalibratorStatus>(status)) {
    case linphone::EcCalibratorStatus::InProgress: return;
    case linphone::EcCalibratorStatus::Done: m_status->setText(tr("Echo delay: %1 ms.").arg(delayMs)); break;
    case linphone::EcCalibratorStatus::DoneNoEcho: m_status->setText(tr("No echo was detected.")); break;
    case linphone::EcCalibratorStatus::Failed: m_status->setText(tr("Echo calibration failed.")); break;
    }
    m_calibrate->setEnabled(true);
    StartLevelMeter();
}

void CTuningDialog::accept()
{
    StopLevelMeter();
    auto core = m_audio.core();
    if (core && m_capture->isEnabled()) {
        if (!SelectedId(m_capture).empty())
            core->setCaptureDevice(SelectedId(m_capture));
        if (!SelectedId(m_playback).empty())
            core->setPlaybackDevice(SelectedId(m_playback));
        if (!SelectedId(m_ringer).empty())
            core->setRingerDevice(SelectedId(m_ringer));
        m_audio.OnDevicesChosen();
    }
    QDialog::accept();
}
