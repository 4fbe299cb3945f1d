// A program a test runs next to itself (baresip, the peer): started here, its
// output collected while the event loop runs, stopped by its PID.
#pragma once

#include <QProcess>
#include <QString>

class CChildProcess {
public:
    ~CChildProcess();

    // Starts the program and waits until it printed readyText; false if it did not.
    bool Start(const QString& program, const QStringList& arguments, const QString& readyText, int timeoutMs = 10000);
    // Waits until the output holds the text; false when the time ran out or the program ended.
    bool WaitOutput(const QString& text, int timeoutMs = 10000);
    // SIGTERM, then SIGKILL if it does not end in time; returns its exit code (-1 if killed).
    int Stop();
    // All output so far, including what arrived since the last look.
    const QString& output();
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
    QString m_output;
};
