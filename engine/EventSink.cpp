#include "EventSink.h"

#include "RtcEventMessage.h"

#include <QCoreApplication>

HRESULT CEventSink::Event(RTC_EVENT type, const RtcEventPtr& event)
{
    std::lock_guard lock(m_mutex);
    if (m_target)
        QCoreApplication::postEvent(m_target.data(), new CRtcEventMessage(type, event));
    return S_OK;
}

void CEventSink::SetTarget(QObject* target)
{
    std::lock_guard lock(m_mutex);
    m_target = target;
}
