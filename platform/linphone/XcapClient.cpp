#include "XcapClient.h"

#include <QAuthenticator>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {
constexpr int kTimeoutMs = 10000;
// A server that fails for a moment (a busy store, a restart) gets a few more tries.
constexpr int kMaxAttempts = 4;
constexpr int kRetryDelayMs = 250;

bool IsTransient(const QNetworkReply& reply, int status)
{
    return status >= 500 || reply.error() == QNetworkReply::ConnectionRefusedError ||
           reply.error() == QNetworkReply::RemoteHostClosedError || reply.error() == QNetworkReply::TimeoutError;
}
} // namespace

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
    m_attempts = 0;
    if (!m_reply)
        Send();
}

void CXcapClient::Send()
{
    if (!m_waiting || !m_url.isValid())
        return;
    m_waiting = false;
    m_authenticated = false;
    // Credentials answer the server's own challenge: cached ones would carry a nonce
    // that a restarted server no longer knows, and the upload would fail for good.
    m_network.clearAccessCache();
    QNetworkRequest request(m_url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/auth-policy+xml"));
    request.setTransferTimeout(kTimeoutMs);
    m_reply = m_network.put(request, m_next);
    connect(m_reply, &QNetworkReply::finished, this, [this, reply = m_reply] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool ok = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
        const bool retry = !ok && !m_waiting && IsTransient(*reply, status) && ++m_attempts < kMaxAttempts;
        reply->deleteLater();
        m_reply = nullptr;
        if (retry) {
            m_waiting = true; // the same document again, a little later
            QTimer::singleShot(kRetryDelayMs * m_attempts, this, [this] {
                if (!m_reply)
                    Send();
            });
        } else if (m_waiting) {
            Send();
        } else {
            emit uploaded(ok);
        }
    });
}
