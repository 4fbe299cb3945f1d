// The whole program next to baresip, in one run against the local service:
// orvalo-phone is started as a user starts it (under an X server, logging on by
// itself with a remembered account) and driven through its menus and keys with
// xdotool; baresip does the same through its control interface. Both call the
// same far end, a baresip that answers at once. The program tells what its
// window shows through its --milestones file, stamped on the monotonic clock
// that this benchmark's moments use too. Prints a Markdown table with ratios.
//
//   orvalo-bench-phone [runs] [calls]   (default 7 runs per timing, 100 calls)
//   orvalo-bench-phone --startup [runs] (the start-up rows only, about a minute)
//   orvalo-bench-phone --call-cpu [runs] [seconds]
//       only the call timings and the CPU during one call held for the
//       seconds (default 7 runs, 30 s), with the phone's threads apart
//   orvalo-bench-phone --idle [runs]   (idle memory and CPU only, a minute a run)
//
// ORVALO_BENCH_PHONE names another build of the program to measure instead.
//
// Needs DISPLAY (scripts/bench-phone runs it under Xvfb).
#include "AudioFile.h"
#include "Baresip.h"
#include "BenchSupport.h"
#include "Caller.h"
#include "SipService.h"
#include "SpawnedProcess.h"
#include "TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include <unistd.h>

namespace {

constexpr int kWaitMs = 10000;
constexpr int kTalkMs = 500;
constexpr int kBetweenCallsMs = 300;
constexpr int kSettleMs = 3000;
constexpr int kIdleMs = 60000;
constexpr int kInCallMs = 10000;
constexpr int kThreadsShown = 4;

const CEndpoint::Account& kPhoneAccount = CEndpoint::kAlice;
const CEndpoint::Account& kBaresipAccount = CEndpoint::kCarol;
const CEndpoint::Account& kSpawnAccount = CEndpoint::kBob;
const CEndpoint::Account& kFarEnd = CEndpoint::kFrank;

// Lets the benchmark's children be read while it waits, without spinning a core.
void Pause(int ms)
{
    QCoreApplication::processEvents();
    QThread::msleep(static_cast<unsigned long>(ms));
}

bool WaitGently(const std::function<bool()>& condition, int timeoutMs)
{
    const Moment deadline = Now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Now() > deadline)
            return false;
        Pause(1);
    }
    return true;
}

struct Milestone {
    Moment when;
    QString what;
    QString text;
};

// The milestones the program appends to its file: "<seconds> <what> <text>".
class CMilestoneFile {
public:
    explicit CMilestoneFile(QString path) : m_path(std::move(path)) {}
    const QString& path() const { return m_path; }
    // Waits for the next milestone that matches and gives its moment; those before it are passed over.
    bool Next(const std::function<bool(const Milestone&)>& matches, int timeoutMs, Moment& when)
    {
        return WaitGently(
            [&] {
                ReadNew();
                while (!m_pending.empty()) {
                    const Milestone milestone = m_pending.front();
                    m_pending.pop_front();
                    if (matches(milestone)) {
                        when = milestone.when;
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
    }
    // Passes over everything written so far.
    void Skip()
    {
        ReadNew();
        m_pending.clear();
    }

private:
    void ReadNew()
    {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly) || file.size() <= m_offset)
            return;
        file.seek(m_offset);
        m_partial += file.readAll();
        m_offset = file.pos();
        qsizetype end = 0;
        while ((end = m_partial.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(m_partial.left(end));
            m_partial.remove(0, end + 1);
            const QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() < 2)
                continue;
            // The program stamps CLOCK_MONOTONIC, the clock of steady_clock on Linux.
            const auto sinceBoot = std::chrono::microseconds(std::llround(parts[0].toDouble() * 1e6));
            m_pending.push_back(
                {Moment(std::chrono::duration_cast<Moment::duration>(sinceBoot)), parts[1], parts.mid(2).join(u' ')});
        }
    }

    QString m_path;
    qint64 m_offset = 0;
    QByteArray m_partial;
    std::deque<Milestone> m_pending;
};

bool IsCallStatusEnding(const Milestone& milestone, const QString& end)
{
    return milestone.what == QLatin1String("call-status") && milestone.text.endsWith(end);
}

// Presses keys as a user would; false when xdotool failed or did not finish in time.
bool Xdotool(const QStringList& arguments, int timeoutMs = kWaitMs)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    if (!xdotool.waitForFinished(timeoutMs)) {
        xdotool.kill();
        xdotool.waitForFinished(1000);
        return false;
    }
    return xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

// Gives the window with the title the keyboard focus, then runs the commands on it.
bool KeysTo(const QString& title, const QStringList& commands)
{
    return Xdotool(QStringList{QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                               QStringLiteral("--name"), QStringLiteral("^%1$").arg(title),
                               QStringLiteral("windowfocus"), QStringLiteral("--sync"), QStringLiteral("%1")} +
                   commands);
}

// The program as a user runs it: it logs on by itself with the remembered account.
class CPhoneCaller final : public ICaller {
public:
    CPhoneCaller(const QString& folder, const CSipService& service, const QString& tone)
        : m_folder(folder), m_service(service), m_tone(tone), m_milestones(folder + QStringLiteral("/milestones.txt"))
    {
    }
    bool Start()
    {
        QFile::remove(m_milestones.path());
        return m_process.Start(qEnvironmentVariable("ORVALO_BENCH_PHONE", QStringLiteral(ORVALO_PHONE_PATH)),
                               {QStringLiteral("--sip-server"), m_service.server(), QStringLiteral("--sip-domain"),
                                QString::fromLatin1(CSipService::kDomain), QStringLiteral("--data-dir"),
                                m_folder + QStringLiteral("/data"), QStringLiteral("--play-file"), m_tone,
                                QStringLiteral("--milestones"), m_milestones.path()});
    }
    bool WaitShown(Moment& when)
    {
        return m_milestones.Next([](const Milestone& m) { return m.what == QLatin1String("window-shown"); }, kWaitMs,
                                 when);
    }
    // The status line shows the user's name once registered; "(...)" texts are the other states.
    // On the way, the moment the engine started the SIP core behind the window, if the program notes it.
    bool WaitRegistered(Moment& when, std::optional<Moment>* engineStarted = nullptr)
    {
        return m_milestones.Next(
            [engineStarted](const Milestone& m) {
                if (engineStarted && m.what == QLatin1String("engine-started"))
                    *engineStarted = m.when;
                return m.what == QLatin1String("status-line") && !m.text.isEmpty() && !m.text.startsWith(u'(');
            },
            kWaitMs, when);
    }
    bool Dial(const QString& uri, Moment& dialled) override
    {
        m_milestones.Skip();
        const QString number = uri.section(u':', 1).section(u'@', 0, 0);
        // Action > Call..., the number into the prompt, Enter: the phone display is cleared as the call starts.
        return OpenCallPrompt() &&
               KeysTo(QStringLiteral("OrvaloPhone Call"),
                      {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("0"), number}) &&
               // "type" takes every argument after it as text: Return is a command of its own.
               Xdotool({QStringLiteral("key"), QStringLiteral("Return")}) &&
               m_milestones.Next([](const Milestone& m) { return m.what == QLatin1String("call-status"); }, kWaitMs,
                                 dialled);
    }
    bool WaitConnected(int timeoutMs, Moment& when) override
    {
        return m_milestones.Next([](const Milestone& m) { return IsCallStatusEnding(m, QStringLiteral("Connected")); },
                                 timeoutMs, when);
    }
    // The End key of the phone view.
    bool HangUp(Moment& pressed) override
    {
        return KeysTo(kMainTitle, {QStringLiteral("key"), QStringLiteral("alt+e")}) &&
               m_milestones.Next([](const Milestone& m) { return m.what == QLatin1String("hang-up"); }, kWaitMs,
                                 pressed);
    }
    bool WaitEnded(int timeoutMs, Moment& when) override
    {
        return m_milestones.Next(
            [](const Milestone& m) {
                return IsCallStatusEnding(m, QStringLiteral("Disconnected")) ||
                       IsCallStatusEnding(m, QStringLiteral("Call terminated."));
            },
            timeoutMs, when);
    }
    pid_t pid() const { return m_process.pid(); }
    Moment spawned() const { return m_process.spawned(); }
    void Stop() { m_process.Stop(); }

private:
    static inline const QString kMainTitle = QStringLiteral("Orvalo Phone");
    static constexpr int kPromptAttempts = 3;
    static constexpr int kPromptWaitMs = 3000;

    // Action > Call..., with the pause of a person between the keys. The X server gives a
    // key to the window that has the focus when it is pressed: while the program is still
    // busy with the last call, the menu may come up too late for the C; the menu is then
    // closed and opened again. The call's timing starts at the phone's own display.
    bool OpenCallPrompt()
    {
        for (int attempt = 0; attempt < kPromptAttempts; ++attempt) {
            if (KeysTo(kMainTitle, {QStringLiteral("key"), QStringLiteral("alt+a"), QStringLiteral("sleep"),
                                    QStringLiteral("0.3"), QStringLiteral("key"), QStringLiteral("c")}) &&
                Xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), QStringLiteral("^OrvaloPhone Call$")},
                        kPromptWaitMs))
                return true;
            Xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        }
        return false;
    }

    QString m_folder;
    const CSipService& m_service;
    QString m_tone;
    CSpawnedProcess m_process;
    CMilestoneFile m_milestones;
};

// The timings of one caller placing calls to the far end.
struct CallTimings {
    CSeries connected; // dial → the caller shows the call established
    CSeries farEnded;  // the caller hangs up → the far end has ended the call
    CSeries ownEnded;  // the caller hangs up → the caller shows the call ended
    CSeries sawEnd;    // the far end hangs up → the caller shows the call ended
};

struct CallCosts {
    double inCallPercent = std::nan("");
    QString inCallThreads;
    double cpuMsPerCall = std::nan("");
    int calls = 0;
    ProcessSample before;
    ProcessSample after;
};

// One line of the table: the figures of both, their ratio and the goal it is held to.
struct SRow {
    QString what;
    QString ours;
    QString theirs;
    double ratio = std::nan("");
    QString goal;
};

// NaN (no ratio shown) when baresip's figure is zero or missing.
double Ratio(double ours, double theirs)
{
    return theirs > 0 ? ours / theirs : std::nan("");
}

QString Number(double value, int decimals = 1)
{
    return std::isnan(value) ? QStringLiteral("n/a") : QString::number(value, 'f', decimals);
}

// CPU seconds of each thread of a process: the main thread, the others by name and id.
std::map<QString, double> ThreadCpu(qint64 pid)
{
    std::map<QString, double> threads;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(tid + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (open < 0 || close < open || fields.size() < 13)
            continue;
        // The media library's threads keep the program's name: they are told apart by their id.
        const QString name = tid.toLongLong() == pid
                                 ? QStringLiteral("main")
                                 : QString::fromUtf8(line.mid(open + 1, close - open - 1)) + QLatin1Char('/') + tid;
        threads[name] += (fields[11].toDouble() + fields[12].toDouble()) / ticks;
    }
    return threads;
}

// "name 0.9, name 0.4, ...": the busiest threads' share of one core over the period, in percent.
QString ThreadShares(const std::map<QString, double>& before, const std::map<QString, double>& after, double seconds)
{
    std::vector<std::pair<double, QString>> shares;
    for (const auto& [name, cpu] : after) {
        const auto it = before.find(name);
        shares.emplace_back(100 * (cpu - (it == before.end() ? 0 : it->second)) / seconds, name);
    }
    std::sort(shares.begin(), shares.end(), std::greater<>());
    QStringList parts;
    for (size_t i = 0; i < shares.size() && i < static_cast<size_t>(kThreadsShown); ++i)
        parts << QStringLiteral("%1 %2").arg(shares[i].second, Number(shares[i].first, 2));
    return parts.join(QStringLiteral(", "));
}

class CBench {
public:
    CBench(int runs, int calls)
        : m_runs(runs), m_calls(calls), m_service(m_home.NewFolder(QStringLiteral("service"))),
          m_sounds(m_home.NewFolder(QStringLiteral("sounds")))
    {
    }
    bool Prepare();
    void Run();
    void RunStartUp();
    // The call timings and the CPU during one call of the given length only.
    void RunCallCpu(int inCallMs);
    void RunIdle();

private:
    QString Tone(const char* name) const { return m_sounds + QLatin1Char('/') + QLatin1String(name); }
    void RememberAccount() const;
    void StartUp();
    void Idle(CPhoneCaller& phone, CBaresipCaller& baresip);
    bool MeasureCall(ICaller& caller, bool callerHangsUp, CallTimings& timings);
    CallTimings CallsFrom(ICaller& caller);
    bool StartCallers(CPhoneCaller& phone, CBaresipCaller& baresip);
    void MeasureCalls(CPhoneCaller& phone, CBaresipCaller& baresip);
    void InCallCost(ICaller& caller, pid_t pid, int inCallMs, CallCosts& costs);
    void ShortCallCosts(ICaller& caller, pid_t pid, CallCosts& costs);
    void AddInCallRows(const CallCosts& ours, const CallCosts& theirs);
    void Add(const QString& what, const QString& ours, const QString& theirs, double ratio = std::nan(""),
             const QString& goal = {});
    void Add(const QString& what, const CSeries& ours, const CSeries& theirs, const QString& goal = {});
    void PrintTable() const;

    int m_runs;
    int m_calls;
    CTestHome m_home;
    CSipService m_service;
    QString m_sounds;
    std::unique_ptr<CBaresip> m_farEnd;
    CBaresipControl m_farControl;
    std::vector<SRow> m_rows;
};

bool CBench::Prepare()
{
    if (!m_service.Start()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(m_service.error()));
        return false;
    }
    if (!CAudioFile::MakeTone(Tone("phone.wav"), 440, 900, 8000) ||
        !CAudioFile::MakeTone(Tone("far.wav"), 700, 900, 8000) ||
        !CAudioFile::MakeTone(Tone("caller.wav"), 1000, 900, 8000))
        return false;
    RememberAccount();
    m_farEnd =
        std::make_unique<CBaresip>(m_home.NewFolder(QStringLiteral("far-end")), m_service, kFarEnd, Tone("far.wav"));
    const int port = FreeTcpPort();
    m_farEnd->EnableControl(port);
    return m_farEnd->Start() && m_farEnd->WaitOutput(QStringLiteral("200 OK")) && m_farControl.Connect(port);
}

// The program logs on at start with the account it remembers, as after a first logon with "AutoLogon".
void CBench::RememberAccount() const
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quenlark"),
                       QStringLiteral("OrvaloPhone"));
    settings.setValue(QStringLiteral("UserURI"), kPhoneAccount.number);
    settings.setValue(QStringLiteral("Account"), kPhoneAccount.number);
    settings.setValue(QStringLiteral("Password"), kPhoneAccount.password);
    settings.setValue(QStringLiteral("Remember Password"), QStringLiteral("1"));
    settings.setValue(QStringLiteral("AutoLogon"), QStringLiteral("1"));
}

void CBench::Add(const QString& what, const QString& ours, const QString& theirs, double ratio, const QString& goal)
{
    m_rows.push_back({what, ours, theirs, ratio, goal});
    std::fprintf(stderr, "%s: %s | %s\n", qPrintable(what), qPrintable(ours), qPrintable(theirs));
}

void CBench::Add(const QString& what, const CSeries& ours, const CSeries& theirs, const QString& goal)
{
    Add(what, ours.Summary(), theirs.empty() ? QStringLiteral("–") : theirs.Summary(),
        Ratio(ours.Median(), theirs.Median()), goal);
}

void CBench::StartUp()
{
    CSeries shown;
    CSeries engineStarted;
    CSeries registered;
    CSeries baresipRegistered;
    const QString phoneFolder = m_home.NewFolder(QStringLiteral("spawn-phone"));
    CBaresip baresipConfig(m_home.NewFolder(QStringLiteral("spawn-baresip")), m_service, kSpawnAccount,
                           Tone("caller.wav"));
    for (int run = 0; run < m_runs; ++run) {
        {
            CPhoneCaller phone(phoneFolder, m_service, Tone("phone.wav"));
            Moment shownAt;
            std::optional<Moment> engineStartedAt;
            Moment registeredAt;
            if (phone.Start() && phone.WaitShown(shownAt) && phone.WaitRegistered(registeredAt, &engineStartedAt)) {
                shown.Add(MsBetween(phone.spawned(), shownAt));
                if (engineStartedAt)
                    engineStarted.Add(MsBetween(phone.spawned(), *engineStartedAt));
                registered.Add(MsBetween(phone.spawned(), registeredAt));
            }
            phone.Stop();
        }
        {
            CSpawnedProcess baresip;
            Moment registeredAt;
            if (baresip.Start(QStringLiteral("baresip"), {QStringLiteral("-f"), baresipConfig.folder()}) &&
                baresip.WaitOutput(QStringLiteral("200 OK"), kWaitMs, &registeredAt))
                baresipRegistered.Add(MsBetween(baresip.spawned(), registeredAt));
            baresip.Stop();
        }
        Pause(500);
    }
    Add(QStringLiteral("process spawn → window shown (ms)"), shown, CSeries(), QStringLiteral("≤ 100 ms"));
    Add(QStringLiteral("process spawn → SIP core started behind it (ms)"), engineStarted, CSeries());
    Add(QStringLiteral("process spawn → registered, 401 round included (ms)"), registered, baresipRegistered,
        QStringLiteral("≤ 120 ms"));
}

void CBench::Idle(CPhoneCaller& phone, CBaresipCaller& baresip)
{
    Pause(kSettleMs);
    ProcessSample phoneBefore;
    ProcessSample baresipBefore;
    SampleProcess(phone.pid(), phoneBefore);
    SampleProcess(baresip.pid(), baresipBefore);
    Add(QStringLiteral("resident memory idle, registered, total / anonymous (MB)"), MemoryText(phoneBefore),
        MemoryText(baresipBefore), Ratio(phoneBefore.residentMb, baresipBefore.residentMb), QStringLiteral("≤ 70 MB"));
    const CStopwatch clock;
    WaitGently([] { return false; }, kIdleMs);
    ProcessSample phoneAfter;
    ProcessSample baresipAfter;
    SampleProcess(phone.pid(), phoneAfter);
    SampleProcess(baresip.pid(), baresipAfter);
    const double seconds = clock.Ms() / 1000;
    const double ours = 100 * (phoneAfter.cpuSeconds - phoneBefore.cpuSeconds) / seconds;
    const double theirs = 100 * (baresipAfter.cpuSeconds - baresipBefore.cpuSeconds) / seconds;
    Add(QStringLiteral("idle CPU over %1 s, registered (% of one core)").arg(kIdleMs / 1000), Number(ours, 3),
        Number(theirs, 3), Ratio(ours, theirs), QStringLiteral("≤ 0.1 %"));
}

bool CBench::MeasureCall(ICaller& caller, bool callerHangsUp, CallTimings& timings)
{
    // No user dials within milliseconds of the last call's end; the window needs a moment to settle.
    Pause(kBetweenCallsMs);
    m_farControl.Forget();
    Moment dialled;
    Moment moment;
    if (!caller.Dial(CSipService::Uri(kFarEnd.number), dialled) || !caller.WaitConnected(kWaitMs, moment))
        return false;
    timings.connected.Add(MsBetween(dialled, moment));
    WaitGently([] { return false; }, kTalkMs);
    Moment hangup;
    if (callerHangsUp) {
        if (!caller.HangUp(hangup))
            return false;
        if (m_farControl.WaitEvent(QStringLiteral("CALL_CLOSED"), kWaitMs, &moment))
            timings.farEnded.Add(MsBetween(hangup, moment));
        if (!caller.WaitEnded(kWaitMs, moment))
            return false;
        timings.ownEnded.Add(MsBetween(hangup, moment));
        return true;
    }
    hangup = Now();
    m_farControl.Send(QStringLiteral("hangup"));
    if (!caller.WaitEnded(kWaitMs, moment))
        return false;
    timings.sawEnd.Add(MsBetween(hangup, moment));
    return m_farControl.WaitEvent(QStringLiteral("CALL_CLOSED"), kWaitMs);
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

void CBench::InCallCost(ICaller& caller, pid_t pid, int inCallMs, CallCosts& costs)
{
    Moment moment;
    // One call held for a while: the caller's share of a core while the audio flows.
    if (!caller.Dial(CSipService::Uri(kFarEnd.number), moment) || !caller.WaitConnected(kWaitMs, moment))
        return;
    WaitGently([] { return false; }, 1000);
    ProcessSample before;
    ProcessSample after;
    SampleProcess(pid, before);
    const auto threadsBefore = ThreadCpu(pid);
    const CStopwatch clock;
    WaitGently([] { return false; }, inCallMs);
    SampleProcess(pid, after);
    const double seconds = clock.Ms() / 1000;
    costs.inCallPercent = 100 * (after.cpuSeconds - before.cpuSeconds) / seconds;
    costs.inCallThreads = ThreadShares(threadsBefore, ThreadCpu(pid), seconds);
    caller.HangUp(moment);
    caller.WaitEnded(kWaitMs, moment);
}

void CBench::ShortCallCosts(ICaller& caller, pid_t pid, CallCosts& costs)
{
    // Many short calls: the CPU time each costs, and what stays in memory.
    Pause(2000);
    SampleProcess(pid, costs.before);
    CallTimings unused;
    for (int call = 0; call < m_calls; ++call) {
        if (MeasureCall(caller, true, unused))
            ++costs.calls;
    }
    Pause(2000);
    SampleProcess(pid, costs.after);
    if (costs.calls > 0)
        costs.cpuMsPerCall = 1000 * (costs.after.cpuSeconds - costs.before.cpuSeconds) / costs.calls;
}

bool CBench::StartCallers(CPhoneCaller& phone, CBaresipCaller& baresip)
{
    Moment registered;
    if (phone.Start() && phone.WaitRegistered(registered) && baresip.Start(kWaitMs))
        return true;
    std::fprintf(stderr, "the program or baresip did not register\n");
    return false;
}

void CBench::MeasureCalls(CPhoneCaller& phone, CBaresipCaller& baresip)
{
    const CallTimings ours = CallsFrom(phone);
    const CallTimings theirs = CallsFrom(baresip);
    Add(QStringLiteral("dial → caller shows connected (ms)"), ours.connected, theirs.connected,
        QStringLiteral("≤ baresip"));
    Add(QStringLiteral("caller hangs up → far end ended (ms)"), ours.farEnded, theirs.farEnded);
    Add(QStringLiteral("caller hangs up → caller shows ended (ms)"), ours.ownEnded, theirs.ownEnded);
    Add(QStringLiteral("far end hangs up → caller shows ended (ms)"), ours.sawEnd, theirs.sawEnd,
        QStringLiteral("≤ 2 × baresip"));
}

void CBench::AddInCallRows(const CallCosts& ours, const CallCosts& theirs)
{
    Add(QStringLiteral("CPU during a call, caller (% of one core, G.711)"), Number(ours.inCallPercent),
        Number(theirs.inCallPercent), Ratio(ours.inCallPercent, theirs.inCallPercent),
        QStringLiteral("≤ 1.2 × baresip"));
    Add(QStringLiteral("CPU during a call by thread, busiest first (% of one core)"), ours.inCallThreads,
        theirs.inCallThreads);
}

void CBench::PrintTable() const
{
    std::printf("Machine: %s\n\nMedian (min–max, runs). Ratio: Orvalo Phone / baresip (medians).\n\n",
                qPrintable(MachineDescription()));
    std::printf("| what | Orvalo Phone | baresip 1.0 | ratio | goal |\n|---|---|---|---|---|\n");
    for (const SRow& row : m_rows)
        std::printf("| %s | %s | %s | %s | %s |\n", qPrintable(row.what), qPrintable(row.ours), qPrintable(row.theirs),
                    std::isnan(row.ratio) ? "" : qPrintable(Number(row.ratio, 2)), qPrintable(row.goal));
}

void CBench::RunCallCpu(int inCallMs)
{
    CPhoneCaller phone(m_home.NewFolder(QStringLiteral("phone")), m_service, Tone("phone.wav"));
    CBaresipCaller baresip(m_home.NewFolder(QStringLiteral("baresip-caller")), m_service, kBaresipAccount,
                           Tone("caller.wav"));
    if (!StartCallers(phone, baresip))
        return;
    Pause(kSettleMs);
    MeasureCalls(phone, baresip);
    CallCosts ours;
    CallCosts theirs;
    InCallCost(phone, phone.pid(), inCallMs, ours);
    InCallCost(baresip, baresip.pid(), inCallMs, theirs);
    AddInCallRows(ours, theirs);
    phone.Stop();
    PrintTable();
}

void CBench::Run()
{
    StartUp();
    CPhoneCaller phone(m_home.NewFolder(QStringLiteral("phone")), m_service, Tone("phone.wav"));
    CBaresipCaller baresip(m_home.NewFolder(QStringLiteral("baresip-caller")), m_service, kBaresipAccount,
                           Tone("caller.wav"));
    if (!StartCallers(phone, baresip))
        return;
    Idle(phone, baresip);
    MeasureCalls(phone, baresip);

    CallCosts ourCosts;
    CallCosts theirCosts;
    InCallCost(phone, phone.pid(), kInCallMs, ourCosts);
    ShortCallCosts(phone, phone.pid(), ourCosts);
    InCallCost(baresip, baresip.pid(), kInCallMs, theirCosts);
    ShortCallCosts(baresip, baresip.pid(), theirCosts);
    AddInCallRows(ourCosts, theirCosts);
    Add(QStringLiteral("CPU time per short call, caller (ms)"), Number(ourCosts.cpuMsPerCall),
        Number(theirCosts.cpuMsPerCall), Ratio(ourCosts.cpuMsPerCall, theirCosts.cpuMsPerCall));
    Add(QStringLiteral("resident memory before / after %1 calls, total (MB)").arg(m_calls),
        QStringLiteral("%1 / %2 (%3 calls)")
            .arg(Number(ourCosts.before.residentMb), Number(ourCosts.after.residentMb))
            .arg(ourCosts.calls),
        QStringLiteral("%1 / %2 (%3 calls)")
            .arg(Number(theirCosts.before.residentMb), Number(theirCosts.after.residentMb))
            .arg(theirCosts.calls));
    Add(QStringLiteral("growth over those calls, total / anonymous (MB)"),
        QStringLiteral("%1 / %2").arg(Number(ourCosts.after.residentMb - ourCosts.before.residentMb, 2),
                                      Number(ourCosts.after.privateMb - ourCosts.before.privateMb, 2)),
        QStringLiteral("%1 / %2").arg(Number(theirCosts.after.residentMb - theirCosts.before.residentMb, 2),
                                      Number(theirCosts.after.privateMb - theirCosts.before.privateMb, 2)),
        std::nan(""), QStringLiteral("≤ 2 MB"));
    phone.Stop();
    PrintTable();
}

void CBench::RunIdle()
{
    CPhoneCaller phone(m_home.NewFolder(QStringLiteral("phone")), m_service, Tone("phone.wav"));
    CBaresipCaller baresip(m_home.NewFolder(QStringLiteral("baresip-caller")), m_service, kBaresipAccount,
                           Tone("caller.wav"));
    if (!StartCallers(phone, baresip))
        return;
    for (int run = 0; run < m_runs; ++run)
        Idle(phone, baresip);
    phone.Stop();
    PrintTable();
}

void CBench::RunStartUp()
{
    StartUp();
    PrintTable();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "orvalo-bench-phone needs an X display (scripts/bench-phone starts one)\n");
        return 2;
    }
    QStringList arguments = app.arguments().mid(1);
    const bool startUpOnly = arguments.removeAll(QStringLiteral("--startup")) > 0;
    const bool callCpuOnly = arguments.removeAll(QStringLiteral("--call-cpu")) > 0;
    const bool idleOnly = arguments.removeAll(QStringLiteral("--idle")) > 0;
    const auto number = [&arguments](int index, int fallback) {
        return arguments.size() > index ? std::max(1, arguments[index].toInt()) : fallback;
    };
    const int runs = number(0, 7);
    CBench bench(runs, callCpuOnly ? 0 : number(1, 100));
    if (!bench.Prepare()) {
        std::fprintf(stderr, "the benchmark could not set up its service, far end and sounds\n");
        return 1;
    }
    if (startUpOnly)
        bench.RunStartUp();
    else if (callCpuOnly)
        bench.RunCallCpu(number(1, 30) * 1000);
    else if (idleOnly)
        bench.RunIdle();
    else
        bench.Run();
    return 0;
}
