// A phone logged on over the fake library whose message windows ask a scripted
// prompt for new participants; with helpers to open a conversation and to read
// what a window shows.
#pragma once

#include "tests/calls/CallRig.h"

#include "sessions/IMSessionWnd.h"

#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QTreeWidget>

class MessageRig : public CallRig {
public:
    MessageRig()
        : m_messageFactory(engine(), [this](QWidget*, const QString& title, QString& address) {
              promptTitles << title;
              if (promptAnswer.isEmpty())
                  return E_FAIL;
              address = promptAnswer;
              return S_OK;
          })
    {
        engine().SetSessionWindowFactory(&m_messageFactory);
    }

    // A conversation started with "&Message..." to an address that is not a buddy.
    CIMSessionWnd* startConversation(const QString& uri)
    {
        if (FAILED(engine().MakeCall(RTCST_MULTIPARTY_IM, uri, QString())))
            return nullptr;
        return dynamic_cast<CIMSessionWnd*>(engine().SessionWindows().back());
    }
    static std::shared_ptr<FakeSession> sessionOf(const CIMSessionWnd& window)
    {
        return std::static_pointer_cast<FakeSession>(window.Session());
    }
    static std::shared_ptr<FakeParticipant> participantOf(const CIMSessionWnd& window, size_t index = 0)
    {
        auto session = sessionOf(window);
        return session && index < session->m_participants.size() ? session->m_participants[index] : nullptr;
    }

    // The party's state changes as the library would report it.
    void setParticipantState(const std::shared_ptr<FakeParticipant>& participant, RTC_PARTICIPANT_STATE state)
    {
        participant->m_state = state;
        deliver(RTCE_PARTICIPANT_STATE_CHANGE, FakeEvents::participantState(participant, state));
    }
    void receive(const CIMSessionWnd& window, const QString& text, size_t from = 0)
    {
        deliver(RTCE_MESSAGING, FakeEvents::message(window.Session(), participantOf(window, from), QString(), text));
    }
    void typingNotice(const CIMSessionWnd& window, RTC_MESSAGING_USER_STATUS status)
    {
        deliver(RTCE_MESSAGING, FakeEvents::userStatus(window.Session(), participantOf(window), status));
    }

    template <typename T> static T* control(const QWidget& window, int id)
    {
        return window.findChild<T*>(QString::number(id));
    }
    static QTextEdit* history(const QWidget& window) { return control<QTextEdit>(window, CIMSessionWnd::kHistoryId); }
    static QTextEdit* input(const QWidget& window) { return control<QTextEdit>(window, CIMSessionWnd::kInputId); }
    static QString transcript(const QWidget& window) { return history(window)->toPlainText(); }
    static QString typingLine(const QWidget& window)
    {
        return control<QStatusBar>(window, CIMSessionWnd::kStatusBarId)->currentMessage();
    }
    // Each row as "name|status".
    static QStringList rows(const QWidget& window)
    {
        QStringList shown;
        auto* list = control<QTreeWidget>(window, CIMSessionWnd::kParticipantListId);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            shown << list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1);
        return shown;
    }
    // Puts the text into the input, as typing or pasting would, and presses Enter.
    static void typeAndSend(QWidget& window, const QString& text)
    {
        input(window)->insertPlainText(text);
        QTest::keyClick(input(window), Qt::Key_Return);
    }

    QString promptAnswer;
    QStringList promptTitles;

private:
    CSessionWindowFactory m_messageFactory;
};
