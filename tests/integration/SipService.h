// The local SIP service (scripts/sip-service) for one test: Kamailio on a free
// loopback port (UDP and TCP) and another one for TLS, started here and stopped
// by its PID.
#pragma once

#include <QString>

class CSipService {
public:
    static constexpr const char* kDomain = "sip.orvalo.test";

    explicit CSipService(QString folder);
    ~CSipService();
    CSipService(const CSipService&) = delete;
    CSipService& operator=(const CSipService&) = delete;

    // Starts the service (on the port it had before, if it ran already); false with a message on failure.
    bool Start(bool forbiddenOnBadPassword = false);
    void Stop();
    bool running() const { return m_pid > 0; }
    int port() const { return m_port; }
    int tlsPort() const { return m_tlsPort; }
    // The outbound proxy as the program passes it: 127.0.0.1:port.
    QString server() const;
    // The same for TLS: 127.0.0.1:TLS port.
    QString tlsServer() const;
    // The certificate of the test CA that signed the service's TLS certificate.
    QString caFile() const;
    const QString& error() const { return m_error; }
    static QString Uri(const QString& number);

private:
    QString m_folder;
    int m_port = 0;
    int m_tlsPort = 0;
    qint64 m_pid = 0;
    QString m_error;
};
