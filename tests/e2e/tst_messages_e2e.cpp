// Conversations of the whole phone, offscreen, over the real SIP layer against the
// local service: "&Message..." to the headless peer and its echo, a message from
// another account opening a window, three parties, and a number that never
// registered.
#include "WholePhone.h"
#include "tests/integration/ChildProcess.h"
#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "engine/ServiceConfig.h"
#include "platform/linphone/LinphoneClientFactory.h"
#include "sessions/IMSessionWnd.h"
#include "shell/AddressPrompt.h"
#include "shell/LogonDialog.h"
#include "shell/MainFrame.h"
#include "shell/MainMenu.h"
#include "shell/OrvaloPhoneApp.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/ModalDriver.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QtTest>

namespace {
constexpr int kSignallingMs = 15000;

const CEndpoint::Account& kPhone = CEndpoint::kAlice;
const CEndpoint::Account& kPeer = CEndpoint::kCarol;      // the headless peer, which echoes
const CEndpoint::Account& kWriter = CEndpoint::kBob;      // writes to the phone first
const CEndpoint::Account& kNeverThere = CEndpoint::kDave; // known to the service, never registered

const QString kEcho = QStringLiteral("echo: ");

QString TranscriptOf(const CIMSessionWnd& window)
{
    return window.findChild<QTextEdit*>(QString::number(CIMSessionWnd::kHistoryId))->toPlainText();
}

bool IsMessage(const IRTCMessagingEvent& event)
{
    return event.m_eventType == RTCMSET_MESSAGE;
}
} // namespace

class TestMessagesEndToEnd : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    MessageCapture m_messages; // a message box would otherwise wait for a click
    std::unique_ptr<CSipService> m_service;
    CChildProcess m_peer;
    std::unique_ptr<COrvaloPhoneApp> m_app;
    std::unique_ptr<CEndpoint> m_writer;
    CModalDriver m_modal;

    std::vector<CIMSessionWnd*> messageWindows() const
    {
        std::vector<CIMSessionWnd*> windows;
        for (CSessionWnd* window : g_pClientEngine->SessionWindows())
            if (auto* chat = dynamic_cast<CIMSessionWnd*>(window))
                windows.push_back(chat);
        return windows;
    }
    // The message window that is not among `known`, once it has opened; null if none did.
    QPointer<CIMSessionWnd> waitNewWindow(const std::vector<CIMSessionWnd*>& known)
    {
        QPointer<CIMSessionWnd> found;
        const bool opened = QTest::qWaitFor(
            [&] {
                for (CIMSessionWnd* window : messageWindows())
                    if (std::find(known.begin(), known.end(), window) == known.end())
                        found = window;
                return !found.isNull();
            },
            kSignallingMs);
        return opened ? found : nullptr;
    }
    // "&Message..." from the Action menu, with the number typed into the prompt.
    QPointer<CIMSessionWnd> messageFromTheMenu(const QString& number)
    {
        const auto before = messageWindows();
        m_modal.WhenOpen<CAddressDialog>(
            [number](CAddressDialog& prompt) {
                prompt.findChild<QLineEdit*>(QStringLiteral("1006"))->setText(number);
                prompt.findChild<QPushButton*>(QStringLiteral("1"))->click();
            },
            kSignallingMs);
        m_app->Frame()->Menu()->Action(ID_MESSAGE)->trigger();
        return waitNewWindow(before);
    }
    static void typeAndSend(CIMSessionWnd& window, const QString& text)
    {
        auto* input = window.findChild<QTextEdit*>(QString::number(CIMSessionWnd::kInputId));
        input->insertPlainText(text);
        QTest::keyClick(input, Qt::Key_Return);
    }

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        QVERIFY(m_peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                             {QStringLiteral("--server"), m_service->server(), QStringLiteral("--user"), kPeer.number,
                              QStringLiteral("--password"), kPeer.password, QStringLiteral("--data-dir"),
                              m_home.NewFolder(QStringLiteral("peer")), QStringLiteral("--presence"),
                              QStringLiteral("online")},
                             QStringLiteral("registered"), kSignallingMs));

        ServiceConfig service = ServiceConfig::current();
        service.sipServer = m_service->server();
        service.sipDomain = QString::fromLatin1(CSipService::kDomain);
        ServiceConfig::setCurrent(service);
        LinphoneClientOptions options;
        options.dataDir = m_home.NewFolder(QStringLiteral("phone"));
        options.filesOnly = true;
        m_app = std::make_unique<COrvaloPhoneApp>(
            [options](RtcClientPtr& client) { return CreateLinphoneRtcClient(options, client); });

        FillInLogonWhenAsked(m_modal, kPhone, kSignallingMs);
        QVERIFY(m_app->InitInstance());
        QTRY_VERIFY_WITH_TIMEOUT(m_app->Frame()->StatusPane()->text().endsWith(QStringLiteral("(Online)")),
                                 kSignallingMs);
    }

    void cleanupTestCase()
    {
        m_writer.reset();
        QVERIFY(ExitPhone(m_app, kSignallingMs));
        m_peer.Stop();
        m_service.reset();
    }

    void init() { m_messages.texts.clear(); }

    void thePeersEchoComesBackAsPlainTextInOrder()
    {
        QPointer<CIMSessionWnd> window = messageFromTheMenu(kPeer.number);
        QVERIFY(window);
        QStringList typingLines;
        connect(window->findChild<QStatusBar*>(QString::number(CIMSessionWnd::kStatusBarId)),
                &QStatusBar::messageChanged, this, [&typingLines](const QString& line) { typingLines << line; });

        const QString text = QStringLiteral("héllo <b>x</b>");
        typeAndSend(*window, text);
        QVERIFY(m_peer.WaitOutput(QStringLiteral("message from %1: %2").arg(CSipService::Uri(kPhone.number), text),
                                  kSignallingMs));
        QTRY_VERIFY_WITH_TIMEOUT(window && TranscriptOf(*window).contains(kEcho + text), kSignallingMs);
        const QString own = TranscriptOf(*window).section(u'\n', 0, 0);
        QCOMPARE(TranscriptOf(*window),
                 QStringLiteral("%1\n%2\n%3 says:\n%4\n").arg(own, text, kPeer.number, kEcho + text));
        QVERIFY(own.endsWith(QStringLiteral(" says:")));
        QVERIFY(!window->findChild<QTextEdit*>(QString::number(CIMSessionWnd::kHistoryId))->toHtml().contains("<b>"));
        // The peer types for a moment before it answers; its echo ends the typing line.
        QCOMPARE(typingLines.value(0), CSipService::Uri(kPeer.number) + QStringLiteral(" is typing."));
        QVERIFY(typingLines.size() >= 2 && typingLines.last().isEmpty());
        QVERIFY(m_messages.texts.isEmpty());
        window->close();
    }

    void aMessageFromAnotherAccountOpensAWindow()
    {
        const auto before = messageWindows();
        m_writer = std::make_unique<CEndpoint>(m_home.NewFolder(QStringLiteral("writer")));
        QVERIFY(m_writer->Logon(*m_service, kWriter));
        RtcSessionPtr session;
        RtcParticipantPtr participant;
        QCOMPARE(m_writer->client().CreateSession(RTCST_MULTIPARTY_IM, {}, {}, 0, session), S_OK);
        QCOMPARE(session->AddParticipant(CSipService::Uri(kPhone.number), {}, participant), S_OK);
        QCOMPARE(session->SendMessage({}, QStringLiteral("first <i>words</i>"), 0), S_OK);

        QPointer<CIMSessionWnd> window = waitNewWindow(before);
        QVERIFY(window);
        QTRY_COMPARE_WITH_TIMEOUT(TranscriptOf(*window), QStringLiteral("15551230002 says:\nfirst <i>words</i>\n"),
                                  kSignallingMs);
        QVERIFY(window->isVisible());

        // The answer reaches the writer on the session it opened.
        typeAndSend(*window, QStringLiteral("got it"));
        auto answer = m_writer->events().Take<IRTCMessagingEvent>(RTCE_MESSAGING, IsMessage, kSignallingMs);
        QVERIFY(answer);
        QCOMPARE(answer->m_message, QStringLiteral("got it"));
        QCOMPARE(answer->m_session, session);
        window->close();
    }

    void aThreePartyConversationReachesBothOthers()
    {
        QVERIFY(m_writer);
        // The peer is a buddy since the first conversation; messages go to buddies who are online.
        QVERIFY(QTest::qWaitFor(
            [] {
                RtcBuddyPtr buddy;
                RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_OFFLINE;
                return SUCCEEDED(
                           g_pClientEngine->Client()->presence()->get_Buddy(CSipService::Uri(kPeer.number), buddy)) &&
                       SUCCEEDED(buddy->get_Status(status)) && status == RTCXS_PRESENCE_ONLINE;
            },
            kSignallingMs));
        QPointer<CIMSessionWnd> window = messageFromTheMenu(kPeer.number);
        QVERIFY(window);
        m_modal.WhenOpen<CAddressDialog>(
            [](CAddressDialog& prompt) {
                prompt.findChild<QLineEdit*>(QStringLiteral("1006"))->setText(kWriter.number);
                prompt.findChild<QPushButton*>(QStringLiteral("1"))->click();
            },
            kSignallingMs);
        window->findChild<QAction*>(QString::number(CIMSessionWnd::kAddParticipantCommand))->trigger();
        QVERIFY(m_modal.Acted());

        const QString text = QStringLiteral("to both of you");
        typeAndSend(*window, text);
        QVERIFY(m_peer.WaitOutput(QStringLiteral("message from %1: %2").arg(CSipService::Uri(kPhone.number), text),
                                  kSignallingMs));
        auto received = m_writer->events().Take<IRTCMessagingEvent>(
            RTCE_MESSAGING, [&text](const IRTCMessagingEvent& e) { return IsMessage(e) && e.m_message == text; },
            kSignallingMs);
        QVERIFY(received);
        QTRY_VERIFY_WITH_TIMEOUT(window && TranscriptOf(*window).contains(kEcho + text), kSignallingMs);
        window->close();
    }

    void aNumberThatNeverRegisteredIsNotOnline()
    {
        QPointer<CIMSessionWnd> window = messageFromTheMenu(kNeverThere.number);
        QVERIFY(window);
        typeAndSend(*window, QStringLiteral("anyone there?"));
        QTRY_COMPARE_WITH_TIMEOUT(m_messages.texts, QStringList{CIMSessionWnd::kNotOnlineMessage}, kSignallingMs);
        QTRY_VERIFY_WITH_TIMEOUT(!window, kSignallingMs);
        QVERIFY(messageWindows().empty());
    }
};

QTEST_MAIN(TestMessagesEndToEnd)
#include "tst_messages_e2e.moc"
