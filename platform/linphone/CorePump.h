// Drives a liblinphone core from the Qt event loop. The core only works while it
// is iterated, so the pump decides when: at once when one of its SIP sockets has
// data or the program asked for something, quickly for a short while after that
// (answers and follow-up work arrive in bursts), at a media pace while a call is
// up, once a second for a while after activity (retransmissions), and every few
// seconds when nothing happens (refreshes and keep-alives are not urgent).
#pragma once

#include "SipSockets.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <set>
#include <vector>

class QSocketNotifier;

class CCorePump : public QObject {
    Q_OBJECT
public:
    // Burst: how long the pump keeps iterating quickly after activity.
    static constexpr int kFastPeriodMs = 1;
    static constexpr int kBurstMs = 30;
    static constexpr int kMediaPeriodMs = 100;
    static constexpr int kSettlingPeriodMs = 1000;
    static constexpr int kSettlingMs = 15000;
    static constexpr int kIdlePeriodMs = 5000;

    explicit CCorePump(std::function<void()> iterate, QObject* parent = nullptr);
    ~CCorePump() override;

    void Start();
    void Stop();
    bool running() const { return m_running; }

    // Something happened that the core has to act on: iterate now and stay fast for a burst.
    void Poke();
    // While media flows, the core is iterated at the media pace even without activity.
    void SetMediaActive(bool active);
    // The SIP listening ports of the core; the sockets bound to them are watched.
    void SetSipPorts(const std::set<int>& ports);
    // A server the core keeps connections to (TCP, TLS); they are watched too.
    void AddSipPeer(const QHostAddress& address, int port);
    // Looks again for the core's sockets (they change with transports and connections).
    void RescanSockets();
    // Sees each datagram that arrives on a SIP socket before the stack reads it. When it
    // returns true, it has posted events that must reach the program first: the stack
    // reads the datagram only once the events posted until then have been handled.
    using ArrivalWatcher = std::function<bool(const sockaddr* sender, const QByteArray& datagram)>;
    void SetArrivalWatcher(ArrivalWatcher watcher) { m_arrivalWatcher = std::move(watcher); }
    // Runs the work once the events posted until now have reached the program, then
    // iterates; the core is not iterated in between. Lets the window show what the
    // user or the far end did before the library's slower work for it.
    void AfterPostedEvents(std::function<void()> work);

    int iterationCount() const { return m_iterations; }

private:
    void OnTimer();
    void OnSocketActivated(int fd);
    void Schedule();
    void RunIteration();
    void ClearNotifiers();
    void SetNotifiersEnabled(bool enabled);

    std::function<void()> m_iterate;
    ArrivalWatcher m_arrivalWatcher;
    // Work waiting for the program's events; the core is not iterated meanwhile.
    int m_holds = 0;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_fastUntilMs = 0;
    qint64 m_settledAtMs = 0;
    bool m_running = false;
    bool m_mediaActive = false;
    bool m_iterating = false;
    int m_iterations = 0;
    SipSocketFilter m_filter;
    std::vector<std::unique_ptr<QSocketNotifier>> m_notifiers;
    // A socket whose queue does not shrink across iterations is not being read by
    // the stack; it is then left to the timer for a while instead of spinning the loop.
    int m_stuckWakeups = 0;
};
