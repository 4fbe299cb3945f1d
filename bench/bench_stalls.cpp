// How long the whole program's event loop stalls while hostile SIP arrives: the
// fuzzer's traffic mix (tests/hostile/SipStorm.h) sent to the real program,
// through the local service while only the service may send SIP, and straight
// to the phone with that turned off, over UDP and TCP. The program reports each
// stall of its event loop over 50 ms (--report-stalls) with the part its thread
// spent running (the rest went to other programs on a busy machine); the
// benchmark prints per path the longest stall, how many passed the goal of
// 100 ms and 250 ms, and the same for the running part.
//
//   orvalo-bench-stalls [requests per path (2000)]
//
// Needs DISPLAY (scripts/bench-stalls runs it under Xvfb): the windows and
// prompts hostile requests may open cost what they cost on a real X server.
#include "BenchSupport.h"
#include "Endpoint.h"
#include "PhoneProcess.h"
#include "SipService.h"
#include "SipStorm.h"
#include "SipTraffic.h"
#include "TestHome.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kRegisterMs = 30000;
// The service resends what the phone dropped for up to 32 s.
constexpr int kAfterStormMs = 60000;
constexpr int kGoalMs = 100;
constexpr int kNewSenders = 200;
const CEndpoint::Account& kPhone = CEndpoint::kAlice;

struct Path {
    const char* name;
    bool direct;
    SipTransport transport;
    quint32 seed;
};
// The fuzzer test's paths and seeds.
constexpr Path kPaths[] = {{"UDP through the service", false, SipTransport::Udp, 1},
                           {"TCP through the service", false, SipTransport::Tcp, 2},
                           {"UDP straight to the phone", true, SipTransport::Udp, 3},
                           {"TCP straight to the phone", true, SipTransport::Tcp, 4}};

using Stall = CPhoneProcess::Stall;

int CountOver(const QList<Stall>& stalls, int ms, int Stall::*part)
{
    return static_cast<int>(
        std::count_if(stalls.begin(), stalls.end(), [ms, part](const Stall& stall) { return stall.*part > ms; }));
}

int Longest(const QList<Stall>& stalls, int Stall::*part)
{
    int longest = 0;
    for (const Stall& stall : stalls)
        longest = std::max(longest, stall.*part);
    return longest;
}

QString Row(const QString& name, int requests, const QList<Stall>& stalls, const QString& answers)
{
    return QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 |")
        .arg(name)
        .arg(requests)
        .arg(stalls.size())
        .arg(Longest(stalls, &Stall::ms))
        .arg(CountOver(stalls, kGoalMs, &Stall::ms))
        .arg(CountOver(stalls, 250, &Stall::ms))
        .arg(Longest(stalls, &Stall::runningMs))
        .arg(CountOver(stalls, kGoalMs, &Stall::runningMs))
        .arg(answers);
}

class CStallBench {
public:
    explicit CStallBench(int requests) : m_requests(requests) {}

    bool Run()
    {
        CSipService service(m_home.NewFolder(QStringLiteral("service")));
        if (!service.Start()) {
            std::fprintf(stderr, "the local service did not start: %s\n", qPrintable(service.error()));
            return false;
        }
        CPhoneProcess phone(service, {kPhone.number, kPhone.password}, m_home.NewFolder(QStringLiteral("phone")));
        phone.SetPlatform(QStringLiteral("xcb"));
        const QByteArray address = CSipService::Uri(kPhone.number).toUtf8();
        QStringList rows;
        QList<Stall> all;
        for (const Path& path : kPaths) {
            // The phone is started again when direct SIP is turned on or off; without
            // its SIP trace, whose writing would be most of the work.
            if (!phone.running() || path.direct != m_direct) {
                phone.Stop();
                m_direct = path.direct;
                if (!phone.Start(path.direct, false) || !m_probe.Answers(service.port(), address, kRegisterMs)) {
                    std::fprintf(stderr, "the phone did not register:\n%s\n", qPrintable(phone.output()));
                    return false;
                }
            }
            const SipStormTarget target = path.direct ? SipStormTarget::Direct(kPhone.number, phone.sipPort())
                                                      : SipStormTarget::ThroughService(address, service.port());
            Measure(phone, service, QString::fromLatin1(path.name), m_requests, rows, all,
                    [&] { return SendSipStorm(m_fuzz, target, path.transport, m_requests, path.seed); });
        }
        // Each new sender gets a message window of its own.
        Measure(phone, service, QStringLiteral("MESSAGEs from %1 new senders through the service").arg(kNewSenders),
                kNewSenders, rows, all, [&] {
                    for (int i = 0; i < kNewSenders; ++i) {
                        SipRequest message;
                        message.requestUri = address;
                        message.from = "<sip:sender" + QByteArray::number(i) + "@senders.invalid>";
                        message.body = "hello " + QByteArray::number(i);
                        m_fuzz.SendUdp(message.Build(m_fuzz.port()), service.port());
                    }
                    return true;
                });
        rows << Row(QStringLiteral("all"), m_requests * static_cast<int>(std::size(kPaths)) + kNewSenders, all,
                    QStringLiteral("-"));
        std::printf(
            "Machine: %s\n\n"
            "| path | requests | stalls > 50 ms | longest (ms) | > %d ms (goal: none) | > 250 ms | longest "
            "running (ms) | running > %d ms | phone answers afterwards |\n|---|---|---|---|---|---|---|---|---|\n%s\n",
            qPrintable(MachineDescription()), kGoalMs, kGoalMs, qPrintable(rows.join(u'\n')));
        return true;
    }

private:
    // Sends what `send` sends and adds the row of the stalls it caused.
    void Measure(CPhoneProcess& phone, const CSipService& service, const QString& name, int requests, QStringList& rows,
                 QList<Stall>& all, const std::function<bool()>& send)
    {
        const qsizetype before = phone.output().size();
        CStopwatch watch;
        const bool sent = send();
        const double sendMs = watch.Ms();
        const bool answers = m_probe.Answers(service.port(), CSipService::Uri(kPhone.number).toUtf8(), kAfterStormMs);
        const QList<Stall> stalls = phone.StallsAfter(before);
        all += stalls;
        rows << Row(name, requests, stalls,
                    !sent     ? QStringLiteral("connection refused")
                    : answers ? QStringLiteral("yes")
                              : QStringLiteral("no"));
        std::fprintf(stderr, "%s: sent in %.0f ms, stalls (ms/running ms): %s\n", qPrintable(name), sendMs,
                     qPrintable(Join(stalls)));
    }

    // "120/15": 120 ms stalled, 15 ms of it running.
    static QString Join(const QList<Stall>& stalls)
    {
        QStringList texts;
        for (const Stall& stall : stalls)
            texts << QStringLiteral("%1/%2").arg(stall.ms).arg(stall.runningMs);
        return texts.isEmpty() ? QStringLiteral("none") : texts.join(u' ');
    }

    const int m_requests;
    CTestHome m_home;
    CSipTraffic m_probe;
    CSipTraffic m_fuzz;
    bool m_direct = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int requests = arguments.size() > 1 ? std::max(1, arguments.at(1).toInt()) : 2000;
    return CStallBench(requests).Run() ? 0 : 1;
}
