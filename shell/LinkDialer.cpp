#include "LinkDialer.h"

#include "OrvaloPhoneView.h"
#include "engine/AddressRules.h"
#include "engine/LinkAddress.h"
#include "engine/MessageBox.h"

#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcLinks, "orvalo.shell.links")
}

CLinkDialer::CLinkDialer(COrvaloPhoneView& view, QObject* parent, int waitForLogonMs)
    : QObject(parent), m_view(view), m_waitForLogonMs(waitForLogonMs)
{
    FollowEngine();
}

void CLinkDialer::FollowEngine()
{
    // Queued: the call is placed from the event loop, not inside the registration event.
    if (CClientEngine* engine = m_view.Engine())
        connect(engine, &CClientEngine::loggedOn, this, &CLinkDialer::DialPending,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
}

void CLinkDialer::Dial(const QString& link)
{
    const QString number = NumberFromLink(link);
    if (CheckPhoneNumber(number) != 0) {
        CMessageBox::Show(&m_view, QLatin1String(kInvalidNumberMessage), QLatin1String(kInvalidNumberCaption));
        return;
    }
    m_pendingAddress = ToServiceSipUri(number);
    m_waiting.start();
    DialPending();
}

void CLinkDialer::DialPending()
{
    const CClientEngine* engine = m_view.Engine();
    if (m_pendingAddress.isEmpty() || !engine || !engine->IsLoggedOn())
        return;
    if (m_waiting.hasExpired(m_waitForLogonMs)) {
        qCWarning(lcLinks) << "a link waited too long for the logon and was not called";
        m_pendingAddress.clear();
        return;
    }
    m_view.PlaceCall(std::exchange(m_pendingAddress, QString()));
}
