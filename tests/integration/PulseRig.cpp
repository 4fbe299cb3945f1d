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
    const QDir folder(m_folder);
    const QString script = folder.filePath(QStringLiteral("rig.pa"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("cannot write ") + script;
        return false;
    }
    // Every device runs at the calls' rate: a sink that changes its rate for a new
    // stream leaves a recording of its monitor without data.
    file.write(QStringLiteral("load-module module-native-protocol-unix auth-anonymous=1 socket=%1\n"
                              "load-module module-null-sink sink_name=rig_speaker rate=48000 "
                              "sink_properties=device.description=%2\n"
                              "load-module module-null-sink sink_name=rig_headset rate=48000 "
                              "sink_properties=device.description=%3\n"
                              "load-module module-sine-source source_name=rig_microphone rate=48000 frequency=%4 "
                              "source_properties=device.description=%5\n"
                              "set-default-sink rig_speaker\n"
                              "set-default-source rig_microphone\n")
                   .arg(folder.filePath(QStringLiteral("native")), kSpeakerName, kHeadsetName)
                   .arg(kMicrophoneTone)
                   .arg(kMicrophoneName)
                   .toUtf8());
    file.close();
    // The server keeps its own files (pid, cookie) in the runtime folder of the test.
    qputenv("PULSE_RUNTIME_PATH", folder.filePath(QStringLiteral("runtime")).toUtf8());
    qputenv("PULSE_SERVER", server().toUtf8());
    if (!m_server.Start(QStringLiteral("pulseaudio"),
                        {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                         QStringLiteral("--disable-shm"), QStringLiteral("--use-pid-file=no"),
                         QStringLiteral("--log-target=stderr"), QStringLiteral("-F"), script},
                        QString())) {
        m_error = QStringLiteral("pulseaudio did not start");
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
