#include "XcapClient.h"

#include <QAuthenticator>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {
constexpr int kTimeoutMs = 10000;
}

CXcapClient::CXcapClient(QObject* parent) : QObject(parent)
{
    connect(&m_network, &QNetworkAccessManager::authenticationRequired, this,
            [this](QNetworkReply* reply, QAuthenticator* authenticator) {
                // Credentials are offered once per request: a second challenge means they are wrong.
                if (m_authenticated) {
                    reply->abort();
                    return;
                }
                m_authenticated = true;
                authenticator->setUser(m_user);
                authenticator->setPassword(m_password);
            });
}

void CXcapClient::SetTarget(const QUrl& document, const QString& user, const QString& password)
{
    m_url = document;
    m_user = user;
    m_password = password;
}

void CXcapClient::Upload(const QByteArray& document)
{
    m_next = document;
    m_waiting = true;
    if (!m_reply)
        Send();
}

void CXcapClient::Send()
{
    if (!m_waiting || !m_url.isValid())
        return;
    m_waiting = false;
    m_authenticated = false;
    QNetworkRequest request(m_url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/auth-policy+xml"));
    request.setTransferTimeout(kTimeoutMs);
    m_reply = m_network.put(request, m_next);
    connect(m_reply, &QNetworkReply::finished, this, [this, reply = m_reply] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool ok = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
        reply->deleteLater();
        m_reply = nullptr;
        if (m_waiting)
            Send();
        else
            emit uploaded(ok);
    });
}
