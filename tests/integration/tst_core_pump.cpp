// The loop that drives the SIP stack, with a stand-in stack that, like the real
// one, takes a single datagram from its socket per iteration: a burst must be
// worked off while it lasts, and a socket the stack leaves alone must not spin.
#include "platform/linphone/CorePump.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// What the layer does with an event: its hub posts it to a sink, which posts it
// on to the program; "program told" is noted after those two turns.
void TellProgram(QObject& program, QStringList& order)
{
    QMetaObject::invokeMethod(
        &program,
        [&] {
            QMetaObject::invokeMethod(
                &program, [&] { order << QStringLiteral("program told"); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
} // namespace

class TestCorePump : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void burstIsWorkedOffWhileItLasts();
    void unreadSocketDoesNotSpinTheLoop();
    void socketStaysWatchedWhileMoreArrivesThanIsRead();
    void watchedArrivalWaitsForThePostedEvents();
    void workWaitsForThePostedEvents();

private:
    // Sends the datagrams to the stack's socket, as fast as the system takes them.
    void SendBurst(int count);
    void SendDatagram(const QByteArray& datagram);
    int OpenUdpSocket(quint16 port = 0);

    int m_stackSocket = -1;
    int m_senderSocket = -1;
    quint16 m_stackPort = 0;
};

int TestCorePump::OpenUdpSocket(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return -1;
    // Room for the whole burst: the test is about reading, not about drops.
    const int size = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    return fd;
}

void TestCorePump::init()
{
    m_stackSocket = OpenUdpSocket();
    m_senderSocket = OpenUdpSocket();
    QVERIFY(m_stackSocket >= 0 && m_senderSocket >= 0);
    sockaddr_in bound{};
    socklen_t length = sizeof(bound);
    QCOMPARE(::getsockname(m_stackSocket, reinterpret_cast<sockaddr*>(&bound), &length), 0);
    m_stackPort = ntohs(bound.sin_port);
}

void TestCorePump::cleanup()
{
    for (int* fd : {&m_stackSocket, &m_senderSocket}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void TestCorePump::SendBurst(int count)
{
    const QByteArray datagram(600, 'x'); // about the size of a SIP answer
    for (int i = 0; i < count; ++i)
        SendDatagram(datagram);
}

void TestCorePump::SendDatagram(const QByteArray& datagram)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(m_stackPort);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::sendto(m_senderSocket, datagram.constData(), datagram.size(), 0,
                      reinterpret_cast<const sockaddr*>(&target), sizeof(target)),
             datagram.size());
}

void TestCorePump::burstIsWorkedOffWhileItLasts()
{
    int received = 0;
    CCorePump pump([&] {
        char buffer[2048];
        if (::recv(m_stackSocket, buffer, sizeof(buffer), MSG_DONTWAIT) > 0)
            ++received;
    });
    pump.SetSipPorts({m_stackPort});
    pump.Start();
    QTest::qWait(50);

    // Ten times more than the loop tolerates from a socket that does not drain.
    const int burst = 500;
    SendBurst(burst);
    // Left to the timer, the rest of the burst would take minutes; read as it
    // arrives, it takes a fraction of a second.
    QTRY_COMPARE_WITH_TIMEOUT(received, burst, 10000);

    // And the socket is still watched: a later message is taken at once, not at the next idle tick.
    QTest::qWait(CCorePump::kBurstMs + 2 * CCorePump::kSettlingPeriodMs);
    SendBurst(1);
    QTRY_COMPARE_WITH_TIMEOUT(received, burst + 1, CCorePump::kIdlePeriodMs / 2);
    pump.Stop();
}

void TestCorePump::unreadSocketDoesNotSpinTheLoop()
{
    CCorePump pump([] {}); // a stack that never reads this socket
    pump.SetSipPorts({m_stackPort});
    pump.Start();
    SendBurst(1);
    QTest::qWait(1000);
    // Spinning would be tens of thousands of iterations in a second; a fast burst
    // of the timer is a few hundred.
    QVERIFY2(pump.iterationCount() < 2000, qPrintable(QString::number(pump.iterationCount())));
    pump.Stop();
}

// A flood during a call: more arrives than the stack takes in an iteration, so
// the queue grows though the stack reads. Left to the call's timer, the rest
// would take half a minute (the service's retransmissions and a caller's
// messages waiting behind it); read as it arrives, a fraction of a second.
void TestCorePump::socketStaysWatchedWhileMoreArrivesThanIsRead()
{
    constexpr int kReads = 300;
    int received = 0;
    int sent = 1;
    CCorePump pump([&] {
        char buffer[2048];
        if (::recv(m_stackSocket, buffer, sizeof(buffer), MSG_DONTWAIT) <= 0)
            return;
        ++received;
        for (int more = 0; more < 2 && sent < 2 * kReads; ++more)
            SendDatagram("datagram " + QByteArray::number(sent++));
    });
    pump.SetSipPorts({m_stackPort});
    pump.Start();
    pump.SetMediaActive(true);
    QTest::qWait(50);
    SendDatagram("datagram 0");
    QTRY_VERIFY_WITH_TIMEOUT(received >= kReads, 5000);
    pump.Stop();
}

// A datagram the watcher reports on is read by the stack only after the events
// it posted have gone the whole way to the program: from the layer's hub to its
// sink, and from the sink to the engine, each a turn of the posted events.
void TestCorePump::watchedArrivalWaitsForThePostedEvents()
{
    QStringList order;
    QObject program;
    CCorePump pump([&] {
        char buffer[2048];
        const ssize_t got = ::recv(m_stackSocket, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (got > 0)
            order << QStringLiteral("stack read ") + QString::fromLatin1(buffer, got);
    });
    pump.SetArrivalWatcher([&](const sockaddr*, const QByteArray& datagram) {
        if (!datagram.startsWith("BYE"))
            return false;
        TellProgram(program, order);
        return true;
    });
    pump.SetSipPorts({m_stackPort});
    pump.Start();
    QTest::qWait(50);

    SendDatagram("OPTIONS");
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 1, 5000);
    SendDatagram("BYE");
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, 5000);
    QCOMPARE(order, QStringList({QStringLiteral("stack read OPTIONS"), QStringLiteral("program told"),
                                 QStringLiteral("stack read BYE")}));
    pump.Stop();
}

// The user's own hang-up: the program hears of it before the library does the
// work, and the core is not iterated in between, even with a datagram waiting.
void TestCorePump::workWaitsForThePostedEvents()
{
    QStringList order;
    QObject program;
    CCorePump pump([&] {
        char buffer[2048];
        const ssize_t got = ::recv(m_stackSocket, buffer, sizeof(buffer), MSG_DONTWAIT);
        order << (got > 0 ? QStringLiteral("stack read ") + QString::fromLatin1(buffer, got)
                          : QStringLiteral("iterated"));
    });
    pump.SetSipPorts({m_stackPort});
    pump.Start();
    QTest::qWait(50);
    order.clear();

    TellProgram(program, order);
    pump.AfterPostedEvents([&] { order << QStringLiteral("work"); });
    pump.Poke();
    SendDatagram("INVITE");
    QTRY_VERIFY_WITH_TIMEOUT(order.contains(QStringLiteral("stack read INVITE")), 5000);
    QCOMPARE(order.mid(0, 3), QStringList({QStringLiteral("program told"), QStringLiteral("work"),
                                           QStringLiteral("stack read INVITE")}));
    pump.Stop();
}

QTEST_GUILESS_MAIN(TestCorePump)
#include "tst_core_pump.moc"
