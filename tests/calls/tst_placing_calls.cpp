// Placing calls and messages: the refusals, the window and record of a placed
// call or message, and sessions that cannot go on, which are ended rather than left open.
#include "CallRig.h"

#include <QtTest>

class TestPlacingCalls : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CallRig> m_rig;
    CallRig& rig() { return *m_rig; }

private slots:
    void init() { m_rig = std::make_unique<CallRig>(); }
    void cleanup() { m_rig.reset(); }

    void aPlacedCallGetsItsWindowAndAPlacedRecord()
    {
        rig().logOn();
        auto session = rig().placeCall(RTCST_PC_TO_PC, kCarolUri, "Carol");
        QVERIFY(session);
        QCOMPARE(session->m_type, RTCST_PC_TO_PC);
        QCOMPARE(rig().log().last("Session.AddParticipant")->args, QVariantList({kCarolUri, "Carol"}));
        QVERIFY(CAVSessionWnd::Active());
        QCOMPARE(CAVSessionWnd::Active()->Session(), RtcSessionPtr(session));
        QCOMPARE(rig().engine().SessionWindows(), std::vector<CSessionWnd*>{CAVSessionWnd::Active()});
        QCOMPARE(rig().display().callLog, QStringList{kCarolUri + "|Carol|0"});
        QCOMPARE(rig().log().count("Session.Terminate"), 0);
    }

    void callingYourselfIsRefusedEvenWithoutACall()
    {
        rig().logOn();
        QCOMPARE(rig().engine().MakeCall(RTCST_PC_TO_PHONE, kOwnUri, QString()), S_FALSE);
        QCOMPARE(rig().messages(), QStringList{"You cannot call yourself."});
        QCOMPARE(rig().log().count("Client.CreateSession"), 0);
        QVERIFY(!CAVSessionWnd::Active());
        QVERIFY(rig().display().callLog.isEmpty());
    }

    void aSecondCallIsRefusedButAMessageIsNot()
    {
        rig().logOn();
        QVERIFY(rig().placeCall(RTCST_PC_TO_PHONE, kBobUri));
        CAVSessionWnd* call = CAVSessionWnd::Active();
        QCOMPARE(rig().engine().MakeCall(RTCST_PC_TO_PC, kCarolUri, QString()), S_FALSE);
        QCOMPARE(rig().messages(), QStringList{"A call is already in progress!"});
        QCOMPARE(rig().log().count("Client.CreateSession"), 1);

        // A message is no call: it gets its window and a placed record, and the call goes on.
        rig().client().addFakeBuddy(kCarolUri, "Carol", RTCXS_PRESENCE_ONLINE);
        QCOMPARE(rig().engine().MakeCall(RTCST_MULTIPARTY_IM, kCarolUri, QString()), S_OK);
        QCOMPARE(rig().messages().size(), 1);
        QCOMPARE(rig().log().count("Client.CreateSession"), 2);
        auto* chat = dynamic_cast<CIMSessionWnd*>(rig().engine().SessionWindows().back());
        QVERIFY(chat);
        QCOMPARE(chat->Session(), RtcSessionPtr(rig().client().m_sessions.back()));
        QVERIFY(chat->isVisible());
        QCOMPARE(chat->windowTitle(), QString("Orvalo Phone Message"));
        QCOMPARE(rig().display().callLog, QStringList({kBobUri + "||0", kCarolUri + "||0"}));
        QCOMPARE(CAVSessionWnd::Active(), call);
        QCOMPARE(std::static_pointer_cast<FakeSession>(call->Session())->m_state, RTCSS_IDLE);
    }

    void messagesGoOnlyToOnlineBuddiesAndStrangersBecomeTemporaryBuddies()
    {
        rig().logOn();
        rig().client().addFakeBuddy(kBobUri, "Bob", RTCXS_PRESENCE_AWAY);
        QCOMPARE(rig().engine().MakeCall(RTCST_MULTIPARTY_IM, kBobUri, QString()), S_FALSE);
        QCOMPARE(rig().messages(), QStringList{"This user is not online."});
        QCOMPARE(rig().log().count("Client.CreateSession"), 0);

        rig().engine().MakeCall(RTCST_MULTIPARTY_IM, kCarolUri, QString());
        const FakeCall* added = rig().log().last("Client.AddBuddyEx");
        QVERIFY(added);
        QCOMPARE(added->args.value(0).toString(), kCarolUri);
        QCOMPARE(added->args.value(3).toBool(), false); // not persistent
        QCOMPARE(rig().log().count("Client.CreateSession"), 1);
        QCOMPARE(rig().messages().size(), 1);
    }

    void aCallThatCannotGetGoingIsEndedWithoutARecord_data()
    {
        QTest::addColumn<QString>("failingOp");
        QTest::newRow("participant refused") << "Session.AddParticipant";
        QTest::newRow("window refused") << "window";
    }

    void aCallThatCannotGetGoingIsEndedWithoutARecord()
    {
        QFETCH(QString, failingOp);
        rig().logOn();
        if (failingOp == "window")
            rig().engine().SetSessionWindowFactory(nullptr);
        else
            rig().client().setResult(failingOp, RTC_E_STATUS_CLIENT_NOT_FOUND);
        const HRESULT expected = failingOp == "window" ? E_FAIL : RTC_E_STATUS_CLIENT_NOT_FOUND;
        QCOMPARE(rig().engine().MakeCall(RTCST_PC_TO_PHONE, kBobUri, QString()), expected);
        QCOMPARE(rig().client().m_sessions.size(), size_t(1));
        QCOMPARE(rig().client().m_sessions.back()->m_state, RTCSS_DISCONNECTED);
        QVERIFY(!CAVSessionWnd::Active());
        QVERIFY(rig().display().callLog.isEmpty());
    }

    void theFactoryMakesOneCallWindowAndAMessageWindowForEveryOtherType()
    {
        CSessionWnd* call = rig().factory().CreateSessionWindow(RTCST_PC_TO_PHONE);
        QVERIFY(dynamic_cast<CAVSessionWnd*>(call));
        QCOMPARE(g_activeCallWindow, call);
        QVERIFY(!rig().factory().CreateSessionWindow(RTCST_PC_TO_PC));
        for (RTC_SESSION_TYPE type : {RTCST_IM, RTCST_MULTIPARTY_IM}) {
            CSessionWnd* chat = rig().factory().CreateSessionWindow(type);
            QVERIFY(dynamic_cast<CIMSessionWnd*>(chat));
            chat->DestroyWindow();
        }
        QCOMPARE(g_activeCallWindow, call);
        call->DestroyWindow();
        QVERIFY(!g_activeCallWindow);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(TestPlacingCalls)
#include "tst_placing_calls.moc"
