#include "PulseRig.h"

#include "EventQueue.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {
constexpr int kStartMs = 10000;
constexpr int kRecordRate = 48000;
} // namespace

const QString CPulseRig::kSpeakerName = QStringLiteral("Rig_Speaker");
const QString CPulseRig::kHeadsetName = QStringLiteral("Rig_Headset");
const QString CPulseRig::kMicrophoneName = QStringLiteral("Rig_Microphone");

CPulseRig::CPulseRig(const QString& folder) : m_folder(folder)
{
    QDir().mkpath(folder);
}

CPulseRig::~CPulseRig()
{
    m_server.Stop();
}

QString CPulseRig::server() const
{
    return QStringLiteral("unix:") + QDir(m_folder).filePath(QStringLiteral("native"));
}

bool CPulseRig::Start()
{
    qputenv("PULSE_SERVER", server().toUtf8());
    if (!m_server.Start(QStringLiteral(ORVALO_SOURCE_DIR "/scripts/audio-rig"), {m_folder},
                        QStringLiteral("export PULSE_SERVER"))) {
        m_error = QStringLiteral("the rig did not start: ") + m_server.output();
        return false;
    }
    const QDeadlineTimer deadline(kStartMs);
    while (!Answers()) {
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("pulseaudio does not answer: ") + m_server.output();
            return false;
        }
        CEventQueue::Pump(50);
    }
    return true;
}

bool CPulseRig::Answers() const
{
    if (!QFileInfo::exists(QDir(m_folder).filePath(QStringLiteral("native"))))
        return false;
    return Pactl({QStringLiteral("info")});
}

bool CPulseRig::MuteMicrophone(bool muted) const
{
    return Pactl({QStringLiteral("set-source-mute"), QStringLiteral("rig_microphone"),
                  muted ? QStringLiteral("1") : QStringLiteral("0")});
}

bool CPulseRig::UnplugMicrophone() const
{
    return Pactl({QStringLiteral("unload-module"), QStringLiteral("module-sine-source")});
}

// The microphone comes back with the arguments the script gave it.
bool CPulseRig::PlugMicrophone() const
{
    QFile script(QDir(m_folder).filePath(QStringLiteral("rig.pa")));
    if (!script.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QString microphone = QStringLiteral("load-module module-sine-source ");
    for (const QString& line : QString::fromUtf8(script.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(microphone))
            return Pactl(line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) &&
                   Pactl({QStringLiteral("set-default-source"), QStringLiteral("rig_microphone")});
    }
    return false;
}

bool CPulseRig::Pactl(const QStringList& arguments)
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), arguments);
    return pactl.waitForFinished(2000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

bool CPulseRig::RecordSpeaker(const QString& wav, int milliseconds, bool headset,
                              const std::function<void()>& whenRecording) const
{
    constexpr qint64 kWavHeaderBytes = 44;
    const QString monitor = headset ? QStringLiteral("rig_headset.monitor") : QStringLiteral("rig_speaker.monitor");
    CChildProcess recorder;
    if (!recorder.Start(QStringLiteral("parecord"),
                        {QStringLiteral("--device=") + monitor, QStringLiteral("--latency-msec=50"),
                         QStringLiteral("--file-format=wav"), QStringLiteral("--format=s16le"),
                         QStringLiteral("--channels=1"), QStringLiteral("--rate=%1").arg(kRecordRate), wav},
                        QString()))
        return false;
    // The stream takes from a tenth of a second to a second to deliver its first
    // samples: the time counts from there.
    const QDeadlineTimer deadline(kStartMs);
    while (QFileInfo(wav).size() <= kWavHeaderBytes && !deadline.hasExpired())
        CEventQueue::Pump(10);
    if (whenRecording)
        whenRecording();
    CEventQueue::Pump(milliseconds);
    // parecord finishes the file on SIGTERM; what it still buffers is lost, hence the short latency.
    const int status = recorder.Stop();
    if (status != 0 || QFileInfo(wav).size() <= kWavHeaderBytes) {
        qWarning("parecord ended with %d: %s", status, qPrintable(recorder.output()));
        return false;
    }
    return true;
}
