// Speed of the message window: a message sent by another party until it shows in
// the phone's transcript, and a burst of messages (all shown, in order, and the
// longest the phone's event loop stalled meanwhile). The phone is the whole
// program, offscreen, logged on to the local service; the other party is an
// endpoint of the RTC layer in the same process, so the stall includes its work.
// Prints a Markdown report.
//
//   orvalo-bench-messages [runs] [burst size]      (default 15 and 1000)
#include "BenchSupport.h"
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "engine/ServiceConfig.h"
#include "platform/linphone/LinphoneClientFactory.h"
#include "sessions/IMSessionWnd.h"
#include "shell/LogonDialog.h"
#include "shell/MainFrame.h"
#include "shell/OrvaloPhoneApp.h"
#include "tests/fakes/ModalDriver.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <memory>

namespace {

constexpr int kWaitMs = 10000;
constexpr int kBurstWaitMsPerMessage = 100;
constexpr int kTickMs = 1;
const CEndpoint::Account& kPhone = CEndpoint::kAlice;
const CEndpoint::Account& kSender = CEndpoint::kBob;

// The gaps between the ticks of a 1 ms timer: how long the event loop was busy
// elsewhere. On a shared machine a gap may be time the thread was not even
// running, so the thread's own CPU time during each gap is kept as well.
class CStallMeter {
public:
    struct SLongest {
        double wallMs = 0; // the longest gap
        double busyMs = 0; // the most CPU time the thread spent within one gap
    };

    CStallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kTickMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const Moment now = Now();
            const double cpu = ThreadCpuMs();
            m_longest.wallMs = std::max(m_longest.wallMs, MsBetween(m_last, now));
            m_longest.busyMs = std::max(m_longest.busyMs, cpu - m_lastCpuMs);
            m_last = now;
            m_lastCpuMs = cpu;
        });
    }
    void Start()
    {
        m_longest = {};
        m_last = Now();
        m_lastCpuMs = ThreadCpuMs();
        m_timer.start();
    }
    SLongest Stop()
    {
        m_timer.stop();
        return m_longest;
    }

private:
    static double ThreadCpuMs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
    }

    QTimer m_timer;
    Moment m_last;
    double m_lastCpuMs = 0;
    SLongest m_longest;
};

// Watches a transcript and stamps each body that is written into it.
class CTranscriptWatch {
public:
    explicit CTranscriptWatch(QTextEdit& history) : m_history(history)
    {
        QObject::connect(&history, &QTextEdit::textChanged, [this] { OnChanged(); });
    }
    // The moment the body was shown, once it was.
    bool Shown(const QString& body, Moment& when) const
    {
        for (auto it = m_shown.rbegin(); it != m_shown.rend(); ++it)
            if (it->first == body) {
                when = it->second;
                return true;
            }
        return false;
    }
    QStringList Bodies(qsizetype from) const
    {
        QStringList bodies;
        for (qsizetype i = from; i < qsizetype(m_shown.size()); ++i)
            bodies << m_shown[i].first;
        return bodies;
    }
    qsizetype Count() const { return qsizetype(m_shown.size()); }

private:
    // An entry is complete once its body is followed by the empty block the next one goes into.
    void OnChanged()
    {
        const QTextBlock last = m_history.document()->lastBlock();
        if (!last.text().isEmpty() || !last.previous().isValid())
            return;
        const QString body = last.previous().text();
        if (body.endsWith(QStringLiteral(" says:")) || (!m_shown.empty() && m_shown.back().first == body))
            return;
        m_shown.emplace_back(body, Now());
    }

    QTextEdit& m_history;
    std::vector<std::pair<QString, Moment>> m_shown;
};

class CBench {
public:
    CBench(int runs, int burst) : m_runs(runs), m_burst(burst), m_service(m_home.NewFolder(QStringLiteral("service")))
    {
    }
    ~CBench()
    {
        m_senderSession.reset();
        m_sender.reset();
        if (m_app && m_app->Frame())
            m_app->Frame()->ExitNow();
        WaitUntil([this] { return !m_app->Frame(); }, kWaitMs);
        m_app.reset();
    }

    bool Prepare();
    void Run();

private:
    void Latency();
    void Burst();
    void Row(const QString& what, const QString& figure);

    int m_runs;
    int m_burst;
    CTestHome m_home;
    CSipService m_service;
    std::unique_ptr<COrvaloPhoneApp> m_app;
    std::unique_ptr<CEndpoint> m_sender;
    RtcSessionPtr m_senderSession;
    QPointer<CIMSessionWnd> m_window;
    std::unique_ptr<CTranscriptWatch> m_watch;
    QStringList m_rows;
};

bool CBench::Prepare()
{
    if (!m_service.Start()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(m_service.error()));
        return false;
    }
    ServiceConfig service = ServiceConfig::current();
    service.sipServer = m_service.server();
    service.sipDomain = QString::fromLatin1(CSipService::kDomain);
    ServiceConfig::setCurrent(service);
    LinphoneClientOptions options;
    options.dataDir = m_home.NewFolder(QStringLiteral("phone"));
    options.filesOnly = true;
    m_app = std::make_unique<COrvaloPhoneApp>(
        [options](RtcClientPtr& client) { return CreateLinphoneRtcClient(options, client); });
    CModalDriver logon;
    logon.WhenOpen<CLogonDialog>(
        [](CLogonDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("1000"))->setText(kPhone.number);
            dialog.findChild<QLineEdit*>(QStringLiteral("1012"))->setText(kPhone.number);
            dialog.findChild<QLineEdit*>(QStringLiteral("1014"))->setText(kPhone.password);
            dialog.findChild<QPushButton*>(QStringLiteral("1"))->click();
        },
        kWaitMs);
    if (!m_app->InitInstance() ||
        !WaitUntil([this] { return m_app->Frame()->StatusPane()->text().endsWith(QStringLiteral("(Online)")); },
                   kWaitMs))
        return false;

    m_sender = std::make_unique<CEndpoint>(m_home.NewFolder(QStringLiteral("sender")));
    RtcParticipantPtr participant;
    if (!m_sender->Logon(m_service, kSender) ||
        FAILED(m_sender->client().CreateSession(RTCST_MULTIPARTY_IM, {}, {}, 0, m_senderSession)) ||
        FAILED(m_senderSession->AddParticipant(CSipService::Uri(kPhone.number), {}, participant)) ||
        FAILED(m_senderSession->SendMessage({}, QStringLiteral("hello"), 0)))
        return false;
    // The first message opens the phone's window; it is not measured.
    if (!WaitUntil([this] { return !g_pClientEngine->SessionWindows().empty(); }, kWaitMs))
        return false;
    m_window = dynamic_cast<CIMSessionWnd*>(g_pClientEngine->SessionWindows().front());
    if (!m_window)
        return false;
    QTextEdit* history = m_window->findChild<QTextEdit*>(QString::number(CIMSessionWnd::kHistoryId));
    m_watch = std::make_unique<CTranscriptWatch>(*history);
    return WaitUntil([history] { return history->toPlainText().contains(QStringLiteral("hello")); }, kWaitMs);
}

void CBench::Row(const QString& what, const QString& figure)
{
    m_rows << QStringLiteral("| %1 | %2 |").arg(what, figure);
    std::fprintf(stderr, "%s\n", qPrintable(m_rows.last()));
}

void CBench::Latency()
{
    CSeries shownAfter;
    for (int run = 0; run < m_runs; ++run) {
        const QString text = QStringLiteral("ping %1").arg(run);
        const Moment sent = Now();
        Moment shown;
        if (FAILED(m_senderSession->SendMessage({}, text, 0)) ||
            !WaitUntil([&] { return m_window && m_watch->Shown(text, shown); }, kWaitMs))
            continue;
        shownAfter.Add(MsBetween(sent, shown));
        Idle(50); // the sender's delivery report and the receiver's database settle
    }
    Row(QStringLiteral("message sent by the other party → shown in the phone's transcript (ms)"), shownAfter.Summary());
}

void CBench::Burst()
{
    const qsizetype before = m_watch->Count();
    QStringList expected;
    for (int i = 0; i < m_burst; ++i)
        expected << QStringLiteral("burst %1").arg(i);
    CStallMeter stalls;
    stalls.Start();
    const Moment start = Now();
    for (const QString& text : expected)
        m_senderSession->SendMessage({}, text, 0);
    const bool all =
        WaitUntil([&] { return !m_window || m_watch->Count() - before >= m_burst; }, m_burst * kBurstWaitMsPerMessage);
    const double totalMs = MsBetween(start, Now());
    const CStallMeter::SLongest longest = stalls.Stop();
    const QStringList shown = m_watch->Bodies(before);
    Row(QStringLiteral("burst of %1 messages: shown / in order").arg(m_burst),
        QStringLiteral("%1 / %2").arg(shown.size()).arg(shown == expected ? "yes" : "no"));
    Row(QStringLiteral("burst of %1 messages: first sent → last shown (ms)").arg(m_burst),
        all ? QString::number(totalMs, 'f', 0) : QStringLiteral("not all shown"));
    Row(QStringLiteral("burst of %1 messages: longest event-loop stall of the phone (ms)").arg(m_burst),
        QString::number(longest.wallMs, 'f', 1));
    Row(QStringLiteral("burst of %1 messages: most CPU time of the phone's thread within one stall (ms)").arg(m_burst),
        QString::number(longest.busyMs, 'f', 1));
}

void CBench::Run()
{
    Latency();
    Burst();
    std::printf("Machine: %s\n\n| what | figure |\n|---|---|\n%s\n", qPrintable(MachineDescription()),
                qPrintable(m_rows.join(u'\n')));
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int runs = arguments.size() > 1 ? std::max(1, arguments.at(1).toInt()) : 15;
    const int burst = arguments.size() > 2 ? std::max(1, arguments.at(2).toInt()) : 1000;
    CBench bench(runs, burst);
    if (!bench.Prepare()) {
        std::fprintf(stderr, "the benchmark could not log the phone on or open its message window\n");
        return 1;
    }
    bench.Run();
    return 0;
}
