// The whole phone, offscreen, over the real SIP layer against the local service:
// a user logs on through the dialog, calls the headless peer from the dial pad and
// hears it, and takes, refuses and misses calls from baresip.
#include "WholePhone.h"
#include "tests/integration/AudioFile.h"
#include "tests/integration/Baresip.h"
#include "tests/integration/ChildProcess.h"
#include "tests/integration/Endpoint.h"
#include "tests/integration/SipService.h"
#include "tests/integration/TestHome.h"

#include "controls/SortListCtrl.h"
#include "engine/ProcessGlobals.h"
#include "engine/ServiceConfig.h"
#include "platform/linphone/LinphoneClientFactory.h"
#include "sessions/AVSessionWnd.h"
#include "sessions/IncomingCallPrompt.h"
#include "shell/CallLogPage.h"
#include "shell/DialPadPage.h"
#include "shell/LogonDialog.h"
#include "shell/MainFrame.h"
#include "shell/MainMenu.h"
#include "shell/OrvaloPhoneApp.h"
#include "shell/OrvaloPhoneView.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/ModalDriver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

namespace {
constexpr double kPhoneTone = 440;
constexpr double kPeerTone = 1000;
constexpr double kBaresipTone = 700;
constexpr int kToneSeconds = 120;
constexpr int kTalkMs = 3000;
constexpr double kMinToneShare = 0.5;
constexpr int kSignallingMs = 15000;
// The prompt gives up at its eighth ring, four seconds apart.
constexpr int kUnansweredMs = CIncomingCallPrompt::kRingsBeforeGivingUp * CIncomingCallPrompt::kRingPeriodMs + 10000;

const CEndpoint::Account& kPhone = CEndpoint::kAlice;
const CEndpoint::Account& kPeer = CEndpoint::kCarol; // a member number
const CEndpoint::Account& kCaller = CEndpoint::kFrank;
const CEndpoint::Account& kSecondCaller = CEndpoint::kErin;

bool HoldsTone(const QString& path, double frequency)
{
    CAudioFile file;
    if (!file.Load(path)) {
        qWarning("no audio in %s", qPrintable(path));
        return false;
    }
    const double share = file.ToneShare(frequency);
    qInfo("%s: %.1f s, %.2f of the energy at %.0f Hz", qPrintable(path), file.seconds(), share, frequency);
    return share > kMinToneShare && file.seconds() >= 1.0;
}

// "m:ss" as the call-time label shows it, in seconds; -1 when it is no time.
int ShownSeconds(const QString& text)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("(\\d*):(\\d\\d)")).match(text);
    if (!match.hasMatch())
        return -1;
    return match.captured(1).toInt() * 60 + match.captured(2).toInt();
}
} // namespace

class TestPhoneEndToEnd : public QObject {
    Q_OBJECT

private:
    CTestHome m_home;
    MessageCapture m_messages; // a message box would otherwise wait for a click
    std::unique_ptr<CSipService> m_service;
    CChildProcess m_peer;
    std::unique_ptr<COrvaloPhoneApp> m_app;
    CModalDriver m_modal;
    QString m_phoneTone, m_peerTone, m_baresipTone;
    QString m_phoneHeard, m_peerHeard;
    QStringList m_statusTexts; // every text of the dial pad's status display, in order

    COrvaloPhoneView& view() { return *m_app->Frame()->View(); }
    CDialPadPage& dialPad() { return *view().DialPad(); }
    template <typename T> T* control(int id) { return dialPad().findChild<T*>(QString::number(id)); }
    void press(int id) { control<QPushButton>(id)->click(); }
    bool statusShows(const QString& text) const
    {
        return !m_statusTexts.isEmpty() && m_statusTexts.last().contains(text);
    }
    bool statusShowed(const QString& text) const
    {
        return std::any_of(m_statusTexts.begin(), m_statusTexts.end(),
                           [&](const QString& t) { return t.contains(text); });
    }
    // The newest call log row for the address, as "type", or empty.
    QString callLogType(const QString& uri)
    {
        CSortListCtrl* list = view().CallLog()->List();
        for (int row = 0; row < list->RowCount(); ++row)
            if (list->CellText(row, CCallLogPage::kUriColumn) == uri)
                return list->CellText(row, CCallLogPage::kCallTypeColumn);
        return QString();
    }
    std::unique_ptr<CBaresip> caller(const CEndpoint::Account& account, const QString& name)
    {
        return std::make_unique<CBaresip>(m_home.NewFolder(name), *m_service, account, m_baresipTone);
    }

private slots:
    void initTestCase()
    {
        m_service = std::make_unique<CSipService>(m_home.NewFolder(QStringLiteral("service")));
        QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
        const QString sounds = m_home.NewFolder(QStringLiteral("sounds"));
        m_phoneTone = sounds + QStringLiteral("/phone.wav");
        m_peerTone = sounds + QStringLiteral("/peer.wav");
        m_baresipTone = sounds + QStringLiteral("/baresip.wav");
        m_phoneHeard = sounds + QStringLiteral("/phone-heard.wav");
        m_peerHeard = sounds + QStringLiteral("/peer-heard.wav");
        QVERIFY(CAudioFile::MakeTone(m_phoneTone, kPhoneTone, kToneSeconds));
        QVERIFY(CAudioFile::MakeTone(m_peerTone, kPeerTone, kToneSeconds));
        QVERIFY(CAudioFile::MakeTone(m_baresipTone, kBaresipTone, kToneSeconds, 8000));

        QVERIFY(m_peer.Start(QStringLiteral(ORVALO_PEER_PATH),
                             {QStringLiteral("--server"), m_service->server(), QStringLiteral("--user"), kPeer.number,
                              QStringLiteral("--password"), kPeer.password, QStringLiteral("--data-dir"),
                              m_home.NewFolder(QStringLiteral("peer")), QStringLiteral("--play-file"), m_peerTone,
                              QStringLiteral("--record-file"), m_peerHeard},
                             QStringLiteral("registered"), kSignallingMs));

        ServiceConfig service = ServiceConfig::current();
        service.sipServer = m_service->server();
        service.sipDomain = QString::fromLatin1(CSipService::kDomain);
        ServiceConfig::setCurrent(service);
        LinphoneClientOptions options;
        options.dataDir = m_home.NewFolder(QStringLiteral("phone"));
        options.playFile = m_phoneTone;
        options.recordFile = m_phoneHeard;
        options.filesOnly = true;
        // For diagnosing a failing run: ORVALO_TEST_TRACE_DIR collects the phone's SIP trace.
        if (const QString traces = qEnvironmentVariable("ORVALO_TEST_TRACE_DIR"); !traces.isEmpty())
            options.sipTraceFile = QDir(traces).filePath(QStringLiteral("phone.log"));
        m_app = std::make_unique<COrvaloPhoneApp>(
            [options](RtcClientPtr& client) { return CreateLinphoneRtcClient(options, client); });
    }

    void cleanupTestCase()
    {
        QVERIFY(ExitPhone(m_app, kSignallingMs));
        m_peer.Stop();
        m_service.reset();
    }

    void logOnThroughTheDialog()
    {
        FillInLogonWhenAsked(m_modal, kPhone, kSignallingMs);
        QVERIFY(m_app->InitInstance());
        QTRY_VERIFY_WITH_TIMEOUT(m_modal.Acted(), kSignallingMs);
        QTRY_VERIFY2_WITH_TIMEOUT(m_app->Frame()->StatusPane()->text().endsWith(QStringLiteral("(Online)")),
                                  qPrintable(m_app->Frame()->StatusPane()->text() + m_messages.texts.join(u'|')),
                                  kSignallingMs);
        QVERIFY(m_messages.texts.isEmpty());
        connect(control<QPlainTextEdit>(CDialPadPage::kStatusDisplayId), &QPlainTextEdit::textChanged, this,
                [this] { m_statusTexts << dialPad().StatusText(); });
    }

    void callThePeerFromTheDialPad()
    {
        view().SelectPhoneView();
        control<QLineEdit>(CDialPadPage::kNumberEntryId)->setText(kPeer.number);
        press(CDialPadPage::kSendId);
        QTRY_VERIFY_WITH_TIMEOUT(statusShows(QStringLiteral("Connected")), kSignallingMs);
        QVERIFY(statusShowed(QStringLiteral("Connecting...")));
        QVERIFY(m_peer.WaitOutput(QStringLiteral("incoming ") + CSipService::Uri(kPhone.number)));
        QCOMPARE(callLogType(CSipService::Uri(kPeer.number)), QStringLiteral("Placed Call"));

        // The call time advances and the quality is known.
        QTRY_VERIFY_WITH_TIMEOUT(ShownSeconds(control<QLabel>(CDialPadPage::kCallTimeId)->text()) >= 2, 5000);
        QVERIFY(control<QProgressBar>(CDialPadPage::kQualityBarId)->value() > 0);
        QVERIFY(statusShows(QStringLiteral("Connected: Network Quality = ")));

        for (int key : {1013, 1022, 1026}) { // "1", "0", "#"
            press(key);
            QTest::qWait(250);
        }
        QVERIFY(m_peer.WaitOutput(QStringLiteral("dtmf 1\ndtmf 0\ndtmf #")));
        QTest::qWait(kTalkMs);

        press(CDialPadPage::kEndId);
        QVERIFY(statusShows(CDialPadPage::kCallTerminated));
        QVERIFY(!CAVSessionWnd::Active());
        QVERIFY(m_peer.WaitOutput(QStringLiteral("disconnected")));
        QTest::qWait(500); // both ends close their recordings
        QVERIFY(HoldsTone(m_phoneHeard, kPeerTone));
        QVERIFY(HoldsTone(m_peerHeard, kPhoneTone));
    }

    // Hold and Mute in every combination, measured in what each end recorded: the
    // peer hears the phone only while neither key is down, the phone hears the peer
    // only while Hold is up. Releasing one key must not undo the other.
    void holdAndMuteSilenceWhatEachEndHears()
    {
        struct SPhase {
            const char* keys; // what is pressed during the phase
            int press;        // the key pressed to get there, or 0
        };
        const SPhase phases[] = {
            {"", 0},
            {"mute", CDialPadPage::kMuteId},
            {"mute+hold", CDialPadPage::kHoldId},
            {"hold", CDialPadPage::kMuteId},
            {"hold+mute", CDialPadPage::kMuteId},
            {"mute", CDialPadPage::kHoldId},
            {"", CDialPadPage::kMuteId},
        };
        constexpr int kPhaseMs = 2500;
        // Seconds of each phase left out of the measure: the key's way through the
        // jitter buffers at the start, the next key's at the end.
        constexpr double kSettleSeconds = 1.0;
        constexpr double kEndMarginSeconds = 0.3;
        constexpr double kSilentRms = 0.01;
        constexpr double kHeardRms = 0.05;

        // Recordings grow call after call; this call's audio starts where they end now.
        const auto recorded = [](const QString& path) {
            CAudioFile file;
            return file.Load(path) ? file.seconds() : 0.0;
        };
        const double phoneStart = recorded(m_phoneHeard);
        const double peerStart = recorded(m_peerHeard);

        view().SelectPhoneView();
        control<QLineEdit>(CDialPadPage::kNumberEntryId)->setText(kPeer.number);
        press(CDialPadPage::kSendId);
        QTRY_VERIFY_WITH_TIMEOUT(statusShows(QStringLiteral("Connected")), kSignallingMs);
        QElapsedTimer sinceConnected;
        sinceConnected.start();
        QList<double> phaseStarts;
        for (const SPhase& phase : phases) {
            if (phase.press)
                press(phase.press);
            phaseStarts << sinceConnected.elapsed() / 1000.0;
            QTest::qWait(kPhaseMs);
        }
        phaseStarts << sinceConnected.elapsed() / 1000.0;
        press(CDialPadPage::kEndId);
        QVERIFY(m_peer.WaitOutput(QStringLiteral("disconnected")));
        QTest::qWait(500); // both ends close their recordings

        CAudioFile phoneHeard;
        CAudioFile peerHeard;
        QVERIFY(phoneHeard.Load(m_phoneHeard));
        QVERIFY(peerHeard.Load(m_peerHeard));
        for (int i = 0; i < int(std::size(phases)); ++i) {
            const QString keys = QString::fromLatin1(phases[i].keys);
            const double from = phaseStarts[i] + kSettleSeconds;
            const double to = phaseStarts[i + 1] - kEndMarginSeconds;
            const double peerRms = peerHeard.Rms(peerStart + from, peerStart + to);
            const double phoneRms = phoneHeard.Rms(phoneStart + from, phoneStart + to);
            const QString measured = QStringLiteral("phase %1 \"%2\": the peer heard %3, the phone heard %4")
                                         .arg(i)
                                         .arg(keys)
                                         .arg(peerRms)
                                         .arg(phoneRms);
            qInfo("%s", qPrintable(measured));
            const bool microphoneOn = !keys.contains(QLatin1String("hold")) && !keys.contains(QLatin1String("mute"));
            const bool speakerOn = !keys.contains(QLatin1String("hold"));
            QVERIFY2(microphoneOn ? peerRms > kHeardRms : peerRms < kSilentRms, qPrintable(measured));
            QVERIFY2(speakerOn ? phoneRms > kHeardRms : phoneRms < kSilentRms, qPrintable(measured));
        }
        QVERIFY(!control<QPushButton>(CDialPadPage::kHoldId)->isChecked());
        QVERIFY(!control<QPushButton>(CDialPadPage::kMuteId)->isChecked());
    }

    void acceptAnIncomingCallAndStayBusyDuringIt()
    {
        QString promptNumber;
        m_modal.WhenOpen<CIncomingCallPrompt>(
            [&promptNumber](CIncomingCallPrompt& prompt) {
                promptNumber = prompt.findChild<QLabel*>(QString::number(CIncomingCallPrompt::kCallerNumberId))->text();
                prompt.findChild<QPushButton*>(QString::number(CIncomingCallPrompt::kAcceptId))->click();
            },
            kSignallingMs);
        auto first = caller(kCaller, QStringLiteral("caller-accepted"));
        QVERIFY(first->Start(CSipService::Uri(kPhone.number)));
        QTRY_VERIFY_WITH_TIMEOUT(m_modal.Acted(), kSignallingMs);
        QCOMPARE(promptNumber, kCaller.number);
        QVERIFY(first->WaitOutput(QStringLiteral("Call established"), kSignallingMs));
        QTRY_VERIFY_WITH_TIMEOUT(statusShows(QStringLiteral("Connected")), kSignallingMs);
        QCOMPARE(callLogType(CSipService::Uri(kCaller.number)), QStringLiteral("Answered Call"));
        QCOMPARE(dialPad().Number(), kCaller.number);

        // A second caller meanwhile is told the phone is busy, without a prompt.
        bool prompted = false;
        m_modal.WhenOpen<CIncomingCallPrompt>([&prompted](CIncomingCallPrompt& prompt) {
            prompted = true;
            prompt.reject();
        });
        auto second = caller(kSecondCaller, QStringLiteral("caller-busy"));
        QVERIFY(second->Start(CSipService::Uri(kPhone.number)));
        QVERIFY(second->WaitOutput(QStringLiteral("486"), kSignallingMs));
        QVERIFY(!prompted);
        QVERIFY(CAVSessionWnd::Active());

        press(CDialPadPage::kEndId);
        QVERIFY(first->WaitOutput(QStringLiteral("terminated"), kSignallingMs));
        second->Stop();
        first->Stop();
    }

    void rejectAnIncomingCall()
    {
        m_modal.WhenOpen<CIncomingCallPrompt>(
            [](CIncomingCallPrompt& prompt) {
                prompt.findChild<QPushButton*>(QString::number(CIncomingCallPrompt::kRejectId))->click();
            },
            kSignallingMs);
        auto refused = caller(kCaller, QStringLiteral("caller-refused"));
        QVERIFY(refused->Start(CSipService::Uri(kPhone.number)));
        QTRY_VERIFY_WITH_TIMEOUT(m_modal.Acted(), kSignallingMs);
        QVERIFY(refused->WaitOutput(QStringLiteral("603"), kSignallingMs));
        QVERIFY(!CAVSessionWnd::Active());
        refused->Stop();
    }

    void anUnansweredCallIsMissedAtTheEighthRing()
    {
        QPointer<CIncomingCallPrompt> shown;
        m_modal.WhenOpen<CIncomingCallPrompt>([&shown](CIncomingCallPrompt& prompt) { shown = &prompt; },
                                              kSignallingMs);
        auto unanswered = caller(kSecondCaller, QStringLiteral("caller-unanswered"));
        QVERIFY(unanswered->Start(CSipService::Uri(kPhone.number)));
        QTRY_VERIFY_WITH_TIMEOUT(m_modal.Acted(), kSignallingMs);
        QTRY_VERIFY_WITH_TIMEOUT(callLogType(CSipService::Uri(kSecondCaller.number)) == QStringLiteral("Missed Call"),
                                 kUnansweredMs);
        QVERIFY(!shown);
        QVERIFY(!CAVSessionWnd::Active());
        unanswered->Stop();
    }

    void logOffUnregisters()
    {
        m_app->Frame()->Menu()->Action(ID_LOG_OFF)->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_app->Frame()->StatusPane()->text(), QStringLiteral("Logged off"), kSignallingMs);
        QVERIFY(!g_pClientEngine->Profile());
        QVERIFY(m_app->Frame()->Menu()->Action(ID_LOG_ON)->isEnabled());
        QVERIFY(!m_app->Frame()->Menu()->Action(ID_LOG_OFF)->isEnabled());
    }
};

QTEST_MAIN(TestPhoneEndToEnd)
#include "tst_phone_e2e.moc"
