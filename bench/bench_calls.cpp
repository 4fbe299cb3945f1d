// Speed and cost of the RTC layer against the local service, next to baresip:
// start → registered, dial → connected, dial → audio heard, hang-ups in both
// directions, idle and in-call CPU, resident memory when idle and after 50
// calls. Both callers (this layer and baresip) call the same far end, a baresip
// that answers at once, so that only the caller differs. Costs are those of the
// headless peer (this layer in a process of its own). Prints a Markdown report.
//
//   orvalo-bench-calls [runs]      (default 7 runs per timing)
#include "AudioFile.h"
#include "Baresip.h"
#include "BenchSupport.h"
#include "Caller.h"
#include "ChildProcess.h"
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>

namespace {

constexpr int kWaitMs = 10000;
constexpr int kTalkMs = 500;
constexpr int kIdleMs = 20000;
constexpr int kInCallMs = 10000;
constexpr int kManyCalls = 50;

// The timings of one caller placing calls to the far end.
struct CallTimings {
    CSeries connected; // dial → the caller sees the call established
    CSeries heard;     // dial → the far end hears the caller's tone
    CSeries farEnded;  // the caller hangs up → the far end has ended the call
    CSeries sawEnd;    // the far end hangs up → the caller has ended the call
};

// This layer, in the benchmark's own process: it learns of changes through its events.
class CLayerCaller final : public ICaller {
public:
    CLayerCaller(const QString& folder, const QString& tone) : m_endpoint(folder, tone) {}
    bool Logon(const CSipService& service) { return m_endpoint.Logon(service, CEndpoint::kAlice); }
    bool Dial(const QString& uri, Moment& dialled) override
    {
        dialled = Now();
        m_call = m_endpoint.Call(uri);
        return m_call != nullptr;
    }
    bool WaitConnected(int timeoutMs, Moment& when) override { return Wait(RTCSS_CONNECTED, timeoutMs, when); }
    bool HangUp(Moment& pressed) override
    {
        pressed = Now();
        return SUCCEEDED(m_call->Terminate(RTCTR_NORMAL));
    }
    bool WaitEnded(int timeoutMs, Moment& when) override { return Wait(RTCSS_DISCONNECTED, timeoutMs, when); }
    void ShutDown() { m_endpoint.ShutDown(); }

private:
    bool Wait(RTC_SESSION_STATE state, int timeoutMs, Moment& when)
    {
        const bool reached = m_endpoint.WaitSession(state, m_call, timeoutMs) != nullptr;
        when = Now();
        return reached;
    }

    CEndpoint m_endpoint;
    RtcSessionPtr m_call;
};

class CBench {
public:
    explicit CBench(int runs)
        : m_runs(runs), m_service(m_home.NewFolder(QStringLiteral("service"))),
          m_sounds(m_home.NewFolder(QStringLiteral("sounds")))
    {
    }
    bool Prepare();
    void Run();

private:
    void Registration();
    CallTimings CallsFrom(ICaller& caller);
    void MeasureCall(ICaller& caller, bool callerHangsUp, CallTimings& timings);
    void Costs();
    QString Tone(const char* name) const { return m_sounds + QLatin1Char('/') + QLatin1String(name); }
    QStringList PeerArguments(const CEndpoint::Account& account, const QString& folder) const;
    void Row(const QString& what, const QString& layer, const QString& baresip);

    int m_runs;
    CTestHome m_home;
    CSipService m_service;
    QString m_sounds;
    std::unique_ptr<CBaresip> m_farEnd;
    CBaresipControl m_farControl;
    QStringList m_rows;
};

bool CBench::Prepare()
{
    if (!m_service.Start()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(m_service.error()));
        return false;
    }
    if (!CAudioFile::MakeTone(Tone("layer.wav"), 440, 900) || !CAudioFile::MakeTone(Tone("far.wav"), 700, 900, 8000) ||
        !CAudioFile::MakeTone(Tone("caller.wav"), 1000, 900, 8000))
        return false;
    m_farEnd = std::make_unique<CBaresip>(m_home.NewFolder(QStringLiteral("far-end")), m_service, CEndpoint::kFrank,
                                          Tone("far.wav"));
    const int port = FreeTcpPort();
    m_farEnd->EnableControl(port);
    return m_farEnd->Start() && m_farEnd->WaitOutput(QStringLiteral("200 OK")) && m_farControl.Connect(port);
}

QStringList CBench::PeerArguments(const CEndpoint::Account& account, const QString& folder) const
{
    return {QStringLiteral("--server"),    m_service.server(), QStringLiteral("--user"),     account.number,
            QStringLiteral("--password"),  account.password,   QStringLiteral("--data-dir"), folder,
            QStringLiteral("--play-file"), Tone("layer.wav")};
}

void CBench::Row(const QString& what, const QString& layer, const QString& baresip)
{
    m_rows << QStringLiteral("| %1 | %2 | %3 |").arg(what, layer, baresip);
    std::fprintf(stderr, "%s\n", qPrintable(m_rows.last()));
}

void CBench::Registration()
{
    CSeries inProcess;
    CSeries layerSpawn;
    CSeries baresipSpawn;
    for (int run = 0; run < m_runs; ++run) {
        {
            const CStopwatch clock;
            CEndpoint alice(m_home.NewFolder(QStringLiteral("register")));
            if (alice.Logon(m_service, CEndpoint::kAlice))
                inProcess.Add(clock.Ms());
            alice.ShutDown();
        }
        {
            CChildProcess peer;
            const CStopwatch clock;
            if (peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                           PeerArguments(CEndpoint::kBob, m_home.NewFolder(QStringLiteral("spawn"))),
                           QStringLiteral("registered"), kWaitMs))
                layerSpawn.Add(clock.Ms());
        }
        {
            CBaresip baresip(m_home.NewFolder(QStringLiteral("baresip-spawn")), m_service, CEndpoint::kBob,
                             Tone("caller.wav"));
            const CStopwatch clock;
            if (baresip.Start() && baresip.WaitOutput(QStringLiteral("200 OK"), kWaitMs))
                baresipSpawn.Add(clock.Ms());
        }
    }
    Row(QStringLiteral("client start → registered, 401 round included (ms)"), inProcess.Summary(), QStringLiteral("–"));
    Row(QStringLiteral("process spawn → registered, 401 round included (ms)"), layerSpawn.Summary(),
        baresipSpawn.Summary());
}

void CBench::MeasureCall(ICaller& caller, bool callerHangsUp, CallTimings& timings)
{
    // The far end keeps what it hears in a new dump file per call.
    const QDir received(m_farEnd->folder() + QStringLiteral("/received"));
    const QStringList known = received.entryList({QStringLiteral("*-dec.wav")}, QDir::Files);
    std::unique_ptr<CAudioOnset> onset;
    auto farEndHears = [&] {
        if (!onset) {
            QStringList files = received.entryList({QStringLiteral("*-dec.wav")}, QDir::Files);
            for (const QString& name : known)
                files.removeAll(name);
            if (files.isEmpty())
                return false;
            onset = std::make_unique<CAudioOnset>(received.filePath(files.first()));
        }
        return onset->Heard();
    };

    m_farControl.Forget();
    Moment dialled;
    Moment moment;
    if (!caller.Dial(CSipService::Uri(CEndpoint::kFrank.number), dialled) || !caller.WaitConnected(kWaitMs, moment))
        return;
    timings.connected.Add(MsBetween(dialled, moment));
    if (WaitUntil(farEndHears, kWaitMs))
        timings.heard.Add(MsBetween(dialled, Now()));
    WaitUntil([] { return false; }, kTalkMs);
    Moment hangup;
    if (callerHangsUp) {
        caller.HangUp(hangup);
        if (m_farControl.WaitEvent(QStringLiteral("CALL_CLOSED"), kWaitMs, &moment))
            timings.farEnded.Add(MsBetween(hangup, moment));
        caller.WaitEnded(kWaitMs, moment);
    } else {
        hangup = Now();
        m_farControl.Send(QStringLiteral("hangup"));
        if (caller.WaitEnded(kWaitMs, moment))
            timings.sawEnd.Add(MsBetween(hangup, moment));
        m_farControl.WaitEvent(QStringLiteral("CALL_CLOSED"), kWaitMs);
    }
}

CallTimings CBench::CallsFrom(ICaller& caller)
{
    CallTimings timings;
    for (int run = 0; run < m_runs; ++run) {
        MeasureCall(caller, true, timings);
        MeasureCall(caller, false, timings);
    }
    return timings;
}

void CBench::Costs()
{
    CChildProcess peer;
    if (!peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                    PeerArguments(CEndpoint::kErin, m_home.NewFolder(QStringLiteral("peer"))),
                    QStringLiteral("registered"), kWaitMs))
        return;
    // A baresip of its own, fresh like the peer, for the idle figures.
    CBaresip idleBaresip(m_home.NewFolder(QStringLiteral("baresip-idle")), m_service, CEndpoint::kBob,
                         Tone("caller.wav"));
    if (!idleBaresip.Start() || !idleBaresip.WaitOutput(QStringLiteral("200 OK"), kWaitMs))
        return;
    WaitUntil([] { return false; }, 2000);
    ProcessSample peerMemory;
    ProcessSample baresipMemory;
    SampleProcess(peer.pid(), peerMemory);
    SampleProcess(idleBaresip.pid(), baresipMemory);
    const double peerIdle = CpuPercent(peer.pid(), kIdleMs);
    const double baresipIdle = CpuPercent(idleBaresip.pid(), kIdleMs);
    Row(QStringLiteral("idle CPU, registered (% of one core)"), QString::number(peerIdle, 'f', 2),
        QString::number(baresipIdle, 'f', 2));
    Row(QStringLiteral("idle resident memory, total / private (MB)"), MemoryText(peerMemory),
        MemoryText(baresipMemory));

    // In a call between the peer and the far end: each end's share of a core.
    CEndpoint alice(m_home.NewFolder(QStringLiteral("costs-caller")), Tone("layer.wav"));
    if (!alice.Logon(m_service, CEndpoint::kAlice))
        return;
    m_farControl.Forget();
    m_farControl.Send(QStringLiteral("dial"), CSipService::Uri(CEndpoint::kErin.number));
    if (m_farControl.WaitEvent(QStringLiteral("CALL_ESTABLISHED"), kWaitMs)) {
        WaitUntil([] { return false; }, 1000);
        ProcessSample peerBefore;
        ProcessSample baresipBefore;
        SampleProcess(peer.pid(), peerBefore);
        SampleProcess(m_farEnd->pid(), baresipBefore);
        const CStopwatch clock;
        WaitUntil([] { return false; }, kInCallMs);
        ProcessSample peerAfter;
        ProcessSample baresipAfter;
        SampleProcess(peer.pid(), peerAfter);
        SampleProcess(m_farEnd->pid(), baresipAfter);
        const double seconds = clock.Ms() / 1000;
        Row(QStringLiteral("CPU during a call, per end (% of one core, G.711)"),
            QString::number(100 * (peerAfter.cpuSeconds - peerBefore.cpuSeconds) / seconds, 'f', 1),
            QString::number(100 * (baresipAfter.cpuSeconds - baresipBefore.cpuSeconds) / seconds, 'f', 1));
        m_farControl.Send(QStringLiteral("hangup"));
        m_farControl.WaitEvent(QStringLiteral("CALL_CLOSED"), kWaitMs);
    }

    // The peer answers many calls: its memory must come back.
    int completed = 0;
    for (int call = 0; call < kManyCalls; ++call) {
        RtcSessionPtr session = alice.Call(CSipService::Uri(CEndpoint::kErin.number));
        if (session && alice.WaitSession(RTCSS_CONNECTED, session, kWaitMs)) {
            session->Terminate(RTCTR_NORMAL);
            if (alice.WaitSession(RTCSS_DISCONNECTED, session, kWaitMs))
                ++completed;
        }
    }
    WaitUntil([] { return false; }, 2000);
    ProcessSample afterCalls;
    SampleProcess(peer.pid(), afterCalls);
    Row(QStringLiteral("resident memory after %1 calls answered, total / private (MB)").arg(completed),
        MemoryText(afterCalls), QStringLiteral("–"));
    alice.ShutDown();
    peer.Stop();
}

void CBench::Run()
{
    m_rows << QStringLiteral("| what | this layer (liblinphone) | baresip 1.0 |") << QStringLiteral("|---|---|---|");
    Registration();
    CLayerCaller layer(m_home.NewFolder(QStringLiteral("layer-caller")), Tone("layer.wav"));
    CBaresipCaller baresip(m_home.NewFolder(QStringLiteral("baresip-caller")), m_service, CEndpoint::kCarol,
                           Tone("caller.wav"));
    if (layer.Logon(m_service) && baresip.Start(kWaitMs)) {
        const CallTimings ours = CallsFrom(layer);
        const CallTimings theirs = CallsFrom(baresip);
        Row(QStringLiteral("dial → caller connected (ms)"), ours.connected.Summary(), theirs.connected.Summary());
        Row(QStringLiteral("dial → far end hears the caller (ms)"), ours.heard.Summary(), theirs.heard.Summary());
        Row(QStringLiteral("caller hangs up → far end ended (ms)"), ours.farEnded.Summary(), theirs.farEnded.Summary());
        Row(QStringLiteral("far end hangs up → caller ended (ms)"), ours.sawEnd.Summary(), theirs.sawEnd.Summary());
    }
    layer.ShutDown();
    Costs();
    std::printf("Machine: %s\n\nMedian (min–max, runs). Callers: this layer in the benchmark's process, and "
                "baresip; far end: baresip answering at once; costs: orvalo-peer.\n\n%s\n",
                qPrintable(MachineDescription()), qPrintable(m_rows.join(u'\n')));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 7;
    CBench bench(runs);
    if (!bench.Prepare()) {
        std::fprintf(stderr, "the benchmark could not set up its service, far end and sounds\n");
        return 1;
    }
    bench.Run();
    return 0;
}
