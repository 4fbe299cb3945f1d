// The message window over the fake library: its rows and their states, the "not
// online" rule per party, closing while its box is open, a conversation set up
// again after the other side left, the failure line, typing notices, the Enter
// key, and text from the network shown as plain text.
#include "MessageRig.h"

#include "sessions/NetworkText.h"

#include <QAction>
#include <QMessageBox>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

class TestMessageWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MessageRig> m_rig;
    MessageRig& rig() { return *m_rig; }

    int typingNoticesSent(RTC_MESSAGING_USER_STATUS status)
    {
        int sent = 0;
        for (const FakeCall& call : rig().log().calls())
            sent += call.op == "Session.SendMessageStatus" && call.args.value(0).toInt() == status;
        return sent;
    }

private slots:
    void init()
    {
        m_rig = std::make_unique<MessageRig>();
        rig().logOn();
    }
    void cleanup() { m_rig.reset(); }

    void rowsShowEachPartyWithItsStateText_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("idle") << int(RTCPS_IDLE) << "Idle";
        QTest::newRow("pending") << int(RTCPS_PENDING) << "Pending...";
        QTest::newRow("incoming") << int(RTCPS_INCOMING) << "Incoming...";
        QTest::newRow("answering") << int(RTCPS_ANSWERING) << "Answering...";
        QTest::newRow("in progress") << int(RTCPS_INPROGRESS) << "Connecting...";
        QTest::newRow("alerting") << int(RTCPS_ALERTING) << "Alerting...";
        QTest::newRow("connected") << int(RTCPS_CONNECTED) << "Connected";
        QTest::newRow("disconnecting") << int(RTCPS_DISCONNECTING) << "Disconnecting...";
        QTest::newRow("disconnected") << int(RTCPS_DISCONNECTED) << "Disconnected";
    }
    void rowsShowEachPartyWithItsStateText()
    {
        QFETCH(int, state);
        QFETCH(QString, text);
        CIMSessionWnd* window = rig().startConversation(kBobUri);
        QVERIFY(window);
        auto bob = MessageRig::participantOf(*window);
        bob->m_name = "Bob";
        rig().setParticipantState(bob, RTCPS_CONNECTED);
        // A party without a name is listed by its number.
        auto nameless = MessageRig::sessionOf(*window)->addRemoteParticipant(kCarolUri, QString());
        rig().setParticipantState(nameless, RTCPS_PENDING);
        rig().setParticipantState(bob, static_cast<RTC_PARTICIPANT_STATE>(state));
        QCOMPARE(MessageRig::rows(*window), QStringList({"9995550001|Pending...", "Bob|" + text}));
    }

    void onlyAPartyThatNeverGotThroughIsNotOnline()
    {
        CIMSessionWnd* first = rig().startConversation(kBobUri);
        CIMSessionWnd* second = rig().startConversation(kCarolUri);
        QVERIFY(first && second);
        const QPointer<CIMSessionWnd> firstAlive(first), secondAlive(second);
        auto bob = MessageRig::participantOf(*first);
        auto carol = MessageRig::participantOf(*second);
        auto erin = MessageRig::sessionOf(*second)->addRemoteParticipant("sip:15551230005@sip.orvalo.test", "Erin");

        // Bob is pending in one window while Carol, in another, got through and then left;
        // Erin, in Carol's window, is pending too.
        rig().setParticipantState(bob, RTCPS_PENDING);
        rig().setParticipantState(carol, RTCPS_CONNECTED);
        rig().setParticipantState(erin, RTCPS_PENDING);
        rig().setParticipantState(carol, RTCPS_DISCONNECTED);
        QVERIFY(rig().messages().isEmpty());

        rig().setParticipantState(bob, RTCPS_DISCONNECTED);
        QCOMPARE(rig().messages(), QStringList{"This user does not appear to be online."});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!firstAlive);
        QCOMPARE(MessageRig::sessionOf(*second)->m_state, RTCSS_IDLE);

        rig().setParticipantState(erin, RTCPS_DISCONNECTED);
        QCOMPARE(rig().messages().size(), 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!secondAlive);
    }

    void theWindowCanGoWhileItsBoxIsOpen_data()
    {
        QTest::addColumn<bool>("logOff");
        QTest::newRow("the user closes the box") << false;
        QTest::newRow("log off while the box is open") << true;
    }
    void theWindowCanGoWhileItsBoxIsOpen()
    {
        QFETCH(bool, logOff);
        CMessageBox::SetHandler(nullptr); // the real, non-blocking box
        CIMSessionWnd* window = rig().startConversation(kBobUri);
        QVERIFY(window);
        const QPointer<CIMSessionWnd> alive(window);
        auto bob = MessageRig::participantOf(*window);
        auto session = MessageRig::sessionOf(*window);
        rig().setParticipantState(bob, RTCPS_PENDING);
        rig().setParticipantState(bob, RTCPS_DISCONNECTED);
        QPointer<QMessageBox> box = window->findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->text(), QString("This user does not appear to be online."));
        QCOMPARE(box->windowTitle(), QString("Orvalo Phone"));
        // Late news for the closing window opens no second box.
        rig().setParticipantState(bob, RTCPS_PENDING);
        rig().setParticipantState(bob, RTCPS_DISCONNECTED);
        QCOMPARE(window->findChildren<QMessageBox*>().size(), 1);

        if (logOff)
            QCOMPARE(rig().engine().LogOff(), S_OK);
        else
            box->accept();
        QTRY_VERIFY(!alive);
        QVERIFY(!box);
        QCOMPARE(session->m_state, RTCSS_DISCONNECTED);
        QVERIFY(rig().engine().SessionWindows().empty());
    }

    void aConversationWhosePartyLeftIsSetUpAgain_data()
    {
        QTest::addColumn<HRESULT>("createResult");
        QTest::newRow("new session made") << S_OK;
        QTest::newRow("new session refused") << HRESULT(RTC_E_INVALID_STATE);
    }
    void aConversationWhosePartyLeftIsSetUpAgain()
    {
        QFETCH(HRESULT, createResult);
        CIMSessionWnd* window = rig().startConversation(kBobUri);
        QVERIFY(window);
        auto old = MessageRig::sessionOf(*window);
        auto bob = MessageRig::participantOf(*window);
        rig().setParticipantState(bob, RTCPS_PENDING);
        rig().setParticipantState(bob, RTCPS_CONNECTED);
        rig().setParticipantState(bob, RTCPS_DISCONNECTED);
        QVERIFY(rig().messages().isEmpty());

        rig().client().setResult("Client.CreateSession", createResult);
        rig().log().clear();
        QTest::keyClicks(MessageRig::input(*window), "again");
        QCOMPARE(window->Send(), createResult);
        QCOMPARE(old->m_state, RTCSS_DISCONNECTED);
        QVERIFY(MessageRig::rows(*window).isEmpty());
        if (createResult == S_OK) {
            auto fresh = MessageRig::sessionOf(*window);
            QVERIFY(fresh && fresh != old);
            QCOMPARE(fresh->m_type, RTCST_MULTIPARTY_IM);
            QCOMPARE(rig().log().last("Session.AddParticipant")->args, QVariantList({kBobUri, QString()}));
            QCOMPARE(rig().log().last("Session.SendMessage")->args, QVariantList({QString(), "again", 0}));
            QVERIFY(!MessageRig::transcript(*window).contains("could not be sent"));
            // Events of the new session reach this window.
            rig().setParticipantState(MessageRig::participantOf(*window), RTCPS_PENDING);
            QCOMPARE(MessageRig::rows(*window), QStringList{"15551230002|Pending..."});
        } else {
            QVERIFY(!window->Session());
            QCOMPARE(rig().log().count("Session.SendMessage"), 0);
            QVERIFY(MessageRig::transcript(*window).endsWith("(The message could not be sent.)\n"));
            // The old session's late news goes nowhere.
            rig().setParticipantState(bob, RTCPS_DISCONNECTED);
            QVERIFY(rig().messages().isEmpty());
        }
    }

    void aMessageThatCannotBeSentIsSaidSoInTheDefaultColour()
    {
        CIMSessionWnd* window = rig().startConversation(kBobUri);
        QVERIFY(window);
        rig().client().setResult("Session.SendMessage", RTC_E_INVALID_STATE);
        MessageRig::typeAndSend(*window, "lost");
        QCOMPARE(MessageRig::transcript(*window), QString("Alice says:\nlost\n(The message could not be sent.)\n"));
        const QTextDocument* document = MessageRig::history(*window)->document();
        const QTextBlock entry = document->findBlockByNumber(1);
        const QTextBlock failure = document->findBlockByNumber(2);
        QCOMPARE(entry.begin().fragment().charFormat().foreground().color(), CIMSessionWnd::kEntryColour);
        QCOMPARE(failure.text(), QString("(The message could not be sent.)"));
        QVERIFY(!failure.begin().fragment().charFormat().hasProperty(QTextFormat::ForegroundBrush));
    }

    void typingIsToldOnceWhenItStartsAndOnceWhenItStops()
    {
        CIMSessionWnd* window = rig().startConversation(kBobUri);
        QVERIFY(window);
        QTextEdit* input = MessageRig::input(*window);
        QTest::keyClicks(input, "hey");
        QCOMPARE(typingNoticesSent(RTCMUS_TYPING), 1);
        QCOMPARE(typingNoticesSent(RTCMUS_IDLE), 0);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(input, Qt::Key_Backspace);
        QCOMPARE(typingNoticesSent(RTCMUS_IDLE), 1);
        // Sending empties the input, which ends the typing too.
        MessageRig::typeAndSend(*window, "x");
        QCOMPARE(typingNoticesSent(RTCMUS_TYPING), 2);
        QCOMPARE(typingNoticesSent(RTCMUS_IDLE), 2);
        QCOMPARE(rig().log().opsMatching("Session.Send").last(), QString("Session.SendMessage"));
    }

    void enterSendsAndCtrlEnterBreaksTheLine_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("left");
        QTest::newRow("Enter") << "hi" << int(Qt::NoModifier) << "hi"
                               << "";
        QTest::newRow("keypad Enter") << "hi" << int(Qt::KeypadModifier) << "hi"
                                      << "";
        QTest::newRow("Shift+Enter") << "hi" << int(Qt::ShiftModifier) << "hi"
                                     << "";
        QTest::newRow("Ctrl+Enter") << "hi" << int(Qt::ControlModifier) << ""
                                    << "hi\n";
        QTest::newRow("Enter in an empty input") << "" << int(Qt::NoModifier) << ""
                                                 << "";
    }
    void enterSendsAndCtrlEnterBreaksTheLine()
    {
        QFETCH(QString, typed);
        QFETCH(int, modifiers);
        QFETCH(QString, sent);
        QFETCH(QString, left);
        CIMSessionWnd* window = rig().startConversation(kBobUri);
        QVERIFY(window);
        QTextEdit* input = MessageRig::input(*window);
        QTest::keyClicks(input, typed);
        const Qt::Key key = modifiers == Qt::KeypadModifier ? Qt::Key_Enter : Qt::Key_Return;
        QTest::keyClick(input, key, Qt::KeyboardModifiers(modifiers));
        const FakeCall* message = rig().log().last("Session.SendMessage");
        QCOMPARE(message ? message->args.value(1).toString() : QString(), sent);
        QCOMPARE(input->toPlainText(), left);
        QCOMPARE(MessageRig::transcript(*window).isEmpty(), sent.isEmpty());
        // Only a message written makes the transcript worth saving.
        QCOMPARE(MessageRig::control<QPushButton>(*window, CIMSessionWnd::kSaveId)->isEnabled(), !sent.isEmpty());
    }

    void anIncomingMessageSessionShowsTheFirstMessageAndTheTyping()
    {
        auto session = rig().ring(RTCST_IM, kCarolUri, QString(), RTC_E_NO_DISPLAY_NAME);
        auto* window = dynamic_cast<CIMSessionWnd*>(rig().engine().SessionWindows().back());
        QVERIFY(window);
        QSignalSpy incoming(window, &CIMSessionWnd::incomingMessage);
        rig().typingNotice(*window, RTCMUS_TYPING);
        // The typing line names the party by its address as it came.
        QCOMPARE(MessageRig::typingLine(*window), kCarolUri + " is typing.");
        rig().receive(*window, "hello");
        QCOMPARE(MessageRig::transcript(*window), QString("9995550001 says:\nhello\n"));
        QVERIFY(MessageRig::typingLine(*window).isEmpty());
        QCOMPARE(incoming.size(), 1);
        QCOMPARE(incoming.first(), QVariantList({"9995550001", "hello"}));
        // Received messages alone do not make the transcript worth saving.
        QVERIFY(!MessageRig::control<QPushButton>(*window, CIMSessionWnd::kSaveId)->isEnabled());
    }

    void networkTextIsShownAsPlainTextWithoutBreakingTheWindow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("shownName");
        QTest::addColumn<QString>("shownBody");
        QTest::newRow("markup") << "<i>Eve</i>"
                                << "héllo <b>x</b> <img src=x>"
                                << "<i>Eve</i>"
                                << "héllo <b>x</b> <img src=x>";
        const QString word(10000, QChar('w'));
        QTest::newRow("10 000 characters, one word") << "Eve" << word << "Eve" << word;
        QTest::newRow("control characters") << QString("E\x01v\r\ne\x1b")
                                            << QString::fromLatin1("a\x07\r\nb\rc\x00"
                                                                   "d",
                                                                   9)
                                            << "Ev e"
                                            << "a\nb\ncd";
        QTest::newRow("right to left") << QString::fromUtf8("\u202eevE") << QString::fromUtf8("שלום \u202eabc") << "evE"
                                       << QString::fromUtf8("שלום \u202eabc");
        const QString huge(100000, QChar('h'));
        QTest::newRow("longer than shown")
            << QString(1000, QChar('n')) << huge << QString(NetworkText::kMaxNameLength - 1, QChar('n')) + QChar(0x2026)
            << QString(NetworkText::kMaxMessageLength - 1, QChar('h')) + QChar(0x2026);
    }
    void networkTextIsShownAsPlainTextWithoutBreakingTheWindow()
    {
        QFETCH(QString, name);
        QFETCH(QString, body);
        QFETCH(QString, shownName);
        QFETCH(QString, shownBody);
        auto session = rig().ring(RTCST_IM, kCarolUri, name);
        auto* window = dynamic_cast<CIMSessionWnd*>(rig().engine().SessionWindows().back());
        QVERIFY(window);
        const QSize size = window->size();
        rig().setParticipantState(MessageRig::participantOf(*window), RTCPS_CONNECTED);
        rig().typingNotice(*window, RTCMUS_TYPING);
        QVERIFY(MessageRig::typingLine(*window).size() <= CIMSessionWnd::kMaxTypingLineLength);
        QVERIFY(!MessageRig::typingLine(*window).contains('\n'));
        rig().receive(*window, body);

        QCOMPARE(MessageRig::transcript(*window), shownName + " says:\n" + shownBody + "\n");
        QCOMPARE(MessageRig::rows(*window), QStringList{shownName + "|Connected"});
        QTextEdit* history = MessageRig::history(*window);
        QVERIFY(!history->toHtml().contains("<b>x</b>"));
        QCOMPARE(history->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(window->size(), size);
    }

    void addParticipantAsksForANumberAndAddsIt()
    {
        CIMSessionWnd* window = rig().startConversation(kBobUri);
        QVERIFY(window);
        auto* add = window->findChild<QAction*>(QString::number(CIMSessionWnd::kAddParticipantCommand));
        QVERIFY(add);
        add->trigger(); // cancelled
        QCOMPARE(rig().promptTitles, QStringList{"Add Participant"});
        QCOMPARE(rig().log().count("Session.AddParticipant"), 1);

        rig().promptAnswer = kCarolUri;
        add->trigger();
        QCOMPARE(rig().log().last("Session.AddParticipant")->args, QVariantList({kCarolUri, QString()}));

        // The command is offered only while the session can take more parties.
        MessageRig::sessionOf(*window)->m_canAddParticipants = false;
        rig().setState(MessageRig::sessionOf(*window), RTCSS_CONNECTED);
        QVERIFY(!add->isEnabled());
        MessageRig::sessionOf(*window)->m_canAddParticipants = true;
        rig().typingNotice(*window, RTCMUS_IDLE);
        QVERIFY(add->isEnabled());
    }
};

QTEST_MAIN(TestMessageWindow)
#include "tst_message_window.moc"
