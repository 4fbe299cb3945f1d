#include "EventHub.h"

HRESULT CEventHub::Advise(const RtcEventSinkPtr& sink, int& cookie)
{
    if (!sink)
        return E_POINTER;
    cookie = m_nextCookie++;
    m_sinks.emplace(cookie, sink);
    return S_OK;
}

HRESULT CEventHub::Unadvise(int cookie)
{
    return m_sinks.erase(cookie) ? S_OK : E_INVALIDARG;
}

void CEventHub::UnadviseAll()
{
    m_sinks.clear();
    m_queue.clear();
}

void CEventHub::Post(RTC_EVENT type, RtcEventPtr event)
{
    if (!Wants(type) || !event)
        return;
    m_queue.emplace_back(type, std::move(event));
    if (!m_flushScheduled) {
        m_flushScheduled = true;
        QMetaObject::invokeMethod(this, &CEventHub::Flush, Qt::QueuedConnection);
    }
}

void CEventHub::Flush()
{
    m_flushScheduled = false;
    auto queue = std::move(m_queue);
    m_queue.clear();
    // A sink may unadvise itself while events are handed out: walk a copy.
    const auto sinks = m_sinks;
    for (const auto& [type, event] : queue) {
        for (const auto& [cookie, sink] : sinks)
            sink->Event(type, event);
    }
}
