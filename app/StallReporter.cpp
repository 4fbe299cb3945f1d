#include "StallReporter.h"

#include <cstdio>
#include <ctime>

namespace {
// CPU time of the calling thread.
qint64 ThreadCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<qint64>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}
} // namespace

CStallReporter::CStallReporter(int thresholdMs, QObject* parent) : QObject(parent), m_thresholdMs(thresholdMs)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CStallReporter::OnBeat);
    m_clock.start();
    m_lastBeatCpuUs = ThreadCpuUs();
    m_timer.start(kBeatMs);
}

void CStallReporter::OnBeat()
{
    const qint64 now = m_clock.elapsed();
    const qint64 late = now - m_lastBeatMs - kBeatMs;
    const qint64 cpuUs = ThreadCpuUs();
    const qint64 runningMs = (cpuUs - m_lastBeatCpuUs) / 1000;
    m_lastBeatMs = now;
    m_lastBeatCpuUs = cpuUs;
    if (late > m_thresholdMs) {
        std::fprintf(stderr, "orvalo-phone: event loop stalled for %lld ms (%lld ms of it running)\n",
                     static_cast<long long>(late), static_cast<long long>(runningMs));
        std::fflush(stderr);
    }
}
