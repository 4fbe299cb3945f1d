// A watchers window (class RTCWAT): everyone who watches, or asked to watch, the
// user's presence, with the user's decision about each, and the commands that
// change those decisions. Any number may be open; each keeps the client alive.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <QWidget>

#include <functional>

class QListWidget;
class QListWidgetItem;

class CWatchersWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMenuId = 109;
    static constexpr int kContextMenuId = 110;
    static constexpr int kListId = 2013;
    static constexpr int kExitCommand = 40003;
    static constexpr int kAddWatcherCommand = 40028;
    static constexpr int kAllowCommand = 40029;
    static constexpr int kBlockCommand = 40030;
    static constexpr int kDenyCommand = 40031;
    static constexpr int kPromptCommand = 40032;
    static constexpr int kRemoveCommand = 40033;
    static constexpr int kWidth = 250;
    static constexpr int kHeight = 300;
    static constexpr int kListMargin = 5;

    // Asks for a number and gives its address: the main view's PromptForAddress.
    using AddressPrompt = std::function<HRESULT(QWidget* owner, const QString& title, QString* address)>;

    // The window fills its list from the library once the event loop runs.
    CWatchersWnd(RtcClientPtr client, AddressPrompt addressPrompt, QWidget* owner);

    QListWidget* List() const { return m_list; }
    // The item that shows the watcher, or null.
    QListWidgetItem* ItemFor(const RtcWatcherPtr& watcher) const;
    RtcWatcherPtr WatcherOf(const QListWidgetItem* item) const;

    HRESULT ShowWatcher(const RtcWatcherPtr& watcher);
    void RemoveWatcherItem(const RtcWatcherPtr& watcher);
    void OnWatcherEvent(const RtcWatcherPtr& watcher, RTC_WATCHER_EVENT_TYPE type, HRESULT statusCode);

    // A command of menu 109, and one of the context menu 110 for a watcher.
    void OnCommand(int command);
    void OnWatcherCommand(int command, const RtcWatcherPtr& watcher);
    // Closes the window from the event loop.
    void PostClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillList();
    void AddWatcher();
    void ShowContextMenu(const RtcWatcherPtr& watcher, const QPoint& globalPosition);

    RtcClientPtr m_client;
    AddressPrompt m_addressPrompt;
    QListWidget* m_list;
};
