// Receives the library's events on whatever thread the library runs and queues
// them for the engine on the user-interface thread. It never touches engine state.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <QObject>
#include <QPointer>

#include <mutex>

class CEventSink : public IRTCEventNotification {
public:
    HRESULT Event(RTC_EVENT type, const RtcEventPtr& event) override;

    // The object that receives the queued events; events arriving without one are dropped.
    void SetTarget(QObject* target);

    int m_cookie = 0; // from the client's connection point

private:
    std::mutex m_mutex;
    QPointer<QObject> m_target;
};
