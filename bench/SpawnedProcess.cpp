#include "SpawnedProcess.h"

#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
constexpr int kStopWaitMs = 5000;
}

CSpawnedProcess::~CSpawnedProcess()
{
    Stop();
}

bool CSpawnedProcess::Start(const QString& program, const QStringList& arguments)
{
    int pipeEnds[2];
    if (m_pid > 0 || ::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return false;
    std::vector<QByteArray> texts{program.toLocal8Bit()};
    for (const QString& argument : arguments)
        texts.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    m_spawned = Now();
    const int failed = posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (failed) {
        m_pid = -1;
        ::close(pipeEnds[0]);
        return false;
    }
    m_output = pipeEnds[0];
    m_reader = std::thread([this] { Read(); });
    return true;
}

void CSpawnedProcess::Read()
{
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(m_output, chunk, sizeof(chunk));
        if (got <= 0)
            return;
        const Moment arrival = Now();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pieces.emplace_back(QByteArray(chunk, got), arrival);
        m_arrived.notify_all();
    }
}

bool CSpawnedProcess::WaitOutput(const QString& text, int timeoutMs, Moment* arrival)
{
    const QByteArray wanted = text.toUtf8();
    const auto deadline = Now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_arrived.wait_until(lock, deadline, [&] {
        QByteArray all;
        for (const auto& [piece, moment] : m_pieces) {
            all += piece;
            if (all.contains(wanted)) {
                if (arrival)
                    *arrival = moment;
                return true;
            }
        }
        return false;
    });
}

void CSpawnedProcess::Stop()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        const auto deadline = Now() + std::chrono::milliseconds(kStopWaitMs);
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (Now() > deadline) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                break;
            }
            QThread::msleep(5);
        }
        m_pid = -1;
    }
    if (m_reader.joinable())
        m_reader.join();
    if (m_output >= 0)
        ::close(m_output);
    m_output = -1;
}
