// The layer's connection point: the registered sinks and the event filter.
// Events are queued and handed to the sinks from the event loop, so that no sink
// ever runs inside a library callback or inside one of the layer's operations.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <QObject>

#include <map>
#include <utility>
#include <vector>

class CEventHub : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    HRESULT Advise(const RtcEventSinkPtr& sink, int& cookie);
    HRESULT Unadvise(int cookie);
    void UnadviseAll();

    void SetFilter(int filter) { m_filter = filter; }
    int filter() const { return m_filter; }
    bool Wants(RTC_EVENT type) const { return RtcEventPassesFilter(type, m_filter); }

    // Queues the event when the filter lets its type through.
    void Post(RTC_EVENT type, RtcEventPtr event);

private:
    void Flush();

    std::map<int, RtcEventSinkPtr> m_sinks;
    int m_nextCookie = 1;
    int m_filter = 0;
    std::vector<std::pair<RTC_EVENT, RtcEventPtr>> m_queue;
    bool m_flushScheduled = false;
};
