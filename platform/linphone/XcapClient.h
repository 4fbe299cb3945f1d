// Stores the user's presence authorisation rules on the service (XCAP over HTTP,
// digest authentication with the SIP credentials). Uploads are asynchronous;
// a newer document replaces one that has not gone out yet.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkReply;

class CXcapClient : public QObject {
    Q_OBJECT
public:
    explicit CXcapClient(QObject* parent = nullptr);

    void SetTarget(const QUrl& document, const QString& user, const QString& password);
    void Upload(const QByteArray& document);

signals:
    // The last upload finished; false if the service refused it or could not be reached.
    void uploaded(bool ok);

private:
    void Send();

    QNetworkAccessManager m_network;
    QUrl m_url;
    QString m_user;
    QString m_password;
    QByteArray m_next;
    bool m_waiting = false;
    QPointer<QNetworkReply> m_reply;
    bool m_authenticated = false;
    int m_attempts = 0; // failed tries of the current document
};
