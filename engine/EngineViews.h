// What the engine drives outside itself. The main view, the buddy list and the
// watchers windows implement these; tests use recording implementations.
#pragma once

#include "platform/rtc/RtcEvents.h"

#include <QString>

#include <optional>

class QWidget;
class CSessionWnd;

// Menu commands and control ids the engine refers to.
inline constexpr int ID_LOG_ON = 40001;
inline constexpr int ID_LOG_OFF = 40002;

// The main window as the engine sees it: its status texts, menus, chooser and tabs.
class IMainWindowDisplay {
public:
    virtual ~IMainWindowDisplay() = default;

    virtual QWidget* OwnerWindow() = 0; // owner of message boxes, prompts and the tuning dialog

    virtual void SetStatusBarText(const QString& text) = 0; // repainted at once
    virtual void SetStatusLine(const QString& text) = 0;
    virtual void SetMenuItemText(int id, const QString& text) = 0;
    virtual void EnableMenuItem(int id, bool enabled) = 0;
    virtual void EnableActionAndToolsMenus(bool enabled) = 0;
    virtual void EnablePresenceSubmenu(bool enabled) = 0;
    virtual void CheckStatusItem(int status) = 0; // the one radio item among the eight status commands
    virtual void RedrawMenuBar() = 0;
    virtual void SelectStatusChooser(int index) = 0;
    virtual void EnableTabsAndChooser(bool enabled) = 0;
    virtual void ShowAddBuddyLink(bool shown) = 0;

    virtual void ReloadCallLog() = 0;
    virtual void ClearCallLogList() = 0; // empty, with one placeholder row

    virtual void StartAwayTimer() = 0; // (re)starts the three minutes
    virtual void StopAwayTimer() = 0;

    // Runs the Log On command (the logon dialog), after the current event is handled.
    virtual void RunLogOn() = 0;

    // --- the "Phone View" page, as calls use it ---
    // The date and time, "\r\r\n" and the text in the call status box; the text in the status bar.
    virtual void ShowStatusMessage(const QString& text) = 0;
    virtual void ResetPhoneDisplay() = 0;
    virtual void ShowCallTime(int seconds) = 0; // also restarts the away timer
    virtual void ShowCallQuality(int level) = 0;
    virtual void SetDialedNumber(const QString& number) = 0; // the dial pad's number entry
    virtual void SelectPhoneView() = 0;                      // the "Phone View" tab, repainted at once
    // The volume sliders run inverted: position = 65535 - volume.
    virtual void SetVolumeSlider(RTC_AUDIO_DEVICE device, bool enabled, int position) = 0;
    virtual int VolumeSliderPosition(RTC_AUDIO_DEVICE device) const = 0;
    virtual bool IsHoldChecked() const = 0;
    virtual bool IsMuteChecked() const = 0;

    // Writes one call log record (0 placed, 1 answered, 2 missed) and refreshes the list.
    virtual void AddCallLogEntry(const QString& uri, const QString& name, int callType) = 0;
};

// A row of the buddy tree (presence/); the engine only passes it around.
class CBuddyTreeItem;

// The buddy tree of the buddy page: groups at the top, their buddies below and each
// buddy's devices below that. A row that shows a buddy or a group holds its own
// reference to it. Operations on a null row do nothing.
class IBuddyListView {
public:
    virtual ~IBuddyListView() = default;
    virtual void DeleteAllItems() = 0;    // every item, top level included
    virtual void InsertBuddiesRoot() = 0; // the default group "Buddies"
    virtual void ClearBuddyItems() = 0;   // every buddy item; group items stay
    virtual CBuddyTreeItem* BuddiesRoot() const = 0;
    virtual CBuddyTreeItem* FindBuddyItem(const RtcBuddyPtr& buddy) const = 0; // first in tree order
    virtual CBuddyTreeItem* FindGroupItem(const RtcGroupPtr& group) const = 0;
    virtual CBuddyTreeItem* InsertGroupItem(const QString& name, const RtcGroupPtr& group) = 0; // last, group icon
    // Sorted by text under the parent, with the offline icon until the next update.
    virtual CBuddyTreeItem* InsertBuddyItem(CBuddyTreeItem* parent, const QString& text, const RtcBuddyPtr& buddy) = 0;
    virtual void InsertDeviceItem(CBuddyTreeItem* buddyItem, const QString& text) = 0; // sorted, no icon
    virtual void SetItem(CBuddyTreeItem* item, const QString& text, int icon) = 0;
    // A copy of the row (text, icon and what it holds) last under the new parent; the old row goes.
    virtual CBuddyTreeItem* MoveItem(CBuddyTreeItem* item, CBuddyTreeItem* newParent) = 0;
    virtual void DeleteItem(CBuddyTreeItem* item) = 0;
    virtual void ExpandItem(CBuddyTreeItem* item) = 0;
    virtual void EnsureVisible(CBuddyTreeItem* item) = 0; // scrolls and expands its parent
    virtual void RepaintNow() = 0;
};

// The user's answer to the "Incoming Watcher" prompt.
struct SWatcherAnswer {
    bool allow = true;
    bool addAsBuddy = false;
};

// The open watchers windows and the answer to new watchers.
class IWatchersView {
public:
    virtual ~IWatchersView() = default;
    virtual HRESULT OpenWatchersWindow() = 0;
    virtual void CloseAllWatchersWindows() = 0; // each closes later, from the event loop
    // Tells every open watchers window.
    virtual void OnWatcherEvent(const RtcWatcherPtr& watcher, RTC_WATCHER_EVENT_TYPE type, HRESULT statusCode) = 0;
    // The modal "Incoming Watcher" prompt, owned by the main view; nothing when cancelled.
    virtual std::optional<SWatcherAnswer> PromptForWatcher(const QString& name, const QString& uri) = 0;
};

// Makes the windows that own sessions, and asks the user about an incoming call.
class ISessionWindowFactory {
public:
    virtual ~ISessionWindowFactory() = default;
    // A new window for a session of this type: an audio call window for the two
    // voice types, a message window otherwise. Null when it cannot be made.
    virtual CSessionWnd* CreateSessionWindow(RTC_SESSION_TYPE type) = 0;
    // The modal "Incoming Call" prompt. S_OK with `accepted` set when it ended
    // normally; a failure (accepted untouched) when it could not be shown.
    virtual HRESULT ShowIncomingCallPrompt(const QString& callerName, const QString& callerUri, bool& accepted) = 0;
};
