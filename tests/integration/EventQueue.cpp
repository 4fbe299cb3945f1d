#include "EventQueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

HRESULT CEventQueue::Event(RTC_EVENT type, const RtcEventPtr& event)
{
    if (m_arrivalHook)
        m_arrivalHook(type, event);
    m_events.push_back({type, event});
    return S_OK;
}

RtcEventPtr CEventQueue::TakeRaw(RTC_EVENT type, const Match& match, int timeoutMs, bool dropEarlier)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        auto it = std::find_if(m_events.begin(), m_events.end(),
                               [&](const Entry& entry) { return entry.type == type && match(*entry.event); });
        if (it != m_events.end()) {
            RtcEventPtr event = it->event;
            const auto end = std::next(it);
            if (dropEarlier)
                m_events.erase(
                    std::remove_if(m_events.begin(), end, [type](const Entry& entry) { return entry.type == type; }),
                    end);
            else
                m_events.erase(it);
            return event;
        }
        if (deadline.hasExpired())
            return nullptr;
        Pump(5);
    }
}

void CEventQueue::Pump(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    } while (!deadline.hasExpired());
}

int CEventQueue::Count(RTC_EVENT type) const
{
    return static_cast<int>(
        std::count_if(m_events.begin(), m_events.end(), [type](const Entry& entry) { return entry.type == type; }));
}
