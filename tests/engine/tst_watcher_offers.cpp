// The answer to a new watcher against the fake library: the presence server
// allowed without asking, the user's answer applied, one prompt at a time, and
// nothing done with an answer that comes after the watcher, the logon or the
// engine has gone.
#include "engine/ClientEngine.h"
#include "engine/ServiceConfig.h"
#include "engine/SettingsStore.h"
#include "tests/fakes/EngineRig.h"
#include "tests/fakes/IsolatedHome.h"
#include "tests/fakes/RecordingViews.h"

#include <QSettings>
#include <QtTest>

namespace {
const QString kBob = QStringLiteral("sip:15551230002@sip.orvalo.test");
const QString kCarol = QStringLiteral("sip:9995550001@sip.orvalo.test");
const QString kDave = QStringLiteral("sip:15551230003@sip.orvalo.test");
const QString kServerUri = QStringLiteral("sip:presence@sip.orvalo.test");

enum class EReply { None, Allow, Block, Cancel };

std::optional<SWatcherAnswer> Reply(EReply reply, bool addAsBuddy)
{
    if (reply == EReply::Cancel || reply == EReply::None)
        return std::nullopt;
    return SWatcherAnswer{reply == EReply::Allow, addAsBuddy};
}
} // namespace

class TestWatcherOffers : public QObject {
    Q_OBJECT

private:
    IsolatedHome m_home;
    std::unique_ptr<EngineRig> m_rig;
    RecordingWatchers m_watchers;

    std::shared_ptr<FakeWatcher> watcher(const QString& uri, const QString& name)
    {
        return m_rig->client().addFakeWatcher(uri, name);
    }
    void offer(const RtcWatcherPtr& offered)
    {
        m_rig->deliver(RTCE_WATCHER, FakeEvents::watcher(offered, RTCWET_WATCHER_OFFERING));
    }
    // Lets the queued turns of waiting offers run, a bounded number of times.
    static void runQueuedTurns()
    {
        for (int turn = 0; turn < 10; ++turn)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
    QStringList prompts() const { return m_watchers.log.filter(QStringLiteral("Prompt:")); }

private slots:
    void init()
    {
        QSettings(QStringLiteral("Quenlark"), QStringLiteral("OrvaloPhone")).clear();
        CSettingsStore::WriteSetting(kSettingSipServerUri, kServerUri);
        m_rig = std::make_unique<EngineRig>();
        m_watchers.log.clear();
        m_watchers.answer = nullptr;
        m_rig->engine().SetWatchersView(&m_watchers);
        m_rig->logOn();
        m_rig->log().clear();
    }

    void cleanup() { m_rig.reset(); }

    void offerIsAnsweredAsTheUserOrTheServerRuleSays_data()
    {
        QTest::addColumn<QString>("serverSetting");
        QTest::addColumn<QString>("uri");
        QTest::addColumn<int>("nameStatus");
        QTest::addColumn<int>("stateBefore");
        QTest::addColumn<EReply>("reply");
        QTest::addColumn<bool>("addAsBuddy");
        QTest::addColumn<int>("stateAfter");
        QTest::addColumn<bool>("buddyAdded");
        QTest::addColumn<bool>("windowsTold");

        const QString defaultServer = "sip:ZadodaVovova@" + ServiceConfig::current().sipDomain;
        QTest::newRow("presence server") << kServerUri << kServerUri << 0 << int(RTCWS_OFFERING) << EReply::None
                                         << false << int(RTCWS_ALLOWED) << false << true;
        QTest::newRow("short setting: the default server")
            << "sip:" << defaultServer << 0 << int(RTCWS_OFFERING) << EReply::None << false << int(RTCWS_ALLOWED)
            << false << true;
        QTest::newRow("server compared case-sensitively")
            << kServerUri << kServerUri.toUpper() << 0 << int(RTCWS_OFFERING) << EReply::Allow << false
            << int(RTCWS_ALLOWED) << false << true;
        QTest::newRow("allow and add") << kServerUri << kBob << 0 << int(RTCWS_OFFERING) << EReply::Allow << true
                                       << int(RTCWS_ALLOWED) << true << true;
        QTest::newRow("allow only") << kServerUri << kBob << 0 << int(RTCWS_OFFERING) << EReply::Allow << false
                                    << int(RTCWS_ALLOWED) << false << true;
        QTest::newRow("block, still added") << kServerUri << kBob << 0 << int(RTCWS_OFFERING) << EReply::Block << true
                                            << int(RTCWS_BLOCKED) << true << true;
        QTest::newRow("cancel") << kServerUri << kBob << 0 << int(RTCWS_OFFERING) << EReply::Cancel << true
                                << int(RTCWS_OFFERING) << false << false;
        QTest::newRow("no display name") << kServerUri << kBob << int(RTC_E_NO_DISPLAY_NAME) << int(RTCWS_OFFERING)
                                         << EReply::Allow << true << int(RTCWS_ALLOWED) << true << true;
        QTest::newRow("unreadable name") << kServerUri << kBob << int(E_FAIL) << int(RTCWS_OFFERING) << EReply::None
                                         << false << int(RTCWS_OFFERING) << false << false;
        QTest::newRow("decided already") << kServerUri << kBob << 0 << int(RTCWS_DENIED) << EReply::None << true
                                         << int(RTCWS_DENIED) << false << false;
    }

    void offerIsAnsweredAsTheUserOrTheServerRuleSays()
    {
        QFETCH(QString, serverSetting);
        QFETCH(QString, uri);
        QFETCH(int, nameStatus);
        QFETCH(int, stateBefore);
        QFETCH(EReply, reply);
        QFETCH(bool, addAsBuddy);
        QFETCH(int, stateAfter);
        QFETCH(bool, buddyAdded);
        QFETCH(bool, windowsTold);
        CSettingsStore::WriteSetting(kSettingSipServerUri, serverSetting);
        auto offered = watcher(uri, "Bob");
        offered->m_nameStatus = nameStatus;
        offered->m_state = static_cast<RTC_WATCHER_STATE>(stateBefore);
        m_watchers.answer = [&](const QString&, const QString&) { return Reply(reply, addAsBuddy); };

        offer(offered);

        const bool asked = reply != EReply::None;
        const QString shownName = nameStatus == 0 ? QStringLiteral("Bob") : QString();
        QCOMPARE(prompts(), asked ? QStringList{"Prompt:" + shownName + "|" + uri} : QStringList{});
        QCOMPARE(int(offered->m_state), stateAfter);
        QCOMPARE(offered->m_persistent, stateAfter != stateBefore);
        QCOMPARE(m_rig->log().count("Client.AddBuddy"), buddyAdded ? 1 : 0);
        if (buddyAdded)
            QCOMPARE(m_rig->log().last("Client.AddBuddy")->args.mid(0, 4), QVariantList({uri, shownName, "", true}));
        QCOMPARE(m_watchers.log.contains("OnWatcherEvent:3"), windowsTold);
    }

    // While the prompt is open the program goes on; its answer must not reach a
    // watcher, a logon or an engine that is no longer there.
    void answerThatCannotBeAppliedChangesNothing_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("log off") << "log off";
        QTest::newRow("watcher removed") << "watcher removed";
        QTest::newRow("engine gone") << "engine gone";
        QTest::newRow("decision refused by the library") << "";
    }

    void answerThatCannotBeAppliedChangesNothing()
    {
        QFETCH(QString, meanwhile);
        auto offered = watcher(kBob, "Bob");
        if (meanwhile.isEmpty())
            m_rig->client().setResult("Watcher.put_State", E_FAIL);
        m_watchers.answer = [&](const QString&, const QString&) {
            if (meanwhile == "log off")
                m_rig->engine().LogOff();
            else if (meanwhile == "watcher removed")
                m_rig->client().RemoveWatcher(offered);
            else if (meanwhile == "engine gone")
                m_rig->dropEngine();
            return Reply(EReply::Allow, true);
        };
        offer(offered);
        QCOMPARE(offered->m_state, RTCWS_OFFERING);
        QCOMPARE(m_rig->log().count("Client.AddBuddy"), 0);
        QVERIFY(!m_watchers.log.contains("OnWatcherEvent:3"));
    }

    void offersDuringThePromptWaitTheirTurn_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QStringList>("asked");
        QTest::newRow("each once, in order") << "" << QStringList({"Bob", "Carol", "Dave"});
        QTest::newRow("one decided while waiting") << "Carol decided" << QStringList({"Bob", "Dave"});
        QTest::newRow("log off forgets them") << "log off" << QStringList{"Bob"};
    }

    void offersDuringThePromptWaitTheirTurn()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QStringList, asked);
        auto bob = watcher(kBob, "Bob");
        auto carol = watcher(kCarol, "Carol");
        auto dave = watcher(kDave, "Dave");
        QStringList names;
        int open = 0;
        m_watchers.answer = [&](const QString& name, const QString&) {
            names << name + (open++ ? " inside another prompt" : "");
            if (name == "Bob") {
                // Second attempts of a waiting watcher and of the one being asked come too.
                for (const auto& offered : {carol, dave, carol, bob})
                    offer(offered);
                if (meanwhile == "Carol decided")
                    carol->m_state = RTCWS_BLOCKED;
                else if (meanwhile == "log off")
                    m_rig->engine().LogOff();
            }
            --open;
            return Reply(EReply::Allow, false);
        };
        offer(bob);
        runQueuedTurns();
        QCOMPARE(names, asked);
        QCOMPARE(dave->m_state, asked.contains("Dave") ? RTCWS_ALLOWED : RTCWS_OFFERING);
    }
};

QTEST_GUILESS_MAIN(TestWatcherOffers)
#include "tst_watcher_offers.moc"
