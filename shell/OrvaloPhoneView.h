// The main view: the status line, the status chooser and the coloured tabs with
// the "Buddy List", "Phone View" and "Call Logs" pages. It owns the engine and the
// away timer, routes every command of menu 101, and is the main window the engine
// drives.
#pragma once

#include "engine/ClientEngine.h"
#include "engine/EngineViews.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

class CBuddyListPage;
class CCallLogPage;
class CColorTabCtrl;
class CDialPadPage;
class CMainMenu;
class CSessionWindowFactory;
class CWatchersWindows;
class QComboBox;
class QLabel;
class QLineEdit;

class COrvaloPhoneView : public QWidget, public IMainWindowDisplay {
    Q_OBJECT
public:
    static constexpr int kAwayTimerId = 3;
    static constexpr int kAwayTimerPeriodMs = 180000;
    static constexpr int kStatusLineId = 1001;
    static constexpr int kTabCtrlId = 1000;
    static constexpr int kStatusChooserId = 1054;
    static constexpr int kChooserHeight = 20;
    static constexpr int kTabTop = 36; // the band above holds the status line and the chooser
    enum EPage { kBuddyPage = 0, kPhoneViewPage = 1, kCallLogsPage = 2, kPageCount = 3 };
    static inline const QString kNotLoggedIn = QStringLiteral("(You are not logged in)");

    // Builds the tab control and the three pages; the engine starts in StartEngine.
    COrvaloPhoneView(RtcClientFactory factory, CMainMenu& menu, QLabel& statusPane, QWidget* parent = nullptr);
    ~COrvaloPhoneView() override;

    // Sets up tabs, chooser and status line: the logged-off window, without the engine.
    void OnInitialUpdate();
    // Starts the engine and reads the volumes from it; false when it cannot start.
    bool StartEngine();
    // The last step of start-up: the automatic logon or the logon dialog.
    void StartUp();

    void OnCommand(int id);
    void OnTimer(int id);
    void LogOn();
    void LogOff();
    // Places a call to a service SIP URI, as the call prompt does after its check.
    void PlaceCall(const QString& address);

    CClientEngine* Engine() const { return m_engine; }
    CColorTabCtrl* TabCtrl() const { return m_tabs; }
    QComboBox* StatusChooser() const { return m_chooser; }
    QLineEdit* StatusLineEdit() const { return m_statusLine; }
    QWidget* Page(int index) const { return m_pages.at(index); }
    CBuddyListPage* BuddyPage() const { return m_buddyPage; }
    CDialPadPage* DialPad() const { return m_dialPad; }
    CCallLogPage* CallLog() const { return m_callLog; }
    const QTimer& AwayTimer() const { return m_awayTimer; }
    CWatchersWindows* WatchersWindows() const { return m_watchersWindows.get(); }

    // --- IMainWindowDisplay ---
    QWidget* OwnerWindow() override { return this; }
    void SetStatusBarText(const QString& text) override;
    void SetStatusLine(const QString& text) override;
    void SetMenuItemText(int id, const QString& text) override;
    void EnableMenuItem(int id, bool enabled) override;
    void EnableActionAndToolsMenus(bool enabled) override;
    void EnablePresenceSubmenu(bool enabled) override;
    void CheckStatusItem(int status) override;
    void RedrawMenuBar() override;
    void SelectStatusChooser(int index) override;
    void EnableTabsAndChooser(bool enabled) override;
    void ShowAddBuddyLink(bool shown) override;
    void ReloadCallLog() override;
    void ClearCallLogList() override;
    void StartAwayTimer() override;
    void StopAwayTimer() override;
    void RunLogOn() override;
    void ShowStatusMessage(const QString& text) override;
    void ResetPhoneDisplay() override;
    void ShowCallTime(int seconds) override;
    void ShowCallQuality(int level) override;
    void SetDialedNumber(const QString& number) override;
    void SelectPhoneView() override;
    void SetVolumeSlider(RTC_AUDIO_DEVICE device, bool enabled, int position) override;
    int VolumeSliderPosition(RTC_AUDIO_DEVICE device) const override;
    bool IsHoldChecked() const override;
    bool IsMuteChecked() const override;
    void AddCallLogEntry(const QString& uri, const QString& name, int callType) override;

signals:
    // "E&xit": the frame closes at once.
    void exitRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpTabs();
    void SetUpStatusChooser();
    void SetUpStatusLine();
    void ReadVolumes();
    void OnChildCommand();
    void OnTabChanged(int index);
    void PlaceCurrentPage();
    void PromptAndCall();
    void PromptAndMessage();
    void PromptAndAddBuddy();
    void PromptAndAddGroup();

    RtcClientFactory m_clientFactory;
    CMainMenu& m_menu;
    QLabel& m_statusPane;

    QLineEdit* m_statusLine;
    QComboBox* m_chooser;
    CColorTabCtrl* m_tabs;
    CBuddyListPage* m_buddyPage;
    CDialPadPage* m_dialPad;
    CCallLogPage* m_callLog;
    std::array<QWidget*, kPageCount> m_pages{};
    int m_currentPage = kBuddyPage;

    QTimer m_awayTimer;
    QPointer<CClientEngine> m_engine;
    std::unique_ptr<CSessionWindowFactory> m_sessionWindows;
    std::unique_ptr<CWatchersWindows> m_watchersWindows;
    bool m_logonDialogOpen = false;
};
