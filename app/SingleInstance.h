// One phone per user. The first start listens on a local socket in the user's
// runtime folder; a later start hands it its address (maybe empty) and ends. A
// socket file left behind by a crash is taken over.
#pragma once

#include <QLocalServer>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcSingleInstance)

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // A request is one line of UTF-8 text; longer ones are refused.
    static constexpr int kMaxRequestBytes = 1024;
    // Clients served at once; a further one is turned away.
    static constexpr int kMaxClients = 8;
    // How long a client may take to send its line, and a start to get its answer.
    static constexpr int kRequestTimeoutMs = 5000;
    static inline const QByteArray kAnswer = QByteArrayLiteral("ok\n");

    enum class EStart {
        First,    // this is the phone: requests arrive through addressReceived
        HandedOn, // the running phone took the address; this start ends
        NoAnswer, // a phone is there but did not confirm; this start ends
    };

    explicit CSingleInstance(QString socketPath, QObject* parent = nullptr);

    // The socket of the user's phone: in the runtime folder, one per settings
    // folder, so a phone with settings of its own (the demo) runs beside it.
    // Empty when the user has no private runtime folder.
    static QString DefaultSocketPath();

    EStart Start(const QString& address);
    bool IsListening() const { return m_server.isListening(); }

signals:
    // A later start asked for the phone; the address may be empty.
    void addressReceived(const QString& address);

private:
    void Listen();
    void OnNewConnection();

    QString m_socketPath;
    QLocalServer m_server;
    int m_clients = 0;
};
