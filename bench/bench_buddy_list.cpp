// The buddy list under load and over the wire: rebuilding a list of 1 000 buddies
// in 20 groups, a storm of 1 000 presence changes within one second (the longest
// time the event loop is blocked), and a status change at the far end until the
// tree shows it, through the real layer and the local service.
//
// orvalo-bench-buddy-list [runs]; results as a Markdown table on standard output.
#include "BenchSupport.h"

#include "tests/fakes/FakeRtcClient.h"
#include "tests/fakes/RecordingViews.h"
#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include "engine/ClientEngine.h"
#include "engine/PresenceStatus.h"
#include "engine/ServiceConfig.h"
#include "engine/SettingsStore.h"
#include "platform/linphone/LinphoneClientFactory.h"
#include "presence/BuddyTreeCtrl.h"
#include "shell/BuddyListPage.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {
constexpr int kBuddies = 1000;
constexpr int kGroups = 20;
constexpr int kStormBatchMs = 10; // 100 batches of 10 changes: 1 000 changes in one second
constexpr int kStormBatch = kBuddies * kStormBatchMs / 1000;
constexpr int kSignallingMs = 15000;

// The longest gap between the ticks of a 1 ms timer, less the millisecond itself.
class CStallMeter {
public:
    CStallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const Moment now = Now();
            m_longest = std::max(m_longest, MsBetween(m_last, now) - 1.0);
            m_last = now;
        });
    }
    void Start()
    {
        m_last = Now();
        m_longest = 0;
        m_timer.start();
    }
    double Stop()
    {
        m_timer.stop();
        return m_longest;
    }

private:
    QTimer m_timer;
    Moment m_last;
    double m_longest = 0;
};

// An engine over the fake library showing its list in the real buddy page.
struct SFakeList {
    SFakeList()
        : client(FakeRtcClient::create()), engine(CClientEngine::Create(
                                               [this](RtcClientPtr& created) {
                                                   created = client;
                                                   return S_OK;
                                               },
                                               display))
    {
        page.resize(292, 330);
        page.SetEngine(engine.get());
        page.show();
        for (int g = 0; g < kGroups; ++g)
            groups.push_back(client->addFakeGroup(QStringLiteral("Group %1").arg(g, 2, 10, QLatin1Char('0'))));
        for (int b = 0; b < kBuddies; ++b) {
            auto buddy =
                client->addFakeBuddy(QStringLiteral("sip:1555%1@sip.orvalo.test").arg(b, 7, 10, QLatin1Char('0')),
                                     QString(), RTCXS_PRESENCE_ONLINE);
            buddy->m_properties[RTCPP_DISPLAYNAME] = QStringLiteral("Buddy %1").arg(b);
            groups.at(std::size_t(b % kGroups))->m_buddies.push_back(buddy);
            buddies.push_back(buddy);
        }
    }

    RecordingDisplay display;
    std::shared_ptr<FakeRtcClient> client;
    std::unique_ptr<CClientEngine> engine;
    CBuddyListPage page;
    std::vector<std::shared_ptr<FakeGroup>> groups;
    std::vector<std::shared_ptr<FakeBuddy>> buddies;
};

QStringList g_rows;

void Row(const QString& what, const QString& figure)
{
    g_rows << QStringLiteral("| %1 | %2 |").arg(what, figure);
    std::fprintf(stderr, "%s\n", qPrintable(g_rows.last()));
}

void Rebuild(int runs)
{
    SFakeList list;
    CSeries call, shown;
    for (int run = 0; run < runs; ++run) {
        const CStopwatch clock;
        list.engine->RebuildBuddyList();
        call.Add(clock.Ms());
        QCoreApplication::processEvents(); // layout and paint
        shown.Add(clock.Ms());
    }
    Row(QStringLiteral("RebuildBuddyList, 1 000 buddies in 20 groups (ms)"), call.Summary());
    Row(QStringLiteral("the same until laid out and painted (ms)"), shown.Summary());
}

void Storm(int runs)
{
    SFakeList list;
    list.engine->RebuildBuddyList();
    QCoreApplication::processEvents();
    CSeries stall, wrong;
    for (int run = 0; run < runs; ++run) {
        const auto status = RTC_PRESENCE_STATUS(run % 2 ? RTCXS_PRESENCE_ONLINE : RTCXS_PRESENCE_BUSY);
        CStallMeter meter;
        QTimer batches;
        batches.setTimerType(Qt::PreciseTimer);
        batches.setInterval(kStormBatchMs);
        int next = 0;
        QObject::connect(&batches, &QTimer::timeout, [&] {
            for (int i = 0; i < kStormBatch && next < kBuddies; ++i, ++next) {
                list.buddies.at(std::size_t(next))->m_status = status;
                list.client->fire(RTCE_BUDDY,
                                  FakeEvents::buddy(list.buddies.at(std::size_t(next)), RTCBET_BUDDY_STATE_CHANGE));
            }
        });
        meter.Start();
        batches.start();
        WaitUntil([&] { return next >= kBuddies; }, kSignallingMs);
        batches.stop();
        Idle(50); // the last batch is shown
        stall.Add(meter.Stop());
        int mismatches = 0;
        for (const auto& buddy : list.buddies) {
            const CBuddyTreeItem* row = list.page.Tree()->FindBuddyItem(buddy);
            QString name;
            buddy->get_PresenceProperty(RTCPP_DISPLAYNAME, name);
            mismatches += !row || row->text(0) != BuddyStatusLine(status, name);
        }
        wrong.Add(mismatches);
    }
    Row(QStringLiteral("1 000 presence changes in one second: longest event-loop stall (ms)"), stall.Summary());
    Row(QStringLiteral("rows not showing their last status afterwards"), wrong.Summary(0));
}

// Alice's whole engine over the real layer watches Bob; Bob changes his status.
void FarEnd(int runs)
{
    CTestHome home;
    CSipService service(home.NewFolder(QStringLiteral("service")));
    if (!service.Start()) {
        std::fprintf(stderr, "service: %s\n", qPrintable(service.error()));
        return;
    }
    ServiceConfig config = ServiceConfig::current();
    config.sipServer = service.server();
    config.sipDomain = QString::fromLatin1(CSipService::kDomain);
    ServiceConfig::setCurrent(config);
    CEndpoint bob(home.NewFolder(QStringLiteral("bob")));
    if (!bob.Logon(service, CEndpoint::kBob) || !bob.EnablePresence(bob.dataDir() + QStringLiteral("/store.xml")))
        return;

    CSettingsStore::WriteSetting(QLatin1String(kSettingUserUri), CEndpoint::kAlice.number);
    CSettingsStore::WriteSetting(QLatin1String(kSettingAccount), CEndpoint::kAlice.number);
    CSettingsStore::WriteSetting(QLatin1String(kSettingPassword), CEndpoint::kAlice.password);
    LinphoneClientOptions options;
    options.dataDir = home.NewFolder(QStringLiteral("alice"));
    options.filesOnly = true;
    RecordingDisplay display;
    std::unique_ptr<CClientEngine> engine(CClientEngine::Create(
        [options](RtcClientPtr& client) { return CreateLinphoneRtcClient(options, client); }, display));
    CBuddyListPage page;
    page.resize(292, 330);
    page.SetEngine(engine.get());
    page.show();
    const QString aliceUri = CSipService::Uri(CEndpoint::kAlice.number);
    const QString bobUri = CSipService::Uri(CEndpoint::kBob.number);
    engine->SetLogonPassword(CEndpoint::kAlice.password);
    if (!engine || FAILED(engine->StartLogon(aliceUri, service.server(), QStringLiteral("UDP"))) ||
        !WaitUntil([&] { return display.statusBar.endsWith(QStringLiteral("(Online)")); }, kSignallingMs) ||
        FAILED(engine->AddBuddyToList(bobUri, QString()))) {
        std::fprintf(stderr, "the phone could not log on and add its buddy\n");
        return;
    }
    auto offer = bob.WaitWatcher(RTCWET_WATCHER_OFFERING, aliceUri);
    if (!offer || FAILED(offer->m_watcher->put_State(RTCWS_ALLOWED)))
        return;

    CBuddyTreeCtrl& tree = *page.Tree();
    const QString name = CEndpoint::kBob.number;
    auto shows = [&](int status) {
        const CBuddyTreeItem* row =
            tree.topLevelItem(0)->childCount() ? CBuddyTreeCtrl::ItemOf(tree.topLevelItem(0)->child(0)) : nullptr;
        return row && row->text(0) == BuddyStatusLine(status, name);
    };
    const RTC_PRESENCE_STATUS cycle[] = {RTCXS_PRESENCE_AWAY, RTCXS_PRESENCE_BUSY, RTCXS_PRESENCE_ONLINE};
    CSeries shown;
    for (int run = 0; run < runs; ++run) {
        const RTC_PRESENCE_STATUS status = cycle[run % 3];
        Moment at{};
        const QMetaObject::Connection watch = QObject::connect(tree.model(), &QAbstractItemModel::dataChanged, [&] {
            if (at == Moment{} && shows(status))
                at = Now();
        });
        const CStopwatch clock;
        if (SUCCEEDED(bob.presence().SetLocalPresenceInfo(status, {})) &&
            WaitUntil([&] { return at != Moment{}; }, kSignallingMs))
            shown.Add(clock.MsUntil(at));
        QObject::disconnect(watch);
    }
    Row(QStringLiteral("far-end status change → the buddy's line shows it, loopback (ms)"), shown.Summary());
    engine->LogOff();
    WaitUntil([] { return false; }, 200);
    bob.ShutDown();
}
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 15;
    g_rows << QStringLiteral("| what | median (min–max, runs) |") << QStringLiteral("|---|---|");
    Rebuild(runs);
    Storm(std::max(1, runs / 3));
    FarEnd(runs);
    std::printf("Machine: %s\n\n%s\n", qPrintable(MachineDescription()), qPrintable(g_rows.join(u'\n')));
    return 0;
}
