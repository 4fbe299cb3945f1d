#include "LinkDialer.h"

#include "OrvaloPhoneView.h"
#include "engine/AddressRules.h"
#include "engine/LinkAddress.h"
#include "engine/MessageBox.h"

CLinkDialer::CLinkDialer(COrvaloPhoneView& view, QObject* parent) : QObject(parent), m_view(view)
{
    // Queued: the call is placed from the event loop, not inside the registration event.
    if (CClientEngine* engine = m_view.Engine())
        connect(engine, &CClientEngine::loggedOn, this, &CLinkDialer::DialPending, Qt::QueuedConnection);
}

void CLinkDialer::Dial(const QString& link)
{
    const QString number = NumberFromLink(link);
    if (CheckPhoneNumber(number) != 0) {
        CMessageBox::Show(&m_view, QLatin1String(kInvalidNumberMessage), QLatin1String(kInvalidNumberCaption));
        return;
    }
    m_pendingAddress = ToServiceSipUri(number);
    DialPending();
}

void CLinkDialer::DialPending()
{
    const CClientEngine* engine = m_view.Engine();
    if (m_pendingAddress.isEmpty() || !engine || !engine->IsLoggedOn())
        return;
    m_view.PlaceCall(std::exchange(m_pendingAddress, QString()));
}
