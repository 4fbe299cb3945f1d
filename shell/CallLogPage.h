// The "Call Logs" page: the last twenty placed, answered and missed calls of the
// logged-on user, read from the user's call log file, with a context menu to call
// or message a party again or to clear the log.
#pragma once

#include "controls/BitmapPage.h"

#include <QString>

class CSortListCtrl;
class IMainWindowDisplay;
class QMenu;

class CCallLogPage : public CBitmapPage {
    Q_OBJECT
public:
    static constexpr int kListId = 1008;
    static constexpr int kCallCommand = 32810;
    static constexpr int kMessageCommand = 32811;
    static constexpr int kClearLogCommand = 32818;
    static inline const QString kColumnSpec = QStringLiteral("User/URI,85;URI,0;Date/Time,100;Call Type,80");
    enum EColumn { kNameColumn = 0, kUriColumn = 1, kDateTimeColumn = 2, kCallTypeColumn = 3 };
    // The row value that marks the one row an empty log shows.
    static constexpr int kPlaceholderValue = 1;

    explicit CCallLogPage(IMainWindowDisplay& display, QWidget* parent = nullptr);

    // Writes one record (0 placed, 1 answered, 2 missed) and reloads the list.
    // Without a logged-on user there is no log and nothing is written.
    void AddEntry(const QString& uri, const QString& name, int callType);
    // Fills the list from the file; never creates the file.
    void Reload();
    // An empty list with its placeholder row.
    void ShowPlaceholderOnly();
    // Log off: unless the password is remembered, deletes the log of the user last
    // logged on (whether or not the profile is still held) and reloads the list.
    void ClearForLogOff();
    // The log file of the logged-on user; empty when nobody is logged on.
    static QString GetCallLogPath();

    CSortListCtrl* List() const { return m_list; }
    // Runs a context menu command on the selected row.
    void RunCommand(int command);

protected:
    // Shows the menu at the given point and returns the chosen command, or 0.
    virtual int ChooseCommand(QMenu& menu, const QPoint& globalPos);
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnContextMenu(const QPoint& position);
    void AddPlaceholderRow();
    int SelectedRow() const;
    bool SelectedParty(QString& uri, QString& name) const;
    void CallSelected();
    void MessageSelected();
    void ClearLog();
    void DeleteLogFile(const QString& path);
    QString CurrentLogPath();
    void ShowFileError(const QString& path, const QString& error);

    IMainWindowDisplay& m_display;
    CSortListCtrl* m_list;
    QString m_lastLogPath; // the log of the user last logged on, kept for log off
};
