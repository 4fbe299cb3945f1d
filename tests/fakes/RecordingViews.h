// Recording implementations of what the engine drives, for logic tests: each
// keeps the state a user would see and a log of the calls in order.
#pragma once

#include "engine/EngineViews.h"

#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

class RecordingDisplay : public IMainWindowDisplay {
public:
    QWidget* OwnerWindow() override { return owner; }
    void SetStatusBarText(const QString& text) override
    {
        statusBar = text;
        log << "statusBar:" + text;
    }
    void SetStatusLine(const QString& text) override
    {
        statusLine = text;
        log << "statusLine:" + text;
    }
    void SetMenuItemText(int id, const QString& text) override { menuText[id] = text; }
    void EnableMenuItem(int id, bool enabled) override { menuEnabled[id] = enabled; }
    void EnableActionAndToolsMenus(bool enabled) override { actionAndToolsEnabled = enabled; }
    void EnablePresenceSubmenu(bool enabled) override { presenceSubmenuEnabled = enabled; }
    void CheckStatusItem(int status) override { checkedStatus = status; }
    void RedrawMenuBar() override { ++menuRedraws; }
    void SelectStatusChooser(int index) override
    {
        chooser = index;
        log << QStringLiteral("chooser:%1").arg(index);
    }
    void EnableTabsAndChooser(bool enabled) override { tabsEnabled = enabled; }
    void ShowAddBuddyLink(bool shown) override { addBuddyLinkShown = shown; }
    void ReloadCallLog() override { ++callLogReloads; }
    void ClearCallLogList() override { ++callLogClears; }
    void StartAwayTimer() override
    {
        awayTimerRunning = true;
        ++awayTimerStarts;
        log << "awayTimer:start";
    }
    void StopAwayTimer() override
    {
        awayTimerRunning = false;
        log << "awayTimer:stop";
    }
    void RunLogOn() override { ++logOnRuns; }
    void ShowStatusMessage(const QString& text) override
    {
        statusMessages << text;
        statusBar = text;
    }
    void ResetPhoneDisplay() override { log << "resetPhoneDisplay"; }
    void ShowCallTime(int seconds) override { callTimes << seconds; }
    void ShowCallQuality(int level) override { qualities << level; }
    void SetDialedNumber(const QString& number) override { dialedNumber = number; }
    void SelectPhoneView() override { ++phoneViewSelections; }
    void SetVolumeSlider(RTC_AUDIO_DEVICE device, bool enabled, int position) override
    {
        sliderEnabled[device] = enabled;
        sliderPosition[device] = position;
    }
    int VolumeSliderPosition(RTC_AUDIO_DEVICE device) const override { return sliderPosition.value(device); }
    bool IsHoldChecked() const override { return holdChecked; }
    bool IsMuteChecked() const override { return muteChecked; }
    void AddCallLogEntry(const QString& uri, const QString& name, int callType) override
    {
        callLog << QStringLiteral("%1|%2|%3").arg(uri, name).arg(callType);
    }

    QPointer<QWidget> owner; // owns message boxes and prompts when set
    QStringList log;
    QString statusBar;
    QString statusLine;
    QMap<int, QString> menuText;
    QMap<int, bool> menuEnabled;
    bool actionAndToolsEnabled = false;
    bool presenceSubmenuEnabled = false;
    int checkedStatus = -1;
    int menuRedraws = 0;
    int chooser = -1;
    bool tabsEnabled = false;
    bool addBuddyLinkShown = false;
    int callLogReloads = 0;
    int callLogClears = 0;
    bool awayTimerRunning = false;
    int awayTimerStarts = 0;
    int logOnRuns = 0;
    QStringList statusMessages;
    QList<int> callTimes;
    QList<int> qualities;
    QString dialedNumber;
    int phoneViewSelections = 0;
    QMap<int, bool> sliderEnabled;
    QMap<int, int> sliderPosition;
    bool holdChecked = false;
    bool muteChecked = false;
    QStringList callLog; // "uri|name|type"
};

class RecordingBuddyList : public IBuddyListView {
public:
    void DeleteAllItems() override { log << "DeleteAllItems"; }
    void InsertBuddiesRoot() override { log << "InsertBuddiesRoot"; }
    void ClearBuddyItems() override { log << "ClearBuddyItems"; }
    CBuddyTreeItem* BuddiesRoot() const override { return nullptr; }
    CBuddyTreeItem* FindBuddyItem(const RtcBuddyPtr&) const override { return nullptr; }
    CBuddyTreeItem* FindGroupItem(const RtcGroupPtr&) const override { return nullptr; }
    CBuddyTreeItem* InsertGroupItem(const QString&, const RtcGroupPtr&) override { return record("InsertGroupItem"); }
    CBuddyTreeItem* InsertBuddyItem(CBuddyTreeItem*, const QString&, const RtcBuddyPtr&) override
    {
        return record("InsertBuddyItem");
    }
    void InsertDeviceItem(CBuddyTreeItem*, const QString&) override { log << "InsertDeviceItem"; }
    void SetItem(CBuddyTreeItem*, const QString&, int) override { log << "SetItem"; }
    CBuddyTreeItem* MoveItem(CBuddyTreeItem*, CBuddyTreeItem*) override { return record("MoveItem"); }
    void DeleteItem(CBuddyTreeItem*) override { log << "DeleteItem"; }
    void ExpandItem(CBuddyTreeItem*) override { log << "ExpandItem"; }
    void EnsureVisible(CBuddyTreeItem*) override { log << "EnsureVisible"; }
    void RepaintNow() override { log << "RepaintNow"; }

    QStringList log;

private:
    CBuddyTreeItem* record(const char* op)
    {
        log << QLatin1String(op);
        return nullptr;
    }
};

class RecordingWatchers : public IWatchersView {
public:
    HRESULT OpenWatchersWindow() override
    {
        log << "Open";
        return S_OK;
    }
    void CloseAllWatchersWindows() override { log << "CloseAll"; }
    void OnWatcherEvent(const RtcWatcherPtr&, RTC_WATCHER_EVENT_TYPE type, HRESULT) override
    {
        log << QStringLiteral("OnWatcherEvent:%1").arg(type);
    }
    // Logs "Prompt:name|uri" and answers with `answer`, which may act meanwhile as the
    // event loop of a modal prompt would.
    std::optional<SWatcherAnswer> PromptForWatcher(const QString& name, const QString& uri) override
    {
        log << QStringLiteral("Prompt:%1|%2").arg(name, uri);
        return answer ? answer(name, uri) : std::nullopt;
    }

    QStringList log;
    std::function<std::optional<SWatcherAnswer>(const QString& name, const QString& uri)> answer;
};
