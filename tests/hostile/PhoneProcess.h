// The real program (the GUI binary, offscreen) as a child process, logged on
// automatically to the local service with its own settings and data folder,
// writing its SIP trace and telling its event-loop stalls; stopped by its PID.
#pragma once

#include <QProcess>
#include <QString>

class CSipService;

class CPhoneProcess {
public:
    struct Account {
        QString number;
        QString password;
    };

    // A stall of the event loop longer than this is reported by the program.
    static constexpr int kStallReportMs = 50;

    CPhoneProcess(const CSipService& service, const Account& account, QString folder);
    ~CPhoneProcess();
    CPhoneProcess(const CPhoneProcess&) = delete;
    CPhoneProcess& operator=(const CPhoneProcess&) = delete;

    // The Qt platform it runs on: offscreen unless set ("xcb" for a real X server).
    void SetPlatform(const QString& platform) { m_platform = platform; }
    // Starts the program (direct SIP allowed or not, with its SIP trace or not)
    // with auto logon; false if it did not start.
    bool Start(bool directSip, bool trace = true, const QStringList& more = {});
    // SIGTERM, then SIGKILL if it does not end in time.
    void Stop();
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    int sipPort() const { return m_sipPort; }
    QString dataDir() const;
    // Everything the program wrote on its standard output and error since it started.
    QString output();
    QString trace() const;
    struct Stall {
        int ms = 0;
        int runningMs = 0; // the part the program's thread spent running
    };
    // The stalls the program reported after the output had the given length.
    QList<Stall> StallsAfter(qsizetype outputPosition);
    // The longest of them, 0 if none.
    int LongestStallAfter(qsizetype outputPosition);

private:
    const CSipService& m_service;
    Account m_account;
    QString m_folder;
    int m_sipPort = 0;
    QString m_platform = QStringLiteral("offscreen");
    QProcess m_process;
    QString m_output;
};
