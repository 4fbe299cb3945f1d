#include "StallReporter.h"

#include <cstdio>

CStallReporter::CStallReporter(int thresholdMs, QObject* parent) : QObject(parent), m_thresholdMs(thresholdMs)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CStallReporter::OnBeat);
    m_clock.start();
    m_timer.start(kBeatMs);
}

void CStallReporter::OnBeat()
{
    const qint64 now = m_clock.elapsed();
    const qint64 late = now - m_lastBeatMs - kBeatMs;
    m_lastBeatMs = now;
    if (late > m_thresholdMs) {
        std::fprintf(stderr, "orvalo-phone: event loop stalled for %lld ms\n", static_cast<long long>(late));
        std::fflush(stderr);
    }
}
