// Makes the windows that own sessions and asks the user about incoming calls;
// the main view installs it in the engine.
#pragma once

#include "engine/EngineViews.h"
#include "platform/desktop/DesktopNotifier.h"

#include <QPointer>

class CClientEngine;

class CSessionWindowFactory : public ISessionWindowFactory {
public:
    explicit CSessionWindowFactory(CClientEngine& engine);

    // An audio call window for the voice types. Other types get none: there is no
    // message window yet, and the engine then ends the session.
    CSessionWnd* CreateSessionWindow(RTC_SESSION_TYPE type) override;
    // Runs the prompt modally, owned by the main view.
    // Also tells the desktop, when the phone is not the active window.
    HRESULT ShowIncomingCallPrompt(const QString& callerName, const QString& callerUri, bool& accepted) override;

    // The desktop notifications of incoming calls and messages.
    CDesktopNotifier& Notifier() { return m_notifier; }

private:
    QPointer<CClientEngine> m_engine;
    CDesktopNotifier m_notifier;
};
