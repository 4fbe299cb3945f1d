// A heartbeat for diagnostics: a timer that should fire every few milliseconds
// tells, on standard error, each time the event loop kept it waiting longer
// than the threshold, so that a stall of the user-interface thread (for
// example while hostile SIP traffic arrives) can be seen from outside. It also
// tells how much of the stall the thread spent running: on a busy machine the
// rest is time the system gave to other programs.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class CStallReporter : public QObject {
    Q_OBJECT
public:
    static constexpr int kBeatMs = 10;

    explicit CStallReporter(int thresholdMs, QObject* parent = nullptr);

private:
    void OnBeat();

    const int m_thresholdMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastBeatMs = 0;
    qint64 m_lastBeatCpuUs = 0;
};
