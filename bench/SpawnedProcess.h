// A program the benchmark starts and times from outside: the moment of the
// spawn is kept, and its output is read on a thread of its own, so that the
// moment a line arrives is known to a fraction of a millisecond whatever the
// benchmark's thread is doing. Stopped by its PID.
#pragma once

#include "BenchSupport.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <sys/types.h>
#include <thread>

class CSpawnedProcess {
public:
    CSpawnedProcess() = default;
    ~CSpawnedProcess();
    CSpawnedProcess(const CSpawnedProcess&) = delete;
    CSpawnedProcess& operator=(const CSpawnedProcess&) = delete;

    // Starts the program (searched in PATH) with the arguments; false if it could not be started.
    bool Start(const QString& program, const QStringList& arguments);
    // Waits until the output holds the text and gives the moment it arrived; false when the time ran out.
    bool WaitOutput(const QString& text, int timeoutMs, Moment* arrival = nullptr);
    // SIGTERM, then SIGKILL if it does not end within a few seconds.
    void Stop();
    pid_t pid() const { return m_pid; }
    Moment spawned() const { return m_spawned; }

private:
    void Read();

    pid_t m_pid = -1;
    int m_output = -1;
    Moment m_spawned;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    // Each piece of output with the moment it was read.
    std::vector<std::pair<QByteArray, Moment>> m_pieces;
};
