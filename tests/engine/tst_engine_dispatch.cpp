// How library events travel from the sink to the part of the program that handles them.
#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "engine/RtcEventMessage.h"
#include "tests/fakes/EngineRig.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/RecordingSessionWnd.h"
#include "tests/fakes/RecordingViews.h"

#include <QtTest>

#include <thread>

class TestEngineDispatch : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<EngineRig> m_rig;
    RecordingBuddyList m_buddyList;
    RecordingWatchers m_watchers;

    void deliver(RTC_EVENT type, const RtcEventPtr& event) { m_rig->deliver(type, event); }

    std::shared_ptr<FakeSession> sessionWithWindow(RecordingSessionWnd& window, RTC_SESSION_TYPE type)
    {
        RtcSessionPtr session;
        m_rig->client().CreateSession(type, QString(), nullptr, 0, session);
        window.SetSession(session);
        window.SetEngine(&m_rig->engine());
        m_rig->engine().AddSessionWindow(&window);
        return std::static_pointer_cast<FakeSession>(session);
    }

private slots:
    void init()
    {
        m_rig = std::make_unique<EngineRig>();
        m_buddyList.log.clear();
        m_watchers.log.clear();
        m_rig->engine().SetBuddyListView(&m_buddyList);
        m_rig->engine().SetWatchersView(&m_watchers);
    }

    void cleanup() { m_rig.reset(); }

    void sessionEventsReachOnlyTheOwningWindow()
    {
        RecordingSessionWnd call(true), chat;
        auto callSession = sessionWithWindow(call, RTCST_PC_TO_PHONE);
        auto chatSession = sessionWithWindow(chat, RTCST_MULTIPARTY_IM);
        RtcParticipantPtr participant;
        chatSession->AddParticipant("sip:9995550001@sip.orvalo.test", QString(), participant);

        deliver(RTCE_SESSION_STATE_CHANGE, FakeEvents::sessionState(callSession, RTCSS_CONNECTED));
        deliver(RTCE_PARTICIPANT_STATE_CHANGE, FakeEvents::participantState(participant, RTCPS_CONNECTED));
        deliver(RTCE_MESSAGING, FakeEvents::message(chatSession, participant, "h", "hello <b>"));
        deliver(RTCE_MESSAGING, FakeEvents::userStatus(chatSession, participant, RTCMUS_TYPING));

        QCOMPARE(call.calls, QStringList{"state:4"});
        QCOMPARE(call.State(), RTCSS_CONNECTED);
        QCOMPARE(chat.calls, QStringList({"participant:6", "message:h|hello <b>", "userStatus:1"}));

        // A state change of a session that has no window goes nowhere.
        RtcSessionPtr stranger;
        m_rig->client().CreateSession(RTCST_PC_TO_PC, QString(), nullptr, 0, stranger);
        deliver(RTCE_SESSION_STATE_CHANGE, FakeEvents::sessionState(stranger, RTCSS_CONNECTED));
        deliver(RTCE_MESSAGING, FakeEvents::message(stranger, participant, "h", "lost"));
        QCOMPARE(call.calls.size(), 1);
        QCOMPARE(chat.calls.size(), 3);
    }

    void mediaIntensityAndClientEventsGoToTheCallInProgress()
    {
        // Without a call they are dropped.
        deliver(RTCE_MEDIA, FakeEvents::media(RTCMT_AUDIO_SEND, RTCMET_STARTED, RTCMER_NORMAL));
        deliver(RTCE_CLIENT, FakeEvents::client(RTCCET_VOLUME_CHANGE));

        RecordingSessionWnd call(true);
        sessionWithWindow(call, RTCST_PC_TO_PC);
        deliver(RTCE_MEDIA, FakeEvents::media(RTCMT_AUDIO_RECEIVE, RTCMET_STOPPED, RTCMER_HOLD));
        deliver(RTCE_INTENSITY, FakeEvents::intensity(RTCAD_MICROPHONE, 75, 50, 100));
        deliver(RTCE_INTENSITY, FakeEvents::intensity(RTCAD_SPEAKER, 75, 10, 10));
        deliver(RTCE_INTENSITY, FakeEvents::intensity(RTCAD_SPEAKER, 0, 0, 0xFFFF));
        deliver(RTCE_CLIENT, FakeEvents::client(RTCCET_DEVICE_CHANGE));
        QCOMPARE(call.calls,
                 QStringList({"media:2,0,1", "intensity:1,50", "intensity:0,0", "intensity:0,0", "client:1"}));
    }

    void buddyWatcherAndRegistrationEventsReachTheirHandlers()
    {
        m_rig->startLogon(); // registration events count only for the profile held
        m_buddyList.log.clear();
        auto buddy = m_rig->client().addFakeBuddy("sip:15551230002@sip.orvalo.test", "Bob");
        auto watcher = m_rig->client().addFakeWatcher("sip:15551230002@sip.orvalo.test", "Bob");
        deliver(RTCE_BUDDY, FakeEvents::buddy(buddy, RTCBET_BUDDY_STATE_CHANGE));
        deliver(RTCE_WATCHER, FakeEvents::watcher(watcher, RTCWET_WATCHER_UPDATE));
        deliver(RTCE_REGISTRATION_STATE_CHANGE, FakeEvents::registration(m_rig->profile(), RTCRS_REGISTERING));
        QCOMPARE(m_buddyList.log, QStringList{"InsertBuddyItem"}); // shown, with nowhere to go in this tree
        QCOMPARE(m_watchers.log, QStringList{"OnWatcherEvent:2"});
        QCOMPARE(m_rig->display().statusBar, "Logging on...");
    }

    void unhandledTypesChangeNothingAndDropTheirEvent_data()
    {
        QTest::addColumn<int>("type");
        for (int type : {3, 11, 12, 13, 15, 16, 17})
            QTest::newRow(qPrintable(QString::number(type))) << type;
    }

    void unhandledTypesChangeNothingAndDropTheirEvent()
    {
        QFETCH(int, type);
        RecordingSessionWnd call(true);
        sessionWithWindow(call, RTCST_PC_TO_PC);
        m_rig->client().log().clear();
        const RecordingDisplay before = m_rig->display();

        // Even an event that looks like a handled one is ignored under these types.
        std::weak_ptr<IRTCEvent> watch;
        {
            RtcEventPtr event = FakeEvents::client(RTCCET_VOLUME_CHANGE);
            watch = event;
            m_rig->engine().DispatchEvent(static_cast<RTC_EVENT>(type), event);
        }
        QVERIFY(watch.expired());
        QVERIFY(call.calls.isEmpty());
        QVERIFY(m_rig->client().log().calls().empty());
        QCOMPARE(m_rig->display().log, before.log);
        QVERIFY(m_buddyList.log.isEmpty());
    }

    void anEventWithoutTheTypesInterfaceIsDropped()
    {
        RecordingSessionWnd call(true);
        sessionWithWindow(call, RTCST_PC_TO_PC);
        m_rig->engine().DispatchEvent(RTCE_CLIENT, FakeEvents::intensity(RTCAD_SPEAKER, 1, 0, 2));
        m_rig->engine().DispatchEvent(RTCE_REGISTRATION_STATE_CHANGE, FakeEvents::client(RTCCET_VOLUME_CHANGE));
        QVERIFY(call.calls.isEmpty());
        QVERIFY(m_rig->display().log.isEmpty());
    }

    void anEventWhoseValuesCannotBeReadIsIgnored()
    {
        auto event = FakeEvents::registration(nullptr, RTCRS_REGISTERING);
        event->m_readStatus = E_FAIL;
        m_rig->engine().DispatchEvent(RTCE_REGISTRATION_STATE_CHANGE, event);
        QVERIFY(m_rig->display().log.isEmpty());
    }

    void eventsFromAnotherThreadAreHandledOnThisThreadInOrder()
    {
        RecordingSessionWnd call(true);
        auto session = sessionWithWindow(call, RTCST_PC_TO_PC);
        constexpr int kEvents = 200;
        std::thread library([&] {
            for (int i = 0; i < kEvents; ++i)
                m_rig->client().fire(RTCE_INTENSITY, FakeEvents::intensity(RTCAD_SPEAKER, i, 0, 100));
        });
        library.join();
        QTRY_COMPARE(call.calls.size(), kEvents);
        for (int i = 0; i < kEvents; ++i) {
            QCOMPARE(call.calls[i], QStringLiteral("intensity:0,%1").arg(i));
            QCOMPARE(call.threads[i], QThread::currentThread());
        }
    }

    void anIncomingCallThatCannotBePromptedStopsRingingAndIsRejected()
    {
        // No window factory: the prompt cannot open.
        m_rig->logOn();
        m_rig->client().log().clear();
        auto session = m_rig->client().makeIncomingSession(RTCST_PC_TO_PC, "sip:9995550001@sip.orvalo.test", "Carol");
        deliver(RTCE_SESSION_STATE_CHANGE, FakeEvents::sessionState(session, RTCSS_INCOMING));
        QCOMPARE(m_rig->client().log().opsMatching("Client.PlayRing"),
                 QStringList({"Client.PlayRing", "Client.PlayRing"}));
        QCOMPARE(m_rig->client().log().last("Client.PlayRing")->args, QVariantList({RTCRT_PHONE, false}));
        QCOMPARE(m_rig->client().log().last("Session.Terminate")->args, QVariantList({RTCTR_REJECT}));
    }

    void aFloodOfNewConversationsOpensOnlySoManyWindows()
    {
        RecordingWindowFactory factory;
        m_rig->engine().SetSessionWindowFactory(&factory);
        for (int i = 0; i <= CClientEngine::kMaxNewConversations; ++i) {
            auto session = m_rig->client().makeIncomingSession(
                RTCST_IM, QStringLiteral("sip:sender%1@senders.invalid").arg(i), QStringLiteral("Sender"));
            deliver(RTCE_SESSION_STATE_CHANGE, FakeEvents::sessionState(session, RTCSS_INCOMING));
        }
        QCOMPARE(int(factory.windows.size()), CClientEngine::kMaxNewConversations);
        QCOMPARE(m_rig->client().log().opsMatching("Session.Terminate").size(), 1);
        QCOMPARE(m_rig->client().log().last("Session.Terminate")->args, QVariantList({RTCTR_REJECT}));
        m_rig->dropEngine();
    }

    void windowsOutlivingTheEngineForgetIt()
    {
        RecordingSessionWnd chat;
        sessionWithWindow(chat, RTCST_MULTIPARTY_IM);
        QCOMPARE(chat.Engine(), &m_rig->engine());
        m_rig->dropEngine();
        QCOMPARE(chat.Engine(), nullptr);
        chat.SetSession(nullptr);
    }

    void eventsAfterTheEngineIsGoneAreLost()
    {
        auto client = m_rig->sharedClient();
        m_rig->dropEngine();
        QVERIFY(!client->fire(RTCE_CLIENT, FakeEvents::client(RTCCET_VOLUME_CHANGE)));
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(TestEngineDispatch)
#include "tst_engine_dispatch.moc"
