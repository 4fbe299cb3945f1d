#include "CallLogPage.h"

#include "CallLogFile.h"
#include "CallLogRecord.h"
#include "controls/SortListCtrl.h"
#include "engine/AddressRules.h"
#include "engine/ClientEngine.h"
#include "engine/EngineViews.h"
#include "engine/MessageBox.h"
#include "engine/ProcessGlobals.h"
#include "engine/SettingsStore.h"
#include "resources/ResourceIds.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>

namespace {
const QString kCallingSuffix = QStringLiteral("\r\r\nCalling...");
const QString kMemberPrefix = QStringLiteral("999");

// As large as the dial pad page, so that switching tabs keeps the window's look.
constexpr int kPageWidth = 293;
constexpr int kPageHeight = 367;

// Keeps only characters that are safe in a file name on every system.
QString SafeFileName(const QString& text)
{
    QString name = text;
    for (QChar& c : name) {
        const bool safe =
            (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'+' || c == u'_';
        if (!safe) {
            c = u'_';
        }
    }
    return name;
}
} // namespace

CCallLogPage::CCallLogPage(IMainWindowDisplay& display, QWidget* parent)
    : CBitmapPage(parent), m_display(display), m_list(new CSortListCtrl(this))
{
    resize(kPageWidth, kPageHeight);
    m_list->setObjectName(QString::number(kListId));
    m_list->setAccessibleName(QStringLiteral("Call Logs"));
    // Rows are kept in descending order of their first column as they are added.
    m_list->SetInsertOrder(CSortListCtrl::EInsertOrder::Descending);
    m_list->SetSelectionAlwaysShown(true);
    m_list->InsertColumns(kColumnSpec);
    m_list->RestoreColumnWidths();
    m_list->SetBackgroundBitmap(QString::fromLatin1(Resources::kListBackground134));
    m_list->setGeometry(rect());
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &CCallLogPage::OnContextMenu);
}

void CCallLogPage::resizeEvent(QResizeEvent* event)
{
    CBitmapPage::resizeEvent(event);
    m_list->setGeometry(rect());
}

QString CCallLogPage::GetCallLogPath()
{
    if (!g_pClientEngine || !g_pClientEngine->Profile()) {
        return QString();
    }
    QString user;
    if (FAILED(g_pClientEngine->GetLocalUserUri(user))) {
        return QString();
    }
    ToDisplayNumber(user);
    if (user.isEmpty()) {
        return QString();
    }
    return CallLogPath(CallLogFolder(), SafeFileName(user));
}

QString CCallLogPage::CurrentLogPath()
{
    const QString path = GetCallLogPath();
    if (!path.isEmpty()) {
        m_lastLogPath = path;
    }
    return path;
}

void CCallLogPage::ShowFileError(const QString& path, const QString& error)
{
    CMessageBox::Show(this, QStringLiteral("The call log %1 cannot be used:\n%2").arg(path, error));
}

void CCallLogPage::AddPlaceholderRow()
{
    const int row = m_list->AddRow(QStringList());
    m_list->SetRowValue(row, kPlaceholderValue);
}

void CCallLogPage::ShowPlaceholderOnly()
{
    m_list->DeleteAllRows();
    AddPlaceholderRow();
}

void CCallLogPage::Reload()
{
    const QString path = CurrentLogPath();
    const SCallLogContents contents = ReadCallLog(path);
    if (contents.state == ECallLogState::Failed) {
        // The rows shown so far stay: they are still the best the user has.
        ShowFileError(path, contents.error);
        return;
    }
    m_list->DeleteAllRows();
    // A sort the user chose lasts until the list is filled again.
    m_list->ClearSortColumn();
    if (contents.records.isEmpty()) {
        AddPlaceholderRow();
        return;
    }
    // Oldest first: of rows with the same first column, the newest ends on top.
    for (const QString& record : contents.records) {
        SCallLogFields fields = SplitCallLogRecord(record);
        if (fields.name.contains(u'@')) {
            ToDisplayNumber(fields.name);
        }
        m_list->AddRow({fields.name, fields.uri, fields.dateTime, fields.callType});
    }
}

void CCallLogPage::AddEntry(const QString& uri, const QString& name, int callType)
{
    const QString callTypeText = CallTypeText(callType);
    const QString path = CurrentLogPath();
    if (callTypeText.isEmpty() || path.isEmpty()) {
        return;
    }
    QString displayName = name;
    if (displayName.isEmpty()) {
        displayName = uri;
        ToDisplayNumber(displayName);
    }
    const SCallLogFields fields{displayName, uri, CallLogDateTime(QDateTime::currentDateTime()), callTypeText};
    const QString record = BuildCallLogRecord(fields);

    CCallLogFile file;
    if (!file.Open(path, CCallLogFile::EOpenMode::ReadWrite)) {
        ShowFileError(path, file.ErrorString());
        return;
    }
    // A failed write is not reported: it happens in the middle of placing or taking a call.
    file.Append(record);
    // The new call is listed at once, newest first, even if the reload below fails.
    if (m_list->RowCount() == 1 && m_list->GetRowValue(0) == kPlaceholderValue) {
        m_list->DeleteRow(0);
    }
    m_list->AddRow({fields.name, fields.uri, fields.dateTime, fields.callType});
    m_list->SortByColumn(kDateTimeColumn, false);
    file.Close();
    Reload();
}

void CCallLogPage::ClearForLogOff()
{
    if (CSettingsStore::IsFlagSet(QString::fromLatin1(kSettingRememberPassword))) {
        return;
    }
    const QString path = GetCallLogPath();
    DeleteLogFile(path.isEmpty() ? m_lastLogPath : path);
    Reload();
}

void CCallLogPage::DeleteLogFile(const QString& path)
{
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        return;
    }
    QFile file(path);
    if (!file.remove()) {
        ShowFileError(path, file.errorString());
    }
}

int CCallLogPage::SelectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.first());
}

bool CCallLogPage::SelectedParty(QString& uri, QString& name) const
{
    const int row = SelectedRow();
    if (row < 0) {
        return false;
    }
    uri = m_list->CellText(row, kUriColumn);
    name = m_list->CellText(row, kNameColumn);
    if (name == uri) {
        name.clear();
    }
    // A row without an address (the placeholder, a damaged record) reaches nobody.
    return !uri.isEmpty();
}

int CCallLogPage::ChooseCommand(QMenu& menu, const QPoint& globalPos)
{
    const QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

void CCallLogPage::OnContextMenu(const QPoint& position)
{
    if (SelectedRow() < 0) {
        return;
    }
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Call..."))->setData(kCallCommand);
    menu.addAction(QStringLiteral("&Message..."))->setData(kMessageCommand);
    menu.addAction(QStringLiteral("Clear Log"))->setData(kClearLogCommand);
    const QPointer<CCallLogPage> self(this);
    const int command = ChooseCommand(menu, m_list->viewport()->mapToGlobal(position));
    if (self && command != 0) {
        RunCommand(command);
    }
}

void CCallLogPage::RunCommand(int command)
{
    switch (command) {
    case kCallCommand: CallSelected(); break;
    case kMessageCommand: MessageSelected(); break;
    case kClearLogCommand: ClearLog(); break;
    default: break;
    }
}

void CCallLogPage::CallSelected()
{
    QString uri, name;
    if (!SelectedParty(uri, name)) {
        return;
    }
    QString number = uri;
    ToDisplayNumber(number);
    m_display.SelectPhoneView();
    m_display.SetDialedNumber(number);
    m_display.ShowStatusMessage(number + kCallingSuffix);
    const RTC_SESSION_TYPE type = number.startsWith(kMemberPrefix) ? RTCST_PC_TO_PC : RTCST_PC_TO_PHONE;
    if (g_pClientEngine) {
        g_pClientEngine->MakeCall(type, uri, name);
    }
}

void CCallLogPage::MessageSelected()
{
    QString uri, name;
    if (SelectedParty(uri, name) && g_pClientEngine) {
        g_pClientEngine->MakeCall(RTCST_MULTIPARTY_IM, uri, name);
    }
}

void CCallLogPage::ClearLog()
{
    DeleteLogFile(CurrentLogPath());
    Reload();
}
