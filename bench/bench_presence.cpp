// Speed and cost of messaging and presence through the local service: message
// one way and round trip, typing notice, presence change → buddy notified, and
// a client whose store holds 500 buddies (store load, subscriptions answered,
// CPU time and memory). The two parties of the latencies are endpoints of this
// layer in the benchmark's process; each 500-buddy run is this program again in
// a fresh process with a service of its own, so that the process's CPU time and
// memory are that client's alone. Waits run the event loop without polling.
// Prints a Markdown report.
//
//   orvalo-bench-presence [runs] [500-buddy runs]      (default 15 and 3)
#include "BenchSupport.h"
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include "platform/linphone/PresenceStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr int kWaitMs = 10000;
constexpr int kBuddies = 500;
constexpr int kBuddiesPerGroup = 50;
// Bound of a traced run's wait for every buddy's first NOTIFY.
constexpr int kAnswerWaitMs = 90000;
// An untraced run watches the client for as long as its traced twin took, and this much longer.
constexpr int kSettleMarginMs = 2000;
constexpr int kIdleMs = 10000;
constexpr int kStoreRunMs = 180000;
const QString kStoreRunOption = QStringLiteral("--store-run");
const QString kTraceOption = QStringLiteral("--trace");
const QString kSettleOption = QStringLiteral("--settle");
const QString kResultTag = QStringLiteral("store-run:");

// Stamps the moment the layer hands an awaited event to the application, and
// runs the event loop until it came.
class CEventWaiter final : public IRTCEventNotification {
public:
    using Match = std::function<bool(RTC_EVENT, const IRTCEvent&)>;

    CEventWaiter()
    {
        m_timeout.setSingleShot(true);
        QObject::connect(&m_timeout, &QTimer::timeout, &m_loop, &QEventLoop::quit);
    }
    HRESULT Event(RTC_EVENT type, const RtcEventPtr& event) override
    {
        if (m_match && !m_event && m_match(type, *event)) {
            m_when = Now();
            m_event = event;
            m_loop.quit();
        }
        return S_OK;
    }
    // Arms the wait: call it before the action that causes the event.
    void Expect(Match match)
    {
        m_match = std::move(match);
        m_event.reset();
    }
    // The expected event once it came, or null when the time ran out.
    RtcEventPtr Wait(int timeoutMs = kWaitMs)
    {
        if (!m_event) {
            m_timeout.start(timeoutMs);
            m_loop.exec();
            m_timeout.stop();
        }
        m_match = {};
        return std::exchange(m_event, nullptr);
    }
    Moment when() const { return m_when; }

private:
    Match m_match;
    RtcEventPtr m_event;
    Moment m_when;
    QEventLoop m_loop;
    QTimer m_timeout;
};

// An endpoint with a waiter advised next to its own queue.
struct Party {
    explicit Party(const QString& folder) : endpoint(folder), waiter(std::make_shared<CEventWaiter>())
    {
        endpoint.client().Advise(waiter, cookie);
    }
    CEndpoint endpoint;
    std::shared_ptr<CEventWaiter> waiter;
    int cookie = 0;
};

CEventWaiter::Match Message(const QString& text)
{
    return [text](RTC_EVENT type, const IRTCEvent& event) {
        if (type != RTCE_MESSAGING)
            return false;
        const auto& messaging = static_cast<const IRTCMessagingEvent&>(event);
        return messaging.m_eventType == RTCMSET_MESSAGE && messaging.m_message == text;
    };
}

CEventWaiter::Match Typing(RTC_MESSAGING_USER_STATUS status)
{
    return [status](RTC_EVENT type, const IRTCEvent& event) {
        if (type != RTCE_MESSAGING)
            return false;
        const auto& messaging = static_cast<const IRTCMessagingEvent&>(event);
        return messaging.m_eventType == RTCMSET_STATUS && messaging.m_userStatus == status;
    };
}

CEventWaiter::Match BuddyStatus(const QString& uri, RTC_PRESENCE_STATUS status)
{
    return [uri, status](RTC_EVENT type, const IRTCEvent& event) {
        if (type != RTCE_BUDDY)
            return false;
        const auto& change = static_cast<const IRTCBuddyEvent2&>(event);
        QString buddyUri;
        RTC_PRESENCE_STATUS seen = RTCXS_PRESENCE_OFFLINE;
        change.m_buddy->get_PresentityURI(buddyUri);
        change.m_buddy->get_Status(seen);
        return change.m_eventType == RTCBET_BUDDY_STATE_CHANGE && buddyUri == uri && seen == status;
    };
}

// 500 buddies that are nobody's account on the service, in groups of 50.
PresenceStoreData ManyBuddies()
{
    PresenceStoreData data;
    for (int i = 0; i < kBuddies; ++i) {
        const QString uri = CSipService::Uri(QStringLiteral("1555700%1").arg(i, 4, 10, QLatin1Char('0')));
        data.buddies.push_back({uri, QStringLiteral("Buddy %1").arg(i), {}});
        if (i % kBuddiesPerGroup == 0)
            data.groups.push_back({QStringLiteral("Group %1").arg(i / kBuddiesPerGroup), {}, {}});
        data.groups.back().members << uri;
    }
    return data;
}

// Reads the SIP trace of a 500-buddy run as it grows: when each buddy's first
// NOTIFY arrived, and how the server answered (status and method of each answer
// received, and the subscription state of each NOTIFY).
class CTraceReader {
public:
    explicit CTraceReader(const QString& path) : m_file(path) {}
    void ReadMore();
    const std::map<QString, QDateTime>& firstNotify() const { return m_firstNotify; }
    const std::map<QString, int>& answers() const { return m_answers; }

private:
    void Take(const QString& record);

    QFile m_file;
    QByteArray m_pending;
    std::map<QString, QDateTime> m_firstNotify; // buddy URI → arrival
    std::map<QString, int> m_answers;           // "200 SUBSCRIBE", "NOTIFY pending"… → count
};

void CTraceReader::ReadMore()
{
    if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
        return;
    m_pending += m_file.readAll();
    // Each logged message starts on a line with its ISO time stamp; a SIP message spans many
    // lines. The last record may still be being written: it waits for the next read.
    static const QRegularExpression start(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT"),
                                          QRegularExpression::MultilineOption);
    const QString text = QString::fromUtf8(m_pending);
    QList<qsizetype> starts;
    for (auto it = start.globalMatch(text); it.hasNext();)
        starts << it.next().capturedStart();
    for (qsizetype i = 0; i + 1 < starts.size(); ++i)
        Take(text.mid(starts[i], starts[i + 1] - starts[i]));
    m_pending = starts.size() > 1 ? text.mid(starts.last()).toUtf8() : m_pending;
}

void CTraceReader::Take(const QString& record)
{
    constexpr auto kLines = QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption;
    static const QRegularExpression received(QStringLiteral("received \\[\\d+\\] new bytes from"));
    static const QRegularExpression statusLine(QStringLiteral("^SIP/2\\.0 (\\d{3})"), kLines);
    static const QRegularExpression cseq(QStringLiteral("^CSeq: *\\d+ +(\\w+)"), kLines);
    static const QRegularExpression notify(QStringLiteral("^NOTIFY "), kLines);
    static const QRegularExpression from(QStringLiteral("^(?:From|f): *[^<\\r\\n]*<?(sip:[^>;\\r\\n]+)"), kLines);
    static const QRegularExpression state(QStringLiteral("^Subscription-State: *(\\w+)"), kLines);
    static const QRegularExpression event(QStringLiteral("^(?:Event|o): *([\\w.]+)"), kLines);
    if (!received.match(record).hasMatch())
        return;
    if (const auto answer = statusLine.match(record); answer.hasMatch()) {
        ++m_answers[answer.captured(1) + QLatin1Char(' ') + cseq.match(record).captured(1)];
    } else if (notify.match(record).hasMatch() && event.match(record).captured(1) == QLatin1String("presence")) {
        ++m_answers[QStringLiteral("NOTIFY %1").arg(state.match(record).captured(1))];
        m_firstNotify.try_emplace(from.match(record).captured(1),
                                  QDateTime::fromString(record.left(23), Qt::ISODateWithMs));
    }
}

// Subscriptions the layer reported as failed.
int FailedSubscriptions(CEndpoint& client)
{
    int failed = 0;
    while (client.events().Take<IRTCBuddyEvent2>(
        RTCE_BUDDY,
        [](const IRTCBuddyEvent2& e) { return e.m_eventType == RTCBET_BUDDY_SUBSCRIBED && FAILED(e.m_statusCode); }, 0))
        ++failed;
    return failed;
}

// One 500-buddy run in this process: its own service, a store of 500 buddies
// written in the store's format, and a client that loads it at EnablePresenceEx.
// Traced, it waits until every buddy's first NOTIFY came (bounded); otherwise for
// settleMs. Prints one line of results after the result tag.
int StoreRun(bool traced, int settleMs)
{
    CTestHome home;
    CSipService service(home.NewFolder(QStringLiteral("service")));
    if (!service.Start()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(service.error()));
        return 1;
    }
    const QString folder = home.NewFolder(QStringLiteral("client"));
    const QString store = folder + QStringLiteral("/store.xml");
    if (!CPresenceStore(store).Save(ManyBuddies()))
        return 1;
    if (traced)
        qputenv("ORVALO_TEST_TRACE_DIR", folder.toUtf8());
    CEndpoint client(folder);
    if (!client.Logon(service, CEndpoint::kAlice))
        return 1;
    CTraceReader trace(folder + QStringLiteral("/client.log"));
    const qint64 self = QCoreApplication::applicationPid();
    Idle(1000);
    trace.ReadMore();
    ProcessSample before;
    SampleProcess(self, before);
    const QDateTime wallStart = QDateTime::currentDateTime();
    const CStopwatch clock;
    if (!client.EnablePresence(store))
        return 1;
    const double enableMs = clock.Ms();
    if (traced) {
        while (trace.firstNotify().size() < static_cast<std::size_t>(kBuddies) && clock.Ms() < kAnswerWaitMs) {
            Idle(250);
            trace.ReadMore();
        }
    } else {
        Idle(settleMs);
    }
    const double windowMs = clock.Ms();
    ProcessSample settled;
    SampleProcess(self, settled);
    Idle(kIdleMs);
    ProcessSample idle;
    SampleProcess(self, idle);
    const int failed = FailedSubscriptions(client);

    // The store's reading alone, after the figures above so that it does not touch them.
    const CStopwatch parse;
    const std::size_t loaded = CPresenceStore(store).Load().buddies.size();
    const double parseMs = parse.Ms();
    client.ShutDown();

    qint64 lastNotify = -1;
    QString answers;
    for (const auto& [uri, when] : trace.firstNotify())
        lastNotify = std::max(lastNotify, wallStart.msecsTo(when));
    for (const auto& [what, count] : trace.answers())
        answers += QStringLiteral(" [%1]=%2").arg(what).arg(count);
    std::printf("%s loaded=%zu parse=%.2f enable=%.1f window=%.0f cpu=%.3f idle=%.3f rss0=%.1f priv0=%.1f rss=%.1f "
                "priv=%.1f failed=%d notified=%zu lastNotify=%lld%s\n",
                qPrintable(kResultTag), loaded, parseMs, enableMs, windowMs, settled.cpuSeconds - before.cpuSeconds,
                100.0 * (idle.cpuSeconds - settled.cpuSeconds) / (kIdleMs / 1000.0), before.residentMb,
                before.privateMb, settled.residentMb, settled.privateMb, failed, trace.firstNotify().size(), lastNotify,
                qPrintable(answers));
    std::fflush(stdout);
    return 0;
}

class CBench {
public:
    CBench(int runs, int storeRuns)
        : m_runs(runs), m_storeRuns(storeRuns), m_service(m_home.NewFolder(QStringLiteral("service")))
    {
    }
    bool Prepare();
    void Run();

private:
    void Messages();
    void TypingNotices();
    void PresenceChanges();
    void ManyBuddyStore();
    // One 500-buddy run in a child process; its results by name, empty if it failed.
    // A settle time watches the client that long; none traces the run and waits for the answers.
    std::map<QString, QString> StoreRunInChild(int settleMs);
    void Row(const QString& what, const QString& figure);

    int m_runs;
    int m_storeRuns;
    CTestHome m_home;
    CSipService m_service;
    std::unique_ptr<Party> m_alice;
    std::unique_ptr<Party> m_bob;
    RtcSessionPtr m_aliceSession; // Alice's session with Bob
    RtcSessionPtr m_bobSession;   // Bob's session with Alice
    int m_cookie = 1;
    QStringList m_rows;
};

bool CBench::Prepare()
{
    if (!m_service.Start()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(m_service.error()));
        return false;
    }
    m_alice = std::make_unique<Party>(m_home.NewFolder(QStringLiteral("alice")));
    m_bob = std::make_unique<Party>(m_home.NewFolder(QStringLiteral("bob")));
    CEndpoint& alice = m_alice->endpoint;
    CEndpoint& bob = m_bob->endpoint;
    if (!alice.Logon(m_service, CEndpoint::kAlice) || !bob.Logon(m_service, CEndpoint::kBob) ||
        !alice.EnablePresence(alice.dataDir() + QStringLiteral("/store.xml")) ||
        !bob.EnablePresence(bob.dataDir() + QStringLiteral("/store.xml")))
        return false;

    // The message session both ways, opened by a first message that is not measured.
    RtcParticipantPtr participant;
    if (FAILED(alice.client().CreateSession(RTCST_MULTIPARTY_IM, {}, {}, 0, m_aliceSession)) ||
        FAILED(m_aliceSession->AddParticipant(CSipService::Uri(CEndpoint::kBob.number), {}, participant)))
        return false;
    m_bob->waiter->Expect(Message(QStringLiteral("hello")));
    m_aliceSession->SendMessage({}, QStringLiteral("hello"), m_cookie++);
    auto first = std::static_pointer_cast<IRTCMessagingEvent>(m_bob->waiter->Wait());
    if (!first)
        return false;
    m_bobSession = first->m_session;

    // Bob watches Alice, who allows him.
    const QString aliceUri = CSipService::Uri(CEndpoint::kAlice.number);
    RtcBuddyPtr buddy;
    if (FAILED(bob.presence().AddBuddy(aliceUri, QStringLiteral("Alice"), {}, true, {}, 0, buddy)))
        return false;
    auto offer = alice.WaitWatcher(RTCWET_WATCHER_OFFERING, CSipService::Uri(CEndpoint::kBob.number));
    return offer && SUCCEEDED(offer->m_watcher->put_State(RTCWS_ALLOWED)) &&
           SUCCEEDED(alice.presence().SetLocalPresenceInfo(RTCXS_PRESENCE_ONLINE, {})) &&
           bob.WaitBuddyStatus(aliceUri, RTCXS_PRESENCE_ONLINE);
}

void CBench::Row(const QString& what, const QString& figure)
{
    m_rows << QStringLiteral("| %1 | %2 |").arg(what, figure);
    std::fprintf(stderr, "%s\n", qPrintable(m_rows.last()));
}

void CBench::Messages()
{
    CSeries oneWay;
    CSeries roundTrip;
    for (int run = 0; run < m_runs; ++run) {
        const QString ping = QStringLiteral("ping %1").arg(run);
        const QString pong = QStringLiteral("pong %1").arg(run);
        m_bob->waiter->Expect(Message(ping));
        m_alice->waiter->Expect(Message(pong));
        const CStopwatch clock;
        if (FAILED(m_aliceSession->SendMessage({}, ping, m_cookie++)) || !m_bob->waiter->Wait())
            continue;
        oneWay.Add(clock.MsUntil(m_bob->waiter->when()));
        if (SUCCEEDED(m_bobSession->SendMessage({}, pong, m_cookie++)) && m_alice->waiter->Wait())
            roundTrip.Add(clock.MsUntil(m_alice->waiter->when()));
    }
    Row(QStringLiteral("message sent → delivered to the other party (ms)"), oneWay.Summary());
    Row(QStringLiteral("message round trip: sent → answer delivered back (ms)"), roundTrip.Summary());
}

void CBench::TypingNotices()
{
    CSeries typing;
    for (int run = 0; run < m_runs; ++run) {
        m_bob->waiter->Expect(Typing(RTCMUS_TYPING));
        const CStopwatch clock;
        if (FAILED(m_aliceSession->SendMessageStatus(RTCMUS_TYPING, m_cookie++)) || !m_bob->waiter->Wait())
            continue;
        typing.Add(clock.MsUntil(m_bob->waiter->when()));
        // Back to idle, so that the next notice is a change again.
        m_bob->waiter->Expect(Typing(RTCMUS_IDLE));
        m_aliceSession->SendMessageStatus(RTCMUS_IDLE, m_cookie++);
        m_bob->waiter->Wait();
    }
    Row(QStringLiteral("typing notice: SendMessageStatus → the other party's status event (ms)"), typing.Summary());
}

void CBench::PresenceChanges()
{
    // Each status differs from the one before it, so that every publication is a change.
    const RTC_PRESENCE_STATUS cycle[] = {RTCXS_PRESENCE_AWAY, RTCXS_PRESENCE_BUSY, RTCXS_PRESENCE_ONLINE};
    const QString aliceUri = CSipService::Uri(CEndpoint::kAlice.number);
    CSeries notified;
    for (int run = 0; run < m_runs; ++run) {
        const RTC_PRESENCE_STATUS status = cycle[run % 3];
        m_bob->waiter->Expect(BuddyStatus(aliceUri, status));
        const CStopwatch clock;
        if (SUCCEEDED(m_alice->endpoint.presence().SetLocalPresenceInfo(status, {})) && m_bob->waiter->Wait())
            notified.Add(clock.MsUntil(m_bob->waiter->when()));
    }
    Row(QStringLiteral("presence change: SetLocalPresenceInfo → watcher's buddy event with it (ms)"),
        notified.Summary());
}

std::map<QString, QString> CBench::StoreRunInChild(int settleMs)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{kStoreRunOption};
    if (settleMs > 0)
        arguments << kSettleOption << QString::number(settleMs);
    else
        arguments << kTraceOption;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    std::map<QString, QString> results;
    if (!child.waitForFinished(kStoreRunMs)) {
        child.kill();
        child.waitForFinished(1000);
        return results;
    }
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    const qsizetype at = output.indexOf(kResultTag);
    if (at < 0)
        return results;
    const QString line = output.mid(at + kResultTag.size()).section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "%s\n", qPrintable(line));
    // name=value pairs; "[answer]=count" pairs tell what the client received.
    static const QRegularExpression pair(QStringLiteral("(\\[[^\\]]*\\]|\\w+)=(\\S+)"));
    for (auto it = pair.globalMatch(line); it.hasNext();) {
        const auto match = it.next();
        results[match.captured(1)] = match.captured(2);
    }
    if (results[QStringLiteral("loaded")].toInt() != kBuddies)
        results.clear();
    return results;
}

void CBench::ManyBuddyStore()
{
    CSeries parse;
    CSeries enable;
    CSeries enableTraced;
    CSeries allNotified;
    CSeries cpu;
    CSeries window;
    CSeries idle;
    CSeries rssBefore;
    CSeries rssAfter;
    CSeries privBefore;
    CSeries privAfter;
    CSeries notified;
    QStringList failed;
    for (int run = 0; run < m_storeRuns; ++run) {
        // Traced first: how long the answers take tells the untraced run how long to watch.
        const auto traced = StoreRunInChild(0);
        if (traced.empty())
            continue;
        auto at = [](const std::map<QString, QString>& results, const char* name) {
            return results.at(QLatin1String(name)).toDouble();
        };
        enableTraced.Add(at(traced, "enable"));
        notified.Add(at(traced, "notified"));
        if (at(traced, "notified") == kBuddies)
            allNotified.Add(at(traced, "lastNotify"));
        const auto plain = StoreRunInChild(static_cast<int>(at(traced, "window")) + kSettleMarginMs);
        if (plain.empty())
            continue;
        failed << plain.at(QStringLiteral("failed"));
        parse.Add(at(plain, "parse"));
        enable.Add(at(plain, "enable"));
        cpu.Add(at(plain, "cpu"));
        window.Add(at(plain, "window") / 1000);
        idle.Add(at(plain, "idle"));
        rssBefore.Add(at(plain, "rss0"));
        privBefore.Add(at(plain, "priv0"));
        rssAfter.Add(at(plain, "rss"));
        privAfter.Add(at(plain, "priv"));
    }
    Row(QStringLiteral("500-buddy store (10 groups): reading and parsing the file alone (ms)"), parse.Summary(2));
    Row(QStringLiteral("EnablePresenceEx with it: store loaded, first SUBSCRIBEs sent (ms)"), enable.Summary());
    Row(QStringLiteral("the same with the SIP trace written (ms)"), enableTraced.Summary());
    Row(QStringLiteral("buddies whose first NOTIFY came within %1 s of EnablePresenceEx, SIP trace on (of %2)")
            .arg(kAnswerWaitMs / 1000)
            .arg(kBuddies),
        notified.Summary(0));
    Row(QStringLiteral("EnablePresenceEx → first NOTIFY of every buddy received, SIP trace on (ms)"),
        allNotified.empty() ? QStringLiteral("not within %1 s").arg(kAnswerWaitMs / 1000) : allNotified.Summary(0));
    Row(QStringLiteral("client CPU time from EnablePresenceEx over the window (s; window %1 s; subscriptions "
                       "failed per run: %2)")
            .arg(window.Summary(0), failed.join(QStringLiteral(", "))),
        cpu.Summary(3));
    Row(QStringLiteral("client CPU afterwards with 500 buddies, idle (% of one core)"), idle.Summary(2));
    Row(QStringLiteral("client resident memory before EnablePresenceEx, total / private (MB)"),
        rssBefore.Summary() + QStringLiteral(" / ") + privBefore.Summary());
    Row(QStringLiteral("client resident memory with 500 buddies, total / private (MB)"),
        rssAfter.Summary() + QStringLiteral(" / ") + privAfter.Summary());
}

void CBench::Run()
{
    m_rows << QStringLiteral("| what | this layer (liblinphone) |") << QStringLiteral("|---|---|");
    Messages();
    TypingNotices();
    PresenceChanges();
    m_alice->endpoint.ShutDown();
    m_bob->endpoint.ShutDown();
    m_service.Stop();
    ManyBuddyStore();
    std::printf("Machine: %s\n\nMedian (min–max, runs). Latencies: two endpoints of this layer in the benchmark's "
                "process; 500 buddies: a fresh process and service per run.\n\n%s\n",
                qPrintable(MachineDescription()), qPrintable(m_rows.join(u'\n')));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() > 1 && arguments.at(1) == kStoreRunOption) {
        const qsizetype settle = arguments.indexOf(kSettleOption);
        return StoreRun(arguments.contains(kTraceOption), settle > 0 ? arguments.value(settle + 1).toInt() : 0);
    }
    const int runs = arguments.size() > 1 ? std::max(1, arguments.at(1).toInt()) : 15;
    const int storeRuns = arguments.size() > 2 ? std::max(0, arguments.at(2).toInt()) : 3;
    CBench bench(runs, storeRuns);
    if (!bench.Prepare()) {
        std::fprintf(stderr, "the benchmark could not set up its service and its two parties\n");
        return 1;
    }
    bench.Run();
    return 0;
}
