#include "IMSessionWnd.h"

#include "NetworkText.h"
#include "TranscriptFile.h"

#include "controls/DialogParts.h"
#include "engine/AddressRules.h"
#include "engine/ClientEngine.h"
#include "engine/MessageBox.h"
#include "engine/ProcessGlobals.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTextEdit>
#include <QTreeWidget>

#include <utility>

namespace {
Q_LOGGING_CATEGORY(lcMessages, "orvalo.sessions.messages")

const QString kSaysSuffix = QStringLiteral(" says:");
const QString kTypingFormat = QStringLiteral("%1 is typing.");
const QString kSaveFailedFormat = QStringLiteral("The transcript could not be saved to \"%1\".\n%2");
const QString kSaveFilter = QStringLiteral("Text Files (*.txt);;All Files (*.*)");

enum class ENameFallback { DisplayNumber, Address };

// The party's display name, or its address (in display form where the list and
// the transcript show it), as one safe line.
QString PartyName(IRTCParticipant& participant, ENameFallback fallback)
{
    QString name;
    if (FAILED(participant.get_Name(name)) || name.isEmpty()) {
        name.clear();
        if (SUCCEEDED(participant.get_UserURI(name)) && fallback == ENameFallback::DisplayNumber)
            ToDisplayNumber(name);
    }
    return NetworkText::SingleLine(name);
}

// The status column's text; null for a state that leaves the column as it is.
QString ParticipantStateText(RTC_PARTICIPANT_STATE state)
{
    switch (state) {
    case RTCPS_IDLE: return QStringLiteral("Idle");
    case RTCPS_PENDING: return QStringLiteral("Pending...");
    case RTCPS_INCOMING: return QStringLiteral("Incoming...");
    case RTCPS_ANSWERING: return QStringLiteral("Answering...");
    case RTCPS_INPROGRESS: return QStringLiteral("Connecting...");
    case RTCPS_ALERTING: return QStringLiteral("Alerting...");
    case RTCPS_CONNECTED: return QStringLiteral("Connected");
    case RTCPS_DISCONNECTING: return QStringLiteral("Disconnecting...");
    case RTCPS_DISCONNECTED: return QStringLiteral("Disconnected");
    default: return QString();
    }
}

QFont TranscriptFont()
{
    QFont font(QStringLiteral("Microsoft Sans Serif"), 10);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QTextEdit* MakeTextBox(QWidget* parent, int id, bool readOnly)
{
    auto* box = new QTextEdit(parent);
    box->setObjectName(QString::number(id));
    box->setAcceptRichText(false);
    box->setReadOnly(readOnly);
    box->setFont(TranscriptFont());
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A long word from the other side wraps instead of widening the box.
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return box;
}

QPushButton* MakeButton(QWidget* parent, int id, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::number(id));
    button->setAutoDefault(false);
    return button;
}

QString ChooseSaveFileWithDialog(QWidget*)
{
    // No owner: the main window owns the dialog, and it outlives this window.
    QFileDialog dialog(nullptr, QString(), QString(), kSaveFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
} // namespace

CIMSessionWnd::CIMSessionWnd(AddressPrompt addressPrompt)
    : m_addressPrompt(std::move(addressPrompt)), m_chooseSaveFile(ChooseSaveFileWithDialog)
{
    setWindowTitle(kTitle);
    PaintWindowBackground(*this);
    CreateMenu();
    CreateControls();
    resize(kWidth, kHeight);
}

CIMSessionWnd::~CIMSessionWnd()
{
    if (!m_destroyed)
        OnDestroy();
}

void CIMSessionWnd::CreateMenu()
{
    m_menuBar = new QMenuBar(this);
    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    QAction* exit = file->addAction(QStringLiteral("E&xit"), this, &CIMSessionWnd::PostClose);
    exit->setData(kExitCommand);
    exit->setObjectName(QString::number(kExitCommand));
    QMenu* action = m_menuBar->addMenu(QStringLiteral("&Action"));
    m_addParticipantAction =
        action->addAction(QStringLiteral("&Add Participant..."), this, &CIMSessionWnd::AddParticipant);
    m_addParticipantAction->setData(kAddParticipantCommand);
    m_addParticipantAction->setObjectName(QString::number(kAddParticipantCommand));
}

void CIMSessionWnd::CreateControls()
{
    m_history = MakeTextBox(this, kHistoryId, true);
    m_input = MakeTextBox(this, kInputId, false);
    m_input->installEventFilter(this);
    connect(m_input, &QTextEdit::textChanged, this, &CIMSessionWnd::OnInputChanged);

    m_saveButton = MakeButton(this, kSaveId, QStringLiteral("Save"));
    m_saveButton->setEnabled(false);
    connect(m_saveButton, &QPushButton::clicked, this, &CIMSessionWnd::SaveTranscript);
    m_sendButton = MakeButton(this, kSendId, QStringLiteral("Send"));
    connect(m_sendButton, &QPushButton::clicked, this, &CIMSessionWnd::OnSendCommand);

    m_participantList = new QTreeWidget(this);
    m_participantList->setObjectName(QString::number(kParticipantListId));
    m_participantList->setColumnCount(2);
    m_participantList->setHeaderLabels({QStringLiteral("Participant"), QStringLiteral("Status")});
    m_participantList->setRootIsDecorated(false);
    m_participantList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_participantList->setAllColumnsShowFocus(true);
    m_participantList->setTextElideMode(Qt::ElideRight);
    m_participantList->setSortingEnabled(true);
    m_participantList->sortByColumn(0, Qt::AscendingOrder);
    m_participantList->header()->setSectionsClickable(false);
    m_participantList->header()->setSortIndicatorShown(false);
    m_participantList->header()->setStretchLastSection(false);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QString::number(kStatusBarId));
    m_statusBar->setSizeGripEnabled(false);
}

HRESULT CIMSessionWnd::OnCreate()
{
    show();
    m_input->setFocus();
    return CSessionWnd::OnCreate();
}

HRESULT CIMSessionWnd::OnDestroy()
{
    m_destroyed = true;
    m_rows.clear();
    if (m_participantList)
        m_participantList->clear();
    m_connectedParticipant.reset();
    // An engine that is gone can no longer be told that this window leaves it.
    if (m_engine && m_engine != g_pClientEngine)
        SetEngine(nullptr);
    const HRESULT hr = CSessionWnd::OnDestroy();
    SetEngine(nullptr);
    return hr;
}

void CIMSessionWnd::PostClose()
{
    QMetaObject::invokeMethod(this, &CIMSessionWnd::close, Qt::QueuedConnection);
}

void CIMSessionWnd::DestroyWindow()
{
    if (m_destroyed)
        return;
    OnDestroy();
    hide();
    deleteLater();
}

void CIMSessionWnd::closeEvent(QCloseEvent* event)
{
    event->accept();
    DestroyWindow();
}

bool CIMSessionWnd::AcceptsNewsOf(const RtcParticipantPtr& participant) const
{
    if (!m_destroyed && participant)
        return true;
    qCWarning(lcMessages) << "news dropped:" << (m_destroyed ? "the window is closed" : "no participant");
    return false;
}

CClientEngine* CIMSessionWnd::LiveEngine() const
{
    return m_engine && m_engine == g_pClientEngine ? m_engine : nullptr;
}

// --- layout ---

void CIMSessionWnd::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    OnSize();
}

HRESULT CIMSessionWnd::OnSize()
{
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, width(), menuHeight);
    const int left = 0, top = menuHeight, right = width(), bottom = height();
    const int barHeight = m_statusBar->sizeHint().height();
    const int base = bottom - barHeight - 5;

    m_sendButton->setGeometry(right - 65, base - 30, 60, 30);
    m_saveButton->setGeometry(right - 65, base - 65, 60, 30);
    m_input->setGeometry(left + 5, base - 65, right - left - 75, 65);
    m_participantList->setGeometry(left + 5, top + 5, right - left - 10, 70);
    m_history->setGeometry(left + 5, top + 80, right - left - 10, std::max(0, (base - 70) - (top + 80)));
    m_statusBar->setGeometry(left, bottom - barHeight, right - left, barHeight);

    const int columns = m_participantList->width() - style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 5;
    m_participantList->header()->resizeSection(0, columns * 3 / 5);
    m_participantList->header()->resizeSection(1, columns * 2 / 5);
    return S_OK;
}

// --- what the user does ---

bool CIMSessionWnd::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_input || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return QWidget::eventFilter(watched, event);
    if (key->modifiers() & Qt::ControlModifier)
        m_input->textCursor().insertText(QStringLiteral("\n"));
    else
        OnSendCommand();
    return true;
}

void CIMSessionWnd::OnSendCommand()
{
    const bool hadText = !m_input->document()->isEmpty();
    Send();
    if (hadText)
        m_saveButton->setEnabled(true);
    if (CClientEngine* engine = LiveEngine())
        engine->Display().StartAwayTimer();
}

HRESULT CIMSessionWnd::Send()
{
    const QString text = m_input->toPlainText();
    if (text.isEmpty())
        return S_FALSE;

    QString ownName;
    if (CClientEngine* engine = LiveEngine()) {
        if (FAILED(engine->GetLocalDisplayName(ownName)) || ownName.isEmpty())
            engine->GetLocalUserUri(ownName);
    }
    AppendEntry(NetworkText::SingleLine(ownName), text);
    m_input->clear();

    HRESULT hr = ReestablishIfPartyLeft();
    if (SUCCEEDED(hr))
        hr = m_session ? m_session->SendMessage(QString(), text, 0) : RTC_E_INVALID_STATE;
    if (FAILED(hr)) {
        qCWarning(lcMessages) << "message not sent:" << Qt::hex << hr;
        AppendNotice(kSendFailedLine);
    }
    return hr;
}

HRESULT CIMSessionWnd::ReestablishIfPartyLeft()
{
    RTC_PARTICIPANT_STATE state;
    if (!m_connectedParticipant || FAILED(m_connectedParticipant->get_State(state)) || state != RTCPS_DISCONNECTED)
        return S_OK;
    QString uri;
    HRESULT hr = m_connectedParticipant->get_UserURI(uri);
    if (FAILED(hr))
        return hr;
    RemoveRow(m_connectedParticipant);
    m_connectedParticipant.reset();

    // The old session leaves the window at once, so none of its late events is taken
    // for the new one's; the window holds a session only once it was made.
    const RtcSessionPtr old = std::exchange(m_session, nullptr);
    RtcClientPtr client;
    if (old) {
        old->get_Client(client);
        old->Terminate(RTCTR_NORMAL);
    }
    if (!client) {
        CClientEngine* engine = LiveEngine();
        client = engine ? engine->Client() : nullptr;
    }
    if (!client)
        return RTC_E_INVALID_STATE;
    RtcSessionPtr fresh;
    hr = client->CreateSession(RTCST_MULTIPARTY_IM, QString(), nullptr, 0, fresh);
    if (FAILED(hr))
        return hr;
    m_session = fresh;
    RtcParticipantPtr added;
    return m_session->AddParticipant(uri, QString(), added);
}

void CIMSessionWnd::OnInputChanged()
{
    const bool typing = !m_input->document()->isEmpty();
    if (typing == m_typingSent)
        return;
    m_typingSent = typing;
    if (!m_session)
        return;
    const HRESULT hr = m_session->SendMessageStatus(typing ? RTCMUS_TYPING : RTCMUS_IDLE, 0);
    if (FAILED(hr))
        qCWarning(lcMessages) << "typing notice not sent:" << Qt::hex << hr;
}

HRESULT CIMSessionWnd::AddParticipant()
{
    if (!m_addressPrompt || !m_session) {
        qCWarning(lcMessages) << "no participant can be added: no prompt or no session";
        return E_FAIL;
    }
    const QPointer<CIMSessionWnd> self(this);
    QString address;
    const HRESULT prompted = m_addressPrompt(this, kAddParticipantTitle, address);
    if (!self || FAILED(prompted) || !m_session)
        return E_FAIL;
    RtcParticipantPtr added;
    const HRESULT hr = m_session->AddParticipant(address, QString(), added);
    if (FAILED(hr))
        qCWarning(lcMessages) << "participant not added:" << Qt::hex << hr;
    return hr;
}

HRESULT CIMSessionWnd::SaveTranscript()
{
    const QString transcript = m_history->toPlainText();
    const QPointer<CIMSessionWnd> self(this);
    const QString path = m_chooseSaveFile ? m_chooseSaveFile(this) : QString();
    if (!self || path.isEmpty())
        return S_FALSE;
    QString error;
    if (TranscriptFile::Write(path, transcript, error))
        return S_OK;
    qCWarning(lcMessages) << "transcript not saved:" << path << error;
    CMessageBox::Open(this, kSaveFailedFormat.arg(path, error), nullptr);
    return E_FAIL;
}

// --- the transcript ---

void CIMSessionWnd::AppendEntry(const QString& sender, const QString& text)
{
    QTextCursor cursor(m_history->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat colour;
    colour.setForeground(kEntryColour);
    QTextBlockFormat indented;
    indented.setLeftMargin(kBodyIndentPx);

    cursor.setBlockFormat(QTextBlockFormat());
    cursor.insertText(sender + kSaysSuffix, colour);
    cursor.insertBlock(indented, colour);
    cursor.insertText(text, colour);
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    ShowNewestEntry();
}

void CIMSessionWnd::AppendNotice(const QString& text)
{
    QTextCursor cursor(m_history->document());
    cursor.movePosition(QTextCursor::End);
    cursor.setBlockFormat(QTextBlockFormat());
    cursor.insertText(text, QTextCharFormat());
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    ShowNewestEntry();
}

void CIMSessionWnd::ShowNewestEntry()
{
    QScrollBar* scroll = m_history->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    // Once the transcript no longer fits, typing goes on where the user types.
    if (scroll->maximum() > 0 && isActiveWindow())
        m_input->setFocus();
}

// --- what the library tells ---

HRESULT CIMSessionWnd::OnSessionStateChange(RTC_SESSION_STATE state)
{
    if (m_destroyed)
        return S_OK;
    bool canAdd = false;
    const bool enable = m_session && SUCCEEDED(m_session->get_CanAddParticipants(canAdd)) && canAdd;
    m_addParticipantAction->setEnabled(enable);
    return CSessionWnd::OnSessionStateChange(state);
}

CIMSessionWnd::SParticipantRow* CIMSessionWnd::FindRow(const RtcParticipantPtr& participant)
{
    const auto it = std::find_if(m_rows.begin(), m_rows.end(),
                                 [&](const SParticipantRow& row) { return row.participant == participant; });
    return it == m_rows.end() ? nullptr : &*it;
}

void CIMSessionWnd::RemoveRow(const RtcParticipantPtr& participant)
{
    const auto it = std::find_if(m_rows.begin(), m_rows.end(),
                                 [&](const SParticipantRow& row) { return row.participant == participant; });
    if (it == m_rows.end())
        return;
    delete it->item;
    m_rows.erase(it);
}

HRESULT CIMSessionWnd::OnParticipantStateChange(const RtcParticipantPtr& participant, RTC_PARTICIPANT_STATE state)
{
    if (!AcceptsNewsOf(participant))
        return E_POINTER;
    const QString name = PartyName(*participant, ENameFallback::DisplayNumber);
    SParticipantRow* row = FindRow(participant);
    if (!row) {
        auto* item = new QTreeWidgetItem(QStringList{name});
        m_participantList->addTopLevelItem(item);
        row = &m_rows.emplace_back(SParticipantRow{participant, item});
    } else {
        row->item->setText(0, name);
    }
    RTC_PARTICIPANT_STATE current;
    const HRESULT hr = participant->get_State(current);
    if (FAILED(hr)) {
        qCWarning(lcMessages) << "participant state unreadable:" << Qt::hex << hr;
        return hr;
    }
    const QString stateText = ParticipantStateText(current);
    if (!stateText.isNull())
        row->item->setText(1, stateText);

    if (state == RTCPS_CONNECTED)
        m_connectedParticipant = participant;
    // Each party has its own history: only one that never got through is "not online".
    const RTC_PARTICIPANT_STATE previous = std::exchange(row->previousState, state);
    if (state == RTCPS_DISCONNECTED && previous == RTCPS_PENDING)
        ShowNotOnlineAndClose();
    return S_OK;
}

void CIMSessionWnd::ShowNotOnlineAndClose()
{
    if (m_closing)
        return;
    m_closing = true;
    // The box does not wait: the window may be closed meanwhile (log off, exit), and
    // the box, its child, then goes with it.
    CMessageBox::Open(this, kNotOnlineMessage, [self = QPointer<CIMSessionWnd>(this)] {
        if (self)
            self->close();
    });
}

HRESULT CIMSessionWnd::OnMessage(const RtcParticipantPtr& participant, const QString&, const QString& text)
{
    if (!AcceptsNewsOf(participant))
        return E_POINTER;
    const QString from = PartyName(*participant, ENameFallback::DisplayNumber);
    const QString shown = NetworkText::MultiLine(text);
    AppendEntry(from, shown);
    ClearTypingLine();
    emit incomingMessage(from, shown);
    return S_OK;
}

HRESULT CIMSessionWnd::OnUserStatus(const RtcParticipantPtr& participant, RTC_MESSAGING_USER_STATUS status)
{
    if (!AcceptsNewsOf(participant))
        return E_POINTER;
    if (status != RTCMUS_TYPING) {
        ClearTypingLine();
        return S_OK;
    }
    const QString name = PartyName(*participant, ENameFallback::Address);
    m_statusBar->showMessage(kTypingFormat.arg(name).left(kMaxTypingLineLength));
    return S_OK;
}

void CIMSessionWnd::ClearTypingLine()
{
    m_statusBar->clearMessage();
    OnSessionStateChange(m_state);
}
