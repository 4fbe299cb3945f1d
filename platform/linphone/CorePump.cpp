#include "CorePump.h"

#include "SipSockets.h"

#include <QSocketNotifier>

#include <algorithm>

namespace {
constexpr int kMaxStuckWakeups = 50;
}

CCorePump::CCorePump(std::function<void()> iterate, QObject* parent) : QObject(parent), m_iterate(std::move(iterate))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CCorePump::OnTimer);
    m_clock.start();
}

CCorePump::~CCorePump()
{
    Stop();
}

void CCorePump::Start()
{
    m_running = true;
    RescanSockets();
    Poke();
}

void CCorePump::Stop()
{
    m_running = false;
    m_timer.stop();
    ClearNotifiers();
}

void CCorePump::Poke()
{
    if (!m_running)
        return;
    m_fastUntilMs = m_clock.elapsed() + kBurstMs;
    m_settledAtMs = m_fastUntilMs + kSettlingMs;
    if (!m_iterating)
        m_timer.start(0);
}

void CCorePump::SetMediaActive(bool active)
{
    m_mediaActive = active;
    Poke();
}

void CCorePump::SetSipPorts(const std::set<int>& ports)
{
    m_filter.localPorts = ports;
    if (ports.empty())
        m_filter.peers.clear();
    RescanSockets();
}

void CCorePump::AddSipPeer(const QHostAddress& address, int port)
{
    const auto peer = std::make_pair(address, port);
    if (std::find(m_filter.peers.begin(), m_filter.peers.end(), peer) == m_filter.peers.end())
        m_filter.peers.push_back(peer);
    RescanSockets();
}

void CCorePump::RescanSockets()
{
    if (!m_running) {
        ClearNotifiers();
        return;
    }
    std::vector<int> sockets = FindSipSockets(m_filter);
    std::vector<int> watched;
    for (const auto& notifier : m_notifiers)
        watched.push_back(static_cast<int>(notifier->socket()));
    std::sort(sockets.begin(), sockets.end());
    std::sort(watched.begin(), watched.end());
    if (sockets == watched)
        return;
    ClearNotifiers();
    for (int fd : sockets) {
        auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this, [this, fd] { OnSocketActivated(fd); });
        m_notifiers.push_back(std::move(notifier));
    }
    m_stuckWakeups = 0;
}

void CCorePump::ClearNotifiers()
{
    for (auto& notifier : m_notifiers)
        notifier->setEnabled(false);
    m_notifiers.clear();
}

void CCorePump::OnSocketActivated(int fd)
{
    if (m_iterating || m_holds > 0)
        return;
    if (m_arrivalWatcher) {
        const SPeekedDatagram peeked = PeekDatagram(fd);
        if (m_arrivalWatcher(reinterpret_cast<const sockaddr*>(&peeked.sender), peeked.bytes)) {
            AfterPostedEvents({}); // the stack reads the datagram after the program has its events
            return;
        }
    }
    const qint64 queuedBefore = QueuedBytes(fd);
    const QByteArray headBefore = QueueHead(fd);
    RunIteration();
    // The stack takes one message per iteration; while it works a burst off, the
    // notifier fires again at once. While more arrives than it takes, the queue
    // grows though the stack reads: only a queue that neither shrinks nor moves is stuck.
    const qint64 queuedAfter = QueuedBytes(fd);
    const bool progress = (queuedAfter >= 0 && queuedAfter < queuedBefore) || QueueHead(fd) != headBefore;
    if (!progress && IsSipSocket(fd, m_filter) && IsReadable(fd)) {
        if (++m_stuckWakeups > kMaxStuckWakeups)
            ClearNotifiers();
    } else {
        m_stuckWakeups = 0;
    }
    m_fastUntilMs = m_clock.elapsed() + kBurstMs;
    m_settledAtMs = m_fastUntilMs + kSettlingMs;
    Schedule();
}

void CCorePump::AfterPostedEvents(std::function<void()> work)
{
    if (!m_running)
        return;
    // The events were posted to the layer's hub, whose sinks post them on to the
    // program: two turns of the posted events, then the work.
    ++m_holds;
    SetNotifiersEnabled(false);
    QMetaObject::invokeMethod(
        this,
        [this, work = std::move(work)]() mutable {
            QMetaObject::invokeMethod(
                this,
                [this, work = std::move(work)] {
                    if (--m_holds == 0)
                        SetNotifiersEnabled(true);
                    if (!m_running)
                        return;
                    if (work)
                        work();
                    RunIteration();
                    Poke();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void CCorePump::SetNotifiersEnabled(bool enabled)
{
    for (auto& notifier : m_notifiers)
        notifier->setEnabled(enabled);
}

void CCorePump::OnTimer()
{
    if (m_holds > 0)
        return; // the core goes on once the program has had its events
    RunIteration();
    // Connections to servers come and go; listening sockets only change with the
    // transports. Sockets left to the timer as stuck get another chance.
    if ((!m_filter.peers.empty() || m_notifiers.empty()) && m_clock.elapsed() >= m_fastUntilMs && !m_mediaActive)
        RescanSockets();
    Schedule();
}

void CCorePump::RunIteration()
{
    // A nested event loop started from inside the core must not iterate it again.
    if (m_iterating || !m_running)
        return;
    m_iterating = true;
    ++m_iterations;
    m_iterate();
    m_iterating = false;
}

void CCorePump::Schedule()
{
    if (!m_running)
        return;
    const qint64 now = m_clock.elapsed();
    int period = kIdlePeriodMs;
    if (now < m_fastUntilMs)
        period = kFastPeriodMs;
    else if (m_mediaActive)
        period = kMediaPeriodMs;
    else if (now < m_settledAtMs)
        period = kSettlingPeriodMs;
    m_timer.start(period);
}
