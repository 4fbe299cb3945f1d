// The queued form of a library event on its way to the user-interface thread.
#pragma once

#include "platform/rtc/RtcEvents.h"

#include <QEvent>

// The message number under which library events travel; kept as the program's
// own name for them.
constexpr int WM_RTC_EVENT = 0x464;

class CRtcEventMessage : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + WM_RTC_EVENT);

    CRtcEventMessage(RTC_EVENT rtcType, RtcEventPtr rtcEvent)
        : QEvent(kType), m_rtcType(rtcType), m_rtcEvent(std::move(rtcEvent))
    {
    }

    RTC_EVENT rtcType() const { return m_rtcType; }
    // The message owns one reference to the event; it goes with the message.
    const RtcEventPtr& rtcEvent() const { return m_rtcEvent; }

private:
    RTC_EVENT m_rtcType;
    RtcEventPtr m_rtcEvent;
};
