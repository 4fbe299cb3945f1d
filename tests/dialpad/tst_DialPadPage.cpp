// The "Phone View" page over a real engine and the fake library: keys, number
// check, calls, and the audio controls of a call in progress.
#include "controls/HyperlinkLabel.h"
#include "engine/AddressRules.h"
#include "engine/ClientEngine.h"
#include "engine/ProcessGlobals.h"
#include "engine/ServiceConfig.h"
#include "sessions/AVSessionWnd.h"
#include "shell/DialPadPage.h"
#include "shell/WebLinks.h"
#include "tests/fakes/EngineRig.h"
#include "tests/fakes/MessageCapture.h"
#include "tests/fakes/RecordingSessionWnd.h"
#include "tests/fakes/RecordingViews.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

namespace {
const QColor kLight(221, 238, 255);
const QColor kDark(175, 201, 223);

QVariantList Args(std::initializer_list<QVariant> values)
{
    return QVariantList(values);
}
} // namespace

class TestDialPadPage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<EngineRig> m_rig;
    RecordingWindowFactory m_windows;
    QScopedPointer<CDialPadPage> m_page;
    QPointer<CAVSessionWnd> m_call;

    template <typename T> T* control(int id) const
    {
        T* found = m_page->findChild<T*>(QString::number(id));
        if (!found)
            qFatal("control %d missing", id);
        return found;
    }
    QPushButton* button(int id) const { return control<QPushButton>(id); }
    QLineEdit* entry() const { return control<QLineEdit>(CDialPadPage::kNumberEntryId); }
    QSlider* slider(RTC_AUDIO_DEVICE device) const
    {
        return control<QSlider>(device == RTCAD_SPEAKER ? CDialPadPage::kSpeakerSliderId
                                                        : CDialPadPage::kMicrophoneSliderId);
    }

    // A call in progress: the real call window over a session of the fake library.
    void startCall()
    {
        RtcSessionPtr session;
        QCOMPARE(m_rig->client().CreateSession(RTCST_PC_TO_PHONE, QString(), nullptr, 0, session), S_OK);
        m_call = new CAVSessionWnd;
        m_call->SetSession(session);
        QCOMPARE(g_activeCallWindow, m_call.data());
        m_rig->client().log().clear();
    }

    QList<QVariantList> argsOf(const QString& op) const
    {
        QList<QVariantList> result;
        for (const FakeCall& call : m_rig->client().log().calls())
            if (call.op == op)
                result << call.args;
        return result;
    }

private slots:
    void init()
    {
        m_rig = std::make_unique<EngineRig>();
        m_rig->engine().SetSessionWindowFactory(&m_windows);
        m_page.reset(new CDialPadPage(m_rig->display()));
        m_rig->client().log().clear();
    }

    void cleanup()
    {
        delete m_call;
        m_page.reset();
        m_rig.reset();
        m_windows.windows.clear();
        m_windows.onCreate = nullptr;
        SetUrlOpener({});
        QCOMPARE(g_activeCallWindow, nullptr);
    }

    void theKeypadIsLaidOutLikeATelephone()
    {
        // Send Clear End, then 1 2 3 / 4 5 6 / 7 8 9 / * 0 #, with Hold and Mute beside the last row.
        const int rows[5][5] = {{0, 1024, 1033, 1025, 0},
                                {0, 1013, 1014, 1015, 0},
                                {0, 1016, 1017, 1018, 0},
                                {0, 1019, 1020, 1021, 0},
                                {1032, 1023, 1022, 1026, 1036}};
        QStringList texts;
        for (int r = 0; r < 5; ++r) {
            for (int c = 0; c < 5; ++c) {
                if (!rows[r][c])
                    continue;
                const QRect key = button(rows[r][c])->geometry();
                texts << button(rows[r][c])->text();
                if (c > 0 && rows[r][c - 1])
                    QVERIFY(key.left() > button(rows[r][c - 1])->geometry().right());
                if (r > 0 && rows[r - 1][c])
                    QVERIFY(key.top() > button(rows[r - 1][c])->geometry().bottom());
            }
        }
        QCOMPARE(texts.join(' '), "&Send Clear &End &1 &2 &3 &4 &5 &6 &7 &8 &9 Hold &* &0 &# Mute");
        QVERIFY(slider(RTCAD_SPEAKER)->geometry().right() < button(1013)->geometry().left());
        QVERIFY(slider(RTCAD_MICROPHONE)->geometry().left() > button(1015)->geometry().right());

        // Top down: the quality and time line, the status display, the entry, the keys.
        const QRect status = control<QPlainTextEdit>(CDialPadPage::kStatusDisplayId)->geometry();
        QVERIFY(control<QProgressBar>(CDialPadPage::kQualityBarId)->geometry().bottom() < status.top());
        QVERIFY(status.bottom() < entry()->geometry().top());
        QVERIFY(entry()->geometry().bottom() < button(CDialPadPage::kSendId)->geometry().top());
        for (QWidget* child : m_page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(m_page->rect().contains(child->geometry()), qPrintable(child->objectName()));
    }

    void theColoursAreThoseOfThePhone()
    {
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.data()));
        const QImage picture = m_page->grab().toImage();
        const auto labelled = [this](const QString& text) {
            for (QLabel* label : m_page->findChildren<QLabel*>())
                if (label->text() == text)
                    return label;
            return static_cast<QLabel*>(nullptr);
        };
        for (const QString text : {"Quality:", "Call time:"}) {
            QLabel* label = labelled(text);
            QVERIFY(label);
            QCOMPARE(picture.pixelColor(label->geometry().topLeft() + QPoint(1, 1)), kDark);
        }
        for (const QString text : {"Spkr", "Mic"}) {
            QLabel* label = labelled(text);
            QVERIFY(label);
            QCOMPARE(picture.pixelColor(label->geometry().topLeft() + QPoint(1, 1)), kLight);
        }
        const QRect status = control<QPlainTextEdit>(CDialPadPage::kStatusDisplayId)->geometry();
        QCOMPARE(picture.pixelColor(status.center()), kLight);
        QCOMPARE(picture.pixelColor(entry()->geometry().center() + QPoint(0, 10)), kLight);
        QCOMPARE(button(CDialPadPage::kSendId)->palette().color(QPalette::Button), kDark);
        QCOMPARE(button(1017)->palette().color(QPalette::ButtonText), QColor(Qt::black));
    }

    void eachKeyInsertsItsCharacterAndSendsItsTone()
    {
        const int order[] = {1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1023, 1022, 1026};
        for (int id : order)
            QTest::mouseClick(button(id), Qt::LeftButton);
        QCOMPARE(m_page->Number(), "123456789*0#");
        QList<QVariantList> tones;
        for (int tone : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 11})
            tones << Args({tone});
        QCOMPARE(argsOf("Client.SendDTMF"), tones);
        QCOMPARE(g_activeCallWindow, nullptr);
    }

    void aKeyReplacesTheSelectionAndCanBeUndone()
    {
        m_page->SetNumber("18005551234");
        entry()->setSelection(1, 3); // "800"
        QTest::mouseClick(button(1017), Qt::LeftButton);
        QCOMPARE(m_page->Number(), "155551234");
        entry()->undo();
        QCOMPARE(m_page->Number(), "18005551234");
    }

    void theEntryTakesAtMostTwentyCharacters()
    {
        m_page->show();
        entry()->setFocus();
        QTest::keyClicks(entry(), "1234567890123456789012345");
        QCOMPARE(m_page->Number(), "12345678901234567890");
        QTest::mouseClick(button(1017), Qt::LeftButton);
        QCOMPARE(m_page->Number(), "12345678901234567890");
        QCOMPARE(argsOf("Client.SendDTMF"), QList<QVariantList>({Args({5})}));

        m_page->SetNumber("1234567890123456789");
        QTest::mouseClick(button(1017), Qt::LeftButton);
        QTest::mouseClick(button(1017), Qt::LeftButton);
        QCOMPARE(m_page->Number(), "12345678901234567895");
    }

    void sendShowsTheBareNumberThenPlacesAPhoneCall_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("digits");
        QTest::newRow("blanks and dash") << "1 800 555-1234"
                                         << "18005551234";
        QTest::newRow("parentheses") << "1 (800) 555-1234"
                                     << "18005551234";
        QTest::newRow("member number") << "999 555 0002"
                                       << "9995550002";
    }

    void sendShowsTheBareNumberThenPlacesAPhoneCall()
    {
        QFETCH(QString, typed);
        QFETCH(QString, digits);
        QCOMPARE(CheckPhoneNumber(typed), 0);
        QString numberWhenPlaced;
        QStringList messagesWhenPlaced;
        m_windows.onCreate = [&] {
            numberWhenPlaced = m_page->Number();
            messagesWhenPlaced = m_rig->display().statusMessages;
        };
        m_page->SetNumber(typed);
        QTest::mouseClick(button(CDialPadPage::kSendId), Qt::LeftButton);

        QCOMPARE(numberWhenPlaced, digits);
        QCOMPARE(messagesWhenPlaced, QStringList(digits + "\r\r\nCalling ..."));
        QCOMPARE(argsOf("Client.CreateSession").size(), 1);
        QCOMPARE(argsOf("Client.CreateSession").first().first().toInt(), int(RTCST_PC_TO_PHONE));
        const QString uri = "sip:" + digits + "@" + ServiceConfig::current().sipDomain;
        QCOMPARE(argsOf("Session.AddParticipant"), QList<QVariantList>({Args({uri, QString()})}));
    }

    void enterPlacesTheCallOnce()
    {
        m_page->show();
        entry()->setFocus();
        QTest::keyClicks(entry(), "18005551234");
        QTest::keyClick(entry(), Qt::Key_Return);
        QCOMPARE(argsOf("Client.CreateSession").size(), 1);
    }

    void anInvalidNumberIsRefusedWithTheFocusBackOnTheEntry_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("too short") << "123456";
        QTest::newRow("no prefix") << "5551234567";
        QTest::newRow("letter") << "1800555123A";
        QTest::newRow("empty") << "";
    }

    void anInvalidNumberIsRefusedWithTheFocusBackOnTheEntry()
    {
        QFETCH(QString, typed);
        m_page->show();
        QVERIFY(QTest::qWaitForWindowActive(m_page.data()));
        m_page->SetNumber(typed);
        button(CDialPadPage::kSendId)->setFocus();
        MessageCapture messages;
        QTest::mouseClick(button(CDialPadPage::kSendId), Qt::LeftButton);

        QCOMPARE(messages.captions, QStringList("Invalid Number"));
        QCOMPARE(messages.texts, QStringList(QString::fromLatin1(kInvalidNumberMessage)));
        QVERIFY(entry()->hasFocus());
        QCOMPARE(m_page->Number(), typed);
        QVERIFY(m_rig->display().statusMessages.isEmpty());
        QCOMPARE(m_rig->client().log().count("Client.CreateSession"), 0);
    }

    void clearEmptiesTheEntryAndTheStatusButKeepsTheCall()
    {
        startCall();
        m_page->SetNumber("18005551234");
        m_page->SetStatusText("03-07-2005  14:05\r\r\nConnected");
        QTest::mouseClick(button(CDialPadPage::kClearId), Qt::LeftButton);
        QVERIFY(m_page->Number().isEmpty());
        QVERIFY(m_page->StatusText().isEmpty());
        QVERIFY(control<QPlainTextEdit>(CDialPadPage::kStatusDisplayId)->toPlainText().isEmpty());
        QCOMPARE(g_activeCallWindow, m_call.data());
        QCOMPARE(m_rig->client().log().count("Session.Terminate"), 0);
    }

    void theStatusDisplayShowsTheSoftLineBreakAsOne()
    {
        const QString text = "03-07-2005  14:05\r\r\n18005551234\r\r\nCalling ...";
        m_page->SetStatusText(text);
        QCOMPARE(m_page->StatusText(), text);
        QCOMPARE(control<QPlainTextEdit>(CDialPadPage::kStatusDisplayId)->toPlainText(),
                 "03-07-2005  14:05\n18005551234\nCalling ...");
    }

    void endHangsUpOnlyACallInProgress()
    {
        QTest::mouseClick(button(CDialPadPage::kEndId), Qt::LeftButton);
        QVERIFY(m_rig->display().statusMessages.isEmpty());

        startCall();
        QTest::mouseClick(button(CDialPadPage::kEndId), Qt::LeftButton);
        QCOMPARE(argsOf("Session.Terminate"), QList<QVariantList>({Args({int(RTCTR_NORMAL)})}));
        QCOMPARE(g_activeCallWindow, nullptr);
        QCOMPARE(m_rig->display().statusMessages, QStringList("Call terminated."));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!m_call);
    }

    void holdSilencesMicrophoneThenSpeakerAndBack()
    {
        QTest::mouseClick(button(CDialPadPage::kHoldId), Qt::LeftButton);
        QVERIFY(m_page->IsHoldChecked());
        QCOMPARE(m_rig->client().log().count("Client.put_AudioMuted"), 0);
        QTest::mouseClick(button(CDialPadPage::kHoldId), Qt::LeftButton);

        startCall();
        QTest::mouseClick(button(CDialPadPage::kHoldId), Qt::LeftButton);
        QTest::mouseClick(button(CDialPadPage::kHoldId), Qt::LeftButton);
        QCOMPARE(argsOf("Client.put_AudioMuted"),
                 QList<QVariantList>({Args({int(RTCAD_MICROPHONE), true}), Args({int(RTCAD_SPEAKER), true}),
                                      Args({int(RTCAD_MICROPHONE), false}), Args({int(RTCAD_SPEAKER), false})}));
        QVERIFY(!m_page->IsHoldChecked());
    }

    void muteNeverTouchesTheSpeaker()
    {
        QTest::mouseClick(button(CDialPadPage::kMuteId), Qt::LeftButton);
        QVERIFY(m_page->IsMuteChecked());
        QCOMPARE(m_rig->client().log().count("Client.put_AudioMuted"), 0);

        startCall();
        QTest::mouseClick(button(CDialPadPage::kMuteId), Qt::LeftButton);
        QTest::mouseClick(button(CDialPadPage::kMuteId), Qt::LeftButton);
        QCOMPARE(argsOf("Client.put_AudioMuted"),
                 QList<QVariantList>({Args({int(RTCAD_MICROPHONE), false}), Args({int(RTCAD_MICROPHONE), true})}));
        QVERIFY(m_page->IsMuteChecked());
    }

    // Releasing one key never turns on what the other still keeps off.
    void holdAndMuteKeepTheMicrophoneOffWhileEitherIsPressed_data()
    {
        QTest::addColumn<QString>("keys"); // H Hold, M Mute, in the order pressed
        QTest::addColumn<bool>("microphoneMuted");
        QTest::addColumn<bool>("speakerMuted");
        QTest::newRow("hold") << "H" << true << true;
        QTest::newRow("mute") << "M" << true << false;
        QTest::newRow("hold, mute, release hold") << "HMH" << true << false;
        QTest::newRow("mute, hold, release mute") << "MHM" << true << true;
        QTest::newRow("both released") << "HMHM" << false << false;
    }

    void holdAndMuteKeepTheMicrophoneOffWhileEitherIsPressed()
    {
        QFETCH(QString, keys);
        QFETCH(bool, microphoneMuted);
        QFETCH(bool, speakerMuted);
        startCall();
        for (QChar key : keys)
            QTest::mouseClick(button(key == u'H' ? CDialPadPage::kHoldId : CDialPadPage::kMuteId), Qt::LeftButton);
        QCOMPARE(m_rig->client().m_muted[RTCAD_MICROPHONE], microphoneMuted);
        QCOMPARE(m_rig->client().m_muted[RTCAD_SPEAKER], speakerMuted);
    }

    void theSlidersRunInverted_data()
    {
        QTest::addColumn<int>("device");
        QTest::newRow("speaker") << int(RTCAD_SPEAKER);
        QTest::newRow("microphone") << int(RTCAD_MICROPHONE);
    }

    void theSlidersRunInverted()
    {
        QFETCH(int, device);
        const auto audio = static_cast<RTC_AUDIO_DEVICE>(device);
        QSlider* control = slider(audio);
        control->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(m_page->VolumeSliderPosition(audio), 65535);
        QCOMPARE(m_rig->client().log().count("Client.put_Volume"), 0);

        startCall();
        control->triggerAction(QAbstractSlider::SliderToMinimum);
        control->triggerAction(QAbstractSlider::SliderToMaximum);
        m_page->SetVolumeSlider(audio, true, 30000);
        QTest::keyClick(control, Qt::Key_Up); // towards the top: louder
        QCOMPARE(argsOf("Client.put_Volume"),
                 QList<QVariantList>({Args({device, 65535}), Args({device, 0}),
                                      Args({device, 65535 - m_page->VolumeSliderPosition(audio)})}));
        QVERIFY(m_page->VolumeSliderPosition(audio) < 30000);

        // Positions that come from the library are not sent back to it.
        m_page->SetVolumeSlider(audio, false, 1000);
        QCOMPARE(m_page->VolumeSliderPosition(audio), 1000);
        QVERIFY(!control->isEnabled());
        QCOMPARE(m_rig->client().log().count("Client.put_Volume"), 3);
    }

    void theQualityBarStaysInItsRange()
    {
        auto* bar = control<QProgressBar>(CDialPadPage::kQualityBarId);
        m_page->SetQuality(42);
        QCOMPARE(bar->value(), 42);
        m_page->SetQuality(250);
        QCOMPARE(bar->value(), 100);
        m_page->SetQuality(-3);
        QCOMPARE(bar->value(), 0);
    }

    void theLinksOpenTheAccountAndTheDiallingHelp()
    {
        QList<QUrl> opened;
        SetUrlOpener([&opened](const QUrl& url) { opened << url; });
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.data()));
        QStringList texts;
        for (CHyperlinkLabel* link : m_page->findChildren<CHyperlinkLabel*>()) {
            texts << link->Text();
            QVERIFY(link->isVisible());
            for (QPushButton* key : m_page->findChildren<QPushButton*>())
                QVERIFY2(!link->geometry().intersects(key->geometry()), qPrintable(key->objectName()));
            QVERIFY(!link->geometry().intersects(entry()->geometry()));
            QVERIFY(link->TextRect().width() <= link->width());
            QTest::mouseMove(link, link->TextRect().center());
            QTest::mouseClick(link, Qt::LeftButton, {}, link->TextRect().center());
        }
        QCOMPARE(texts, QStringList({"Click here to recharge your account", "Help!"}));
        QCOMPARE(opened, QList<QUrl>({WebPageUrl(WebPage::Account), WebPageUrl(WebPage::DialingInstructions)}));
    }
};

QTEST_MAIN(TestDialPadPage)
#include "tst_DialPadPage.moc"
