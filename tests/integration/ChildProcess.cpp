#include "ChildProcess.h"

#include "EventQueue.h"

#include <QDeadlineTimer>

namespace {
constexpr int kStopWaitMs = 10000;
}

CChildProcess::~CChildProcess()
{
    Stop();
}

bool CChildProcess::Start(const QString& program, const QStringList& arguments, const QString& readyText, int timeoutMs)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program, arguments);
    return m_process.waitForStarted(5000) && WaitOutput(readyText, timeoutMs);
}

bool CChildProcess::WaitOutput(const QString& text, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (output().contains(text))
            return true;
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        CEventQueue::Pump(20);
    }
}

const QString& CChildProcess::output()
{
    m_output += QString::fromUtf8(m_process.readAll());
    return m_output;
}

int CChildProcess::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_process.terminate();
    const QDeadlineTimer deadline(kStopWaitMs);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
        CEventQueue::Pump(20);
    m_output += QString::fromUtf8(m_process.readAll());
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}
