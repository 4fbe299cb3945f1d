// One liblinphone core with its files, its settings and the pump that iterates
// it. The core keeps its configuration, databases and logs in the data folder,
// which only the user can enter; nothing goes to the home folder's root.
#pragma once

#include "CorePump.h"
#include "LinphoneClientFactory.h"
#include "SipGuard.h"

#include <QString>

#include <memory>

namespace linphone {
class Core;
class CoreListener;
class Config;
} // namespace linphone

class CCoreHost {
public:
    explicit CCoreHost(const LinphoneClientOptions& options);
    ~CCoreHost();
    CCoreHost(const CCoreHost&) = delete;
    CCoreHost& operator=(const CCoreHost&) = delete;

    // Creates and starts the core; its callbacks go to the listener.
    HRESULT Start(const std::shared_ptr<linphone::CoreListener>& listener);
    // Asks the core to stop; its global state reaches Off later, while it is still iterated.
    void StopAsync();
    // Stops the core at once (if it still runs) and releases it.
    void Release();

    const std::shared_ptr<linphone::Core>& core() const { return m_core; }
    CCorePump& pump() { return m_pump; }
    CSipGuard& guard() { return m_guard; }
    const QString& dataDir() const { return m_dataDir; }
    const LinphoneClientOptions& options() const { return m_options; }
    // Whether calls use the sound files instead of devices (configured, or no device found).
    bool usesFiles() const { return m_usesFiles; }

    // Listening ports per transport: 0 off, -1 any free port, else that port.
    void SetListening(int udpPort, int tcpPort, int tlsPort);
    // The address of SIP and RTP sockets; the listening sockets are opened again.
    void SetBindAddress(const QString& address);
    void SetUserAgent(const QString& name, const QString& version);

    // Restricts the data folder and the files in it to their owner.
    void RestrictPermissions() const;

private:
    std::shared_ptr<linphone::Config> CreateConfig() const;
    // A TLS server must show a certificate of a trusted authority for its own name.
    void ConfigureTls();
    void ConfigureMedia();
    void SyncSipPorts();

    LinphoneClientOptions m_options;
    QString m_dataDir;
    std::shared_ptr<linphone::Core> m_core;
    bool m_tracing = false;
    CCorePump m_pump;
    CSipGuard m_guard;
    bool m_usesFiles = false;
    QString m_bindAddress;
};
