// The open watchers windows of the main view and the "Incoming Watcher" prompt:
// what the engine drives as its watchers view.
#pragma once

#include "WatchersWnd.h"
#include "engine/EngineViews.h"

#include <QList>
#include <QPointer>

class CClientEngine;

class CWatchersWindows : public IWatchersView {
public:
    // The windows and the prompt are owned by `owner`, the main view.
    CWatchersWindows(CClientEngine& engine, QWidget& owner, CWatchersWnd::AddressPrompt addressPrompt);

    HRESULT OpenWatchersWindow() override;
    void CloseAllWatchersWindows() override;
    void OnWatcherEvent(const RtcWatcherPtr& watcher, RTC_WATCHER_EVENT_TYPE type, HRESULT statusCode) override;
    std::optional<SWatcherAnswer> PromptForWatcher(const QString& name, const QString& uri) override;

    // The windows still open, oldest first.
    QList<CWatchersWnd*> Windows() const;

private:
    CClientEngine& m_engine;
    QWidget& m_owner;
    CWatchersWnd::AddressPrompt m_addressPrompt;
    QList<QPointer<CWatchersWnd>> m_windows; // a closed window leaves a null entry
};
