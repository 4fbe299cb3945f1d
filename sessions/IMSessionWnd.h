// The conversation window of one message session: who takes part and in which
// state, the transcript, the input with its typing notices, adding participants
// and saving the transcript. A conversation whose connected party has gone is
// set up again with the next message.
#pragma once

#include "engine/SessionWnd.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class QAction;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

class CIMSessionWnd : public QWidget, public CSessionWnd {
    Q_OBJECT

public:
    // Control ids, also the controls' object names.
    static constexpr int kStatusBarId = 2000;
    static constexpr int kHistoryId = 2002;
    static constexpr int kInputId = 2003;
    static constexpr int kSendId = 2004;
    static constexpr int kParticipantListId = 2009;
    static constexpr int kSaveId = 2020;
    // Menu commands, also the actions' data and object names.
    static constexpr int kExitCommand = 40003;
    static constexpr int kAddParticipantCommand = 40019;

    static constexpr int kWidth = 400;
    static constexpr int kHeight = 400;
    static constexpr int kMaxTypingLineLength = 255;
    static constexpr int kBodyIndentPx = 13; // 200 twips
    static inline const QColor kEntryColour{0, 128, 128};
    static inline const QString kTitle = QStringLiteral("Orvalo Phone Message");
    static inline const QString kAddParticipantTitle = QStringLiteral("Add Participant");
    static inline const QString kNotOnlineMessage = QStringLiteral("This user does not appear to be online.");
    static inline const QString kSendFailedLine = QStringLiteral("(The message could not be sent.)");

    // The number prompt of the main window: S_OK with the address filled in.
    using AddressPrompt = std::function<HRESULT(QWidget* owner, const QString& title, QString& address)>;
    // The save-file dialog: the chosen file, or empty when cancelled.
    using SaveFileChooser = std::function<QString(QWidget* owner)>;

    explicit CIMSessionWnd(AddressPrompt addressPrompt);
    ~CIMSessionWnd() override;

    // Shows the window with the input focused.
    HRESULT OnCreate() override;
    HRESULT OnDestroy() override;
    HRESULT OnSize() override;
    HRESULT OnSessionStateChange(RTC_SESSION_STATE state) override;
    HRESULT OnParticipantStateChange(const RtcParticipantPtr& participant, RTC_PARTICIPANT_STATE state) override;
    HRESULT OnMessage(const RtcParticipantPtr& participant, const QString& header, const QString& text) override;
    HRESULT OnUserStatus(const RtcParticipantPtr& participant, RTC_MESSAGING_USER_STATUS status) override;

    void PostClose() override;
    void DestroyWindow() override;

    // The commands of the window's buttons and menu.
    HRESULT Send();
    HRESULT AddParticipant();
    HRESULT SaveTranscript();

    void SetSaveFileChooser(SaveFileChooser chooser) { m_chooseSaveFile = std::move(chooser); }

signals:
    // A message from the other side was written into the transcript (both as shown there).
    void incomingMessage(const QString& from, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One row of the participant list: the party, its row and the last state it was reported in.
    struct SParticipantRow {
        RtcParticipantPtr participant;
        QTreeWidgetItem* item = nullptr;
        RTC_PARTICIPANT_STATE previousState = RTCPS_IDLE;
    };

    void CreateControls();
    void CreateMenu();
    void OnSendCommand();
    void OnInputChanged();
    SParticipantRow* FindRow(const RtcParticipantPtr& participant);
    void RemoveRow(const RtcParticipantPtr& participant);
    // The conversation's connected party has gone: a new session with that party.
    HRESULT ReestablishIfPartyLeft();
    void AppendEntry(const QString& sender, const QString& text);
    void AppendNotice(const QString& text);
    void ShowNewestEntry();
    void ClearTypingLine();
    void ShowNotOnlineAndClose();
    // False, with a warning, for news that arrives too late or names nobody.
    bool AcceptsNewsOf(const RtcParticipantPtr& participant) const;
    CClientEngine* LiveEngine() const;

    AddressPrompt m_addressPrompt;
    SaveFileChooser m_chooseSaveFile;
    QMenuBar* m_menuBar = nullptr;
    QAction* m_addParticipantAction = nullptr;
    QTextEdit* m_history = nullptr;
    QTextEdit* m_input = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_sendButton = nullptr;
    QTreeWidget* m_participantList = nullptr;
    QStatusBar* m_statusBar = nullptr;

    std::vector<SParticipantRow> m_rows;
    RtcParticipantPtr m_connectedParticipant;
    bool m_typingSent = false;
    bool m_closing = false; // the "not online" box is open; the window closes with it
    bool m_destroyed = false;
};
