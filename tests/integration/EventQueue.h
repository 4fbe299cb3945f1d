// A sink that keeps the layer's events so that a test can wait, with a bound,
// for the one it expects while the Qt event loop runs.
#pragma once

#include "platform/rtc/RtcEvents.h"

#include <deque>
#include <functional>
#include <memory>

class CEventQueue final : public IRTCEventNotification {
public:
    static constexpr int kDefaultWaitMs = 10000;

    HRESULT Event(RTC_EVENT type, const RtcEventPtr& event) override;

    // The first queued event of the type that matches, removed from the queue;
    // events queued before it stay. Null when none came in time.
    template <typename E>
    std::shared_ptr<E> Take(RTC_EVENT type, const std::function<bool(const E&)>& match = {},
                            int timeoutMs = kDefaultWaitMs)
    {
        return std::static_pointer_cast<E>(TakeRaw(type, Matcher<E>(match), timeoutMs, false));
    }

    // Like Take, but the events of the type queued before the match are dropped too.
    template <typename E>
    std::shared_ptr<E> TakeThrough(RTC_EVENT type, const std::function<bool(const E&)>& match,
                                   int timeoutMs = kDefaultWaitMs)
    {
        return std::static_pointer_cast<E>(TakeRaw(type, Matcher<E>(match), timeoutMs, true));
    }

    // The next event of the type, whatever it says, removed from the queue.
    template <typename E> std::shared_ptr<E> Next(RTC_EVENT type, int timeoutMs = kDefaultWaitMs)
    {
        return Take<E>(type, {}, timeoutMs);
    }

    // Called with each event as it arrives, before it is queued: to see what else
    // holds at that moment.
    using ArrivalHook = std::function<void(RTC_EVENT type, const RtcEventPtr& event)>;
    void SetArrivalHook(ArrivalHook hook) { m_arrivalHook = std::move(hook); }

    // Runs the event loop for a while; the events keep arriving in the queue.
    static void Pump(int milliseconds);
    int Count(RTC_EVENT type) const;
    void Clear() { m_events.clear(); }

private:
    using Match = std::function<bool(const IRTCEvent&)>;
    struct Entry {
        RTC_EVENT type;
        RtcEventPtr event;
    };

    template <typename E> static Match Matcher(const std::function<bool(const E&)>& match)
    {
        return [match](const IRTCEvent& event) { return !match || match(static_cast<const E&>(event)); };
    }
    RtcEventPtr TakeRaw(RTC_EVENT type, const Match& match, int timeoutMs, bool dropEarlier);

    std::deque<Entry> m_events;
    ArrivalHook m_arrivalHook;
};
