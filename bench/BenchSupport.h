// Measuring helpers for the benchmarks: timings and their summary, the CPU time
// and memory of a process, the first audible sample of a recording, and a
// client for baresip's TCP control interface.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Runs the event loop until the condition holds; false when the time ran out.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);
// Runs the event loop for the time without polling, so that the process's own
// CPU time is the work of what it hosts.
void Idle(int ms);

// Moments on one monotonic clock, shared by every thread of the benchmark.
using Moment = std::chrono::steady_clock::time_point;
inline Moment Now()
{
    return std::chrono::steady_clock::now();
}
inline double MsBetween(Moment from, Moment to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Milliseconds with sub-millisecond resolution since the stopwatch was started.
class CStopwatch {
public:
    double Ms() const { return MsBetween(m_start, Now()); }
    double MsUntil(Moment moment) const { return MsBetween(m_start, moment); }

private:
    Moment m_start = Now();
};

// A series of measurements, summarised as median, minimum and maximum.
class CSeries {
public:
    void Add(double value) { m_values.push_back(value); }
    bool empty() const { return m_values.empty(); }
    // NaN when there is no value.
    double Median() const;
    QString Summary(int decimals = 1) const;

private:
    std::vector<double> m_values;
};

// CPU time and memory of a running process, read from /proc.
struct ProcessSample {
    double cpuSeconds = 0; // user + system
    double residentMb = 0; // VmRSS
    double privateMb = 0;  // RssAnon: memory of its own, not shared libraries
};
bool SampleProcess(qint64 pid, ProcessSample& sample);
// "total / private" resident memory in MB.
QString MemoryText(const ProcessSample& sample);
// The share of one core the process used over the period, in percent.
double CpuPercent(qint64 pid, int periodMs);

// Watches a WAV file that a recorder is writing and tells when it first holds sound.
class CAudioOnset {
public:
    explicit CAudioOnset(QString path) : m_path(std::move(path)) {}
    bool Heard();

private:
    QString m_path;
    qint64 m_read = 0;
    bool m_heard = false;
};

// baresip's ctrl_tcp: netstring-framed JSON commands and events. Events are
// read and stamped on a thread of their own, so that their moment of arrival
// does not depend on what the benchmark's thread is busy with.
class CBaresipControl {
public:
    ~CBaresipControl();
    bool Connect(int port);
    void Send(const QString& command, const QString& params = {});
    // Waits for an event of the type and gives the moment it arrived; false when the time ran out.
    bool WaitEvent(const QString& type, int timeoutMs, Moment* arrival = nullptr);
    void Forget();

private:
    void Read();

    int m_socket = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    std::vector<std::pair<QString, Moment>> m_events;
};

int FreeTcpPort();
QString MachineDescription();
