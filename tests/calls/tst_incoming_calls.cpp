// Incoming calls: the ringing prompt, answering, refusing, busy, and calls that
// nobody takes, which must never be left ringing.
#include "CallRig.h"

#include <QLabel>
#include <QtTest>

class TestIncomingCalls : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CallRig> m_rig;
    CallRig& rig() { return *m_rig; }

    int ringsStarted() const
    {
        int rings = 0;
        for (const FakeCall& call : m_rig->log().calls())
            rings += call.op == "Client.PlayRing" && call.args == QVariantList({RTCRT_PHONE, true});
        return rings;
    }
    bool ringStopped() const
    {
        const FakeCall* last = m_rig->log().last("Client.PlayRing");
        return last && last->args == QVariantList({RTCRT_PHONE, false});
    }
    // Lets a prompt that should never open record that it did, and go away.
    void failIfPrompted(bool& prompted)
    {
        rig().whenPromptOpens([&prompted](CIncomingCallPrompt& prompt) {
            prompted = true;
            prompt.reject();
        });
    }

private slots:
    void init()
    {
        m_rig = std::make_unique<CallRig>();
        rig().logOn();
    }
    void cleanup() { m_rig.reset(); }

    void thePromptNamesTheCallerAsPlainText()
    {
        QStringList shown;
        bool defaultIsAccept = false;
        int ringPeriod = 0;
        rig().whenPromptOpens([&](CIncomingCallPrompt& prompt) {
            shown << prompt.windowTitle() << prompt.findChild<QLabel*>("1008")->text()
                  << prompt.findChild<QLabel*>("1009")->text();
            QCOMPARE(prompt.findChild<QLabel*>("1008")->textFormat(), Qt::PlainText);
            defaultIsAccept = prompt.findChild<QPushButton*>("1010")->isDefault();
            const auto* ringTimer = prompt.findChild<QTimer*>("3");
            ringPeriod = ringTimer && ringTimer->isActive() ? ringTimer->interval() : 0;
            CallRig::Click(prompt, CIncomingCallPrompt::kRejectId);
        });
        rig().ring(RTCST_PC_TO_PC, kBobUri, "<b>Bob</b>");
        QCOMPARE(shown, QStringList({"Incoming Call", "<b>Bob</b>", "15551230002"}));
        QVERIFY(defaultIsAccept);
        QCOMPARE(ringPeriod, 4000);
    }

    void acceptingAnswersLogsAndShowsTheCall()
    {
        bool ringingWhilePrompted = false;
        rig().whenPromptOpens([&](CIncomingCallPrompt& prompt) {
            ringingWhilePrompted = ringsStarted() == 1 && !ringStopped();
            CallRig::Click(prompt, CIncomingCallPrompt::kAcceptId);
        });
        auto session = rig().ring(RTCST_PC_TO_PHONE, kBobUri, "Bob");
        QVERIFY(rig().promptWasDriven());
        QVERIFY(ringingWhilePrompted);
        QVERIFY(ringStopped());
        QCOMPARE(rig().log().count("Session.Answer"), 1);
        QCOMPARE(rig().display().callLog, QStringList{kBobUri + "|Bob|1"});
        QCOMPARE(rig().display().dialedNumber, QString("15551230002"));
        QCOMPARE(rig().display().phoneViewSelections, 1);
        QVERIFY(CAVSessionWnd::Active());
        QCOMPARE(CAVSessionWnd::Active()->Session(), RtcSessionPtr(session));

        rig().setState(session, RTCSS_CONNECTED);
        QCOMPARE(rig().display().statusMessages.last(), QString("Bob\r\r\nConnected"));
    }

    void refusingEndsTheCallerAttempt_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("reject") << "reject";
        QTest::newRow("escape") << "escape";
        QTest::newRow("close box") << "close";
    }

    void refusingEndsTheCallerAttempt()
    {
        QFETCH(QString, how);
        rig().whenPromptOpens([how](CIncomingCallPrompt& prompt) {
            if (how == "reject")
                CallRig::Click(prompt, CIncomingCallPrompt::kRejectId);
            else if (how == "escape")
                QTest::keyClick(&prompt, Qt::Key_Escape);
            else
                prompt.close();
        });
        rig().ring(RTCST_PC_TO_PC, kCarolUri, "Carol");
        QVERIFY(rig().promptWasDriven());
        QVERIFY(ringStopped());
        QCOMPARE(rig().log().count("Session.Answer"), 0);
        QCOMPARE(rig().log().last("Session.Terminate")->args, QVariantList{RTCTR_REJECT});
        QVERIFY(!CAVSessionWnd::Active());
        QVERIFY(rig().display().callLog.isEmpty());
    }

    void theEighthRingGivesUpWithAMissedCall()
    {
        bool openAfterSeven = false;
        rig().whenPromptOpens([&](CIncomingCallPrompt& prompt) {
            for (int tick = 0; tick < 7; ++tick)
                prompt.OnTimer();
            openAfterSeven = prompt.isVisible() && !ringStopped() && rig().display().callLog.isEmpty();
            prompt.OnTimer();
        });
        rig().ring(RTCST_PC_TO_PC, kCarolUri, "Carol");
        QVERIFY(openAfterSeven);
        QCOMPARE(ringsStarted(), 1 + 8); // the engine's first ring, then one a tick
        QVERIFY(ringStopped());
        QCOMPARE(rig().display().callLog, QStringList{kCarolUri + "|Carol|2"});
        QCOMPARE(rig().log().last("Session.Terminate")->args, QVariantList{RTCTR_REJECT});
        QCOMPARE(rig().log().count("Session.Answer"), 0);
    }

    void eachPromptCountsItsRingsFromZero()
    {
        rig().whenPromptOpens([](CIncomingCallPrompt& prompt) {
            for (int tick = 0; tick < 5; ++tick)
                prompt.OnTimer();
            CallRig::Click(prompt, CIncomingCallPrompt::kRejectId);
        });
        rig().ring(RTCST_PC_TO_PC, kCarolUri, "Carol");

        bool openAfterSeven = false;
        rig().whenPromptOpens([&](CIncomingCallPrompt& prompt) {
            for (int tick = 0; tick < 7; ++tick)
                prompt.OnTimer();
            openAfterSeven = prompt.isVisible();
            CallRig::Click(prompt, CIncomingCallPrompt::kAcceptId);
        });
        rig().ring(RTCST_PC_TO_PC, kCarolUri, "Carol");
        QVERIFY(openAfterSeven);
        QVERIFY(CAVSessionWnd::Active());
        QVERIFY(rig().display().callLog.size() == 1 && rig().display().callLog[0].endsWith("|1"));
    }

    void aCallDuringACallIsBusyWithoutAPrompt()
    {
        QVERIFY(rig().placeCall(RTCST_PC_TO_PHONE, kBobUri));
        rig().log().clear();
        bool prompted = false;
        failIfPrompted(prompted);
        rig().ring(RTCST_PC_TO_PC, kCarolUri, "Carol");
        QVERIFY(!prompted);
        QCOMPARE(rig().log().last("Session.Terminate")->args, QVariantList{RTCTR_BUSY});
        QCOMPARE(rig().log().count("Client.PlayRing"), 0);
        QCOMPARE(rig().engine().SessionWindows().size(), size_t(1));
    }

    void aCallDuringThePromptIsBusyAndTheFirstIsStillAnswered()
    {
        std::shared_ptr<FakeSession> second;
        rig().whenPromptOpens([&](CIncomingCallPrompt& prompt) {
            second = rig().ring(RTCST_PC_TO_PHONE, kCarolUri, "Carol");
            CallRig::Click(prompt, CIncomingCallPrompt::kAcceptId);
        });
        auto first = rig().ring(RTCST_PC_TO_PC, kBobUri, "Bob");
        QVERIFY(second);
        QCOMPARE(second->m_state, RTCSS_DISCONNECTED);
        QCOMPARE(rig().log().count("Session.Terminate"), 1);
        QCOMPARE(rig().log().last("Session.Terminate")->args, QVariantList{RTCTR_BUSY});
        QCOMPARE(ringsStarted(), 1);
        QCOMPARE(CAVSessionWnd::Active()->Session(), RtcSessionPtr(first));
    }

    void aCallerWhoGivesUpLeavesThePromptOpenButIsNotAnswered_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QStringList>("callLog");
        QTest::newRow("accepted too late: missed")
            << int(CIncomingCallPrompt::kAcceptId) << QStringList{kBobUri + "|Bob|2"};
        QTest::newRow("rejected") << int(CIncomingCallPrompt::kRejectId) << QStringList();
    }

    void aCallerWhoGivesUpLeavesThePromptOpenButIsNotAnswered()
    {
        QFETCH(int, button);
        QFETCH(QStringList, callLog);
        bool stillOpen = false;
        rig().whenPromptOpens([&](CIncomingCallPrompt& prompt) {
            rig().setState(rig().client().m_sessions.back(), RTCSS_DISCONNECTED);
            QCoreApplication::processEvents();
            stillOpen = prompt.isVisible();
            CallRig::Click(prompt, button);
        });
        rig().ring(RTCST_PC_TO_PC, kBobUri, "Bob");
        QVERIFY(stillOpen);
        QCOMPARE(rig().log().count("Session.Answer"), 0);
        QVERIFY(!CAVSessionWnd::Active());
        QCOMPARE(rig().display().callLog, callLog);
        QVERIFY(ringStopped());
    }

    void aMessageSessionRingsAndOpensItsWindowWithoutAPrompt()
    {
        bool prompted = false;
        failIfPrompted(prompted);
        auto session = rig().ring(RTCST_MULTIPARTY_IM, kCarolUri, "Carol");
        QVERIFY(!prompted);
        QCOMPARE(rig().log().last("Client.PlayRing")->args, QVariantList({RTCRT_MESSAGE, true}));
        QCOMPARE(rig().log().count("Session.Answer"), 0);
        QCOMPARE(rig().log().count("Session.Terminate"), 0);
        QCOMPARE(rig().engine().SessionWindows().size(), size_t(1));
        auto* chat = dynamic_cast<CIMSessionWnd*>(rig().engine().SessionWindows().front());
        QVERIFY(chat && chat->isVisible());
        QCOMPARE(chat->Session(), RtcSessionPtr(session));
        QVERIFY(!CAVSessionWnd::Active());
        QVERIFY(rig().display().callLog.isEmpty());
    }

    void aCallNobodyCanTakeIsEnded_data()
    {
        QTest::addColumn<QString>("failingOp");
        QTest::addColumn<HRESULT>("failure");
        QTest::addColumn<bool>("prompts");
        QTest::addColumn<int>("reason");
        QTest::newRow("caller address unreadable") << "Participant.get_UserURI" << E_FAIL << false << 3;
        QTest::newRow("caller name unreadable") << "Participant.get_Name" << E_FAIL << false << 3;
        QTest::newRow("answer fails") << "Session.Answer" << RTC_E_INVALID_STATE << true << 0;
    }

    void aCallNobodyCanTakeIsEnded()
    {
        QFETCH(QString, failingOp);
        QFETCH(HRESULT, failure);
        QFETCH(bool, prompts);
        QFETCH(int, reason);
        rig().client().setResult(failingOp, failure);
        bool prompted = false;
        rig().whenPromptOpens([&prompted](CIncomingCallPrompt& prompt) {
            prompted = true;
            CallRig::Click(prompt, CIncomingCallPrompt::kAcceptId);
        });
        rig().ring(RTCST_PC_TO_PC, kBobUri, "Bob");
        QCOMPARE(prompted, prompts);
        QCOMPARE(rig().log().count("Session.Terminate"), 1);
        QCOMPARE(rig().log().last("Session.Terminate")->args, QVariantList{reason});
        QVERIFY(!CAVSessionWnd::Active());
        QVERIFY(rig().display().callLog.isEmpty());
    }

    void aCallerWithoutADisplayNameIsStillPrompted()
    {
        QString shownNumber;
        rig().whenPromptOpens([&](CIncomingCallPrompt& prompt) {
            shownNumber = prompt.findChild<QLabel*>("1009")->text();
            CallRig::Click(prompt, CIncomingCallPrompt::kAcceptId);
        });
        rig().ring(RTCST_PC_TO_PC, kCarolUri, "ignored", RTC_E_NO_DISPLAY_NAME);
        QCOMPARE(shownNumber, QString("9995550001"));
        QCOMPARE(rig().display().callLog, QStringList{kCarolUri + "||1"});
    }

    void aPromptThatGoesWithItsOwnerRefusesTheCallAndStopsTheRing()
    {
        rig().display().owner = new QWidget;
        rig().display().owner->show();
        rig().whenPromptOpens([this](CIncomingCallPrompt& prompt) {
            QCOMPARE(prompt.parentWidget(), rig().display().owner.data());
            delete rig().display().owner;
        });
        rig().ring(RTCST_PC_TO_PC, kBobUri, "Bob");
        QVERIFY(rig().promptWasDriven());
        QVERIFY(ringStopped());
        QCOMPARE(rig().log().last("Session.Terminate")->args, QVariantList{RTCTR_REJECT});
        QCOMPARE(rig().log().count("Session.Answer"), 0);
    }

    void aCallWhileLoggedOffIsRefusedAtOnce_data()
    {
        QTest::addColumn<bool>("logonUnderWay");
        QTest::newRow("logged off") << false;
        QTest::newRow("profile not there yet") << true;
    }

    void aCallWhileLoggedOffIsRefusedAtOnce()
    {
        QFETCH(bool, logonUnderWay);
        rig().engine().LogOff();
        if (logonUnderWay)
            QCOMPARE(rig().engine().StartLogon(kOwnUri, "127.0.0.1", "UDP"), S_OK);
        rig().log().clear();
        bool prompted = false;
        failIfPrompted(prompted);
        rig().ring(RTCST_PC_TO_PC, kBobUri, "Bob");
        QVERIFY(!prompted);
        QCOMPARE(rig().log().ops(), QStringList({"Session.get_Type", "Session.Terminate"}));
        QCOMPARE(rig().log().last("Session.Terminate")->args, QVariantList{RTCTR_REJECT});
        QVERIFY(rig().display().callLog.isEmpty());
    }

    void loggingOffDuringThePromptLeavesNothingToAnswer()
    {
        rig().whenPromptOpens([this](CIncomingCallPrompt& prompt) {
            rig().engine().LogOff();
            CallRig::Click(prompt, CIncomingCallPrompt::kAcceptId);
        });
        rig().ring(RTCST_PC_TO_PC, kBobUri, "Bob");
        QCOMPARE(rig().log().count("Session.Answer"), 0);
        QCOMPARE(rig().log().last("Session.Terminate")->args, QVariantList{RTCTR_REJECT});
        QVERIFY(!CAVSessionWnd::Active());
    }
};

QTEST_MAIN(TestIncomingCalls)
#include "tst_incoming_calls.moc"
