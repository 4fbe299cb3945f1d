#include "PulseRig.h"

#include "EventQueue.h"

#include <QDeadlineTimer>
#include <QDir>
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
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return pactl.waitForFinished(2000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

bool CPulseRig::RecordSpeaker(const QString& wav, int milliseconds, bool headset) const
{
    const QString monitor = headset ? QStringLiteral("rig_headset.monitor") : QStringLiteral("rig_speaker.monitor");
    CChildProcess recorder;
    if (!recorder.Start(QStringLiteral("parecord"),
                        {QStringLiteral("--device=") + monitor, QStringLiteral("--latency-msec=50"),
                         QStringLiteral("--file-format=wav"), QStringLiteral("--format=s16le"),
                         QStringLiteral("--channels=1"), QStringLiteral("--rate=%1").arg(kRecordRate), wav},
                        QString()))
        return false;
    CEventQueue::Pump(milliseconds);
    // parecord finishes the file on SIGTERM; what it still buffers is lost, hence the short latency.
    const int status = recorder.Stop();
    if (status != 0 || QFileInfo(wav).size() <= 44) {
        qWarning("parecord ended with %d: %s", status, qPrintable(recorder.output()));
        return false;
    }
    return true;
}
