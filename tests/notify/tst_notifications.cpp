// An incoming call while the phone is not the active window is announced through
// the desktop's notification service: here a stand-in service on a session bus
// of the test's own. Clicking it brings the "Incoming Call" prompt forward; the
// notification goes with the prompt. An active phone, or no service, shows none.
#include "platform/desktop/DesktopNotifier.h"
#include "sessions/IncomingCallPrompt.h"
#include "tests/shell/ShellHarness.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTextDocumentFragment>

namespace {
const QString kCaller = QStringLiteral("sip:15551230005@sip.orvalo.test");
const QString kCallerNumber = QStringLiteral("15551230005");
} // namespace

// The part of a desktop's notification service the phone uses, recording what it is asked to show.
class StandInNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct SNote {
        uint id;
        QString summary;
        QString body;
        QStringList actions;
    };
    QList<SNote> notes;
    QList<uint> closed;

    void Click(uint id) { emit ActionInvoked(id, QStringLiteral("default")); }

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int)
    {
        notes.append({uint(notes.size() + 1), summary, body, actions});
        return notes.last().id;
    }
    void CloseNotification(uint id)
    {
        closed << id;
        emit NotificationClosed(id, 3);
    }

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);
};

class TestNotifications : public QObject {
    Q_OBJECT

private:
    StandInNotifications m_service;
    QDBusConnection m_serviceBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in"));

    bool Offer(bool offered)
    {
        if (!offered)
            return m_serviceBus.unregisterService(CDesktopNotifier::kService);
        return m_serviceBus.registerService(CDesktopNotifier::kService);
    }
    // An incoming call; `whileOpen` runs while the prompt rings, which it then refuses.
    static void Ring(ShellHarness& shell, std::function<void(CIncomingCallPrompt&)> whileOpen)
    {
        CModalDriver prompts;
        prompts.WhenOpen<CIncomingCallPrompt>([&whileOpen](CIncomingCallPrompt& prompt) {
            whileOpen(prompt);
            prompt.reject();
        });
        auto session = shell.client->makeIncomingSession(RTCST_PC_TO_PC, kCaller, QStringLiteral("Frank"), S_OK);
        shell.deliver(RTCE_SESSION_STATE_CHANGE, FakeEvents::sessionState(session, RTCSS_INCOMING));
        QVERIFY(prompts.Acted());
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
        QVERIFY(m_serviceBus.registerObject(CDesktopNotifier::kPath, &m_service,
                                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    }

    void init()
    {
        m_service.notes.clear();
        m_service.closed.clear();
        QVERIFY(Offer(true));
    }

    void aCallWhileThePhoneIsInactiveIsAnnounced()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        QApplication::setActiveWindow(nullptr);
        bool broughtForward = false;
        Ring(shell, [&](CIncomingCallPrompt& prompt) {
            QVERIFY(QTest::qWaitFor([&] { return !m_service.notes.isEmpty(); }, 5000));
            QCOMPARE(m_service.notes.size(), 1);
            const StandInNotifications::SNote& note = m_service.notes.first();
            QCOMPARE(note.summary, QStringLiteral("Incoming Call"));
            QVERIFY2(note.body.contains(kCallerNumber), qPrintable(note.body));
            QVERIFY(note.actions.contains(QStringLiteral("default")));

            // The user has put the prompt away and clicks the notification.
            prompt.setWindowState(Qt::WindowMinimized);
            m_service.Click(note.id);
            broughtForward = QTest::qWaitFor(
                [&] { return prompt.isVisible() && !(prompt.windowState() & Qt::WindowMinimized); }, 5000);
        });
        QVERIFY(broughtForward);
        QCOMPARE(m_service.notes.size(), 1);
        // The call is over: so is its notification.
        QTRY_COMPARE(m_service.closed, QList<uint>{m_service.notes.first().id});
    }

    void noNotificationWhileThePhoneIsActiveOrWithoutAService_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("serviceRuns");
        QTest::newRow("phone active") << true << true;
        QTest::newRow("no notification service") << false << false;
    }
    void noNotificationWhileThePhoneIsActiveOrWithoutAService()
    {
        QFETCH(bool, active);
        QFETCH(bool, serviceRuns);
        QVERIFY(Offer(serviceRuns));
        ShellHarness shell;
        shell.startLoggedOn();
        if (active) {
            shell.frame()->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(shell.frame()));
        } else {
            QApplication::setActiveWindow(nullptr);
        }
        bool rang = false;
        Ring(shell, [&](CIncomingCallPrompt& prompt) {
            QTest::qWait(300);
            rang = prompt.isVisible();
        });
        QVERIFY(rang); // the prompt rings all the same
        QVERIFY(m_service.notes.isEmpty());
    }

    void aMessageWhileThePhoneIsInactiveIsAnnounced()
    {
        ShellHarness shell;
        shell.startLoggedOn();
        QApplication::setActiveWindow(nullptr);
        auto session = shell.client->makeIncomingSession(RTCST_IM, kCaller, QStringLiteral("Frank"), S_OK);
        shell.deliver(RTCE_SESSION_STATE_CHANGE, FakeEvents::sessionState(session, RTCSS_INCOMING));
        auto fake = std::static_pointer_cast<FakeSession>(session);
        QVERIFY(!fake->m_participants.empty());
        shell.deliver(RTCE_MESSAGING,
                      FakeEvents::message(session, fake->m_participants.front(), QString(), QStringLiteral("hello")));
        QTRY_COMPARE(m_service.notes.size(), 1);
        QCOMPARE(m_service.notes.first().summary, QStringLiteral("Frank"));
        QCOMPARE(m_service.notes.first().body, QStringLiteral("hello"));
    }

    void aMessageIsShownAsPlainTextAndShortened()
    {
        QWidget conversation;
        QApplication::setActiveWindow(nullptr);
        CDesktopNotifier notifier;
        const QString text = QStringLiteral("<b>hi</b> & ") + QString(CDesktopNotifier::kMaxBodyLength, u'x');
        notifier.NotifyIncomingMessage(QStringLiteral("Frank"), text, &conversation);
        QTRY_COMPARE(m_service.notes.size(), 1);
        QCOMPARE(m_service.notes.first().summary, QStringLiteral("Frank"));
        QVERIFY2(m_service.notes.first().body.startsWith(QStringLiteral("&lt;b&gt;hi&lt;/b&gt; &amp; x")),
                 qPrintable(m_service.notes.first().body));
        QCOMPARE(QTextDocumentFragment::fromHtml(m_service.notes.first().body).toPlainText().size(),
                 CDesktopNotifier::kMaxBodyLength);
    }
};

QTEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
