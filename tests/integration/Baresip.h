// A baresip instance as an independent peer: registered at the local service as
// one account, it plays a tone file into its calls, answers calls at once and
// keeps what it receives in a WAV file. Started here, stopped by its PID.
#pragma once

#include "ChildProcess.h"
#include "Endpoint.h"

#include <QString>

class CBaresip {
public:
    CBaresip(const QString& folder, const CSipService& service, const CEndpoint::Account& account,
             const QString& playFile);

    // Makes baresip take commands and report events over TCP (its ctrl_tcp module) on the port.
    void EnableControl(int port);
    // Starts baresip; with a URI it dials it at once. False if it did not come up.
    bool Start(const QString& dialUri = {});
    // Waits until baresip has printed the text; false when the time ran out or it ended.
    bool WaitOutput(const QString& text, int timeoutMs = 10000) { return m_process.WaitOutput(text, timeoutMs); }
    // Baresip hangs up and unregisters on its way out.
    void Stop() { m_process.Stop(); }
    // The audio baresip received in its last call (WAV), or empty.
    QString ReceivedAudio() const;
    const QString& folder() const { return m_folder; }
    qint64 pid() const { return m_process.pid(); }

private:
    QString m_folder;
    CChildProcess m_process;
};
