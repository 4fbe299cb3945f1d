// Makes the windows that own sessions and asks the user about incoming calls;
// the main view installs it in the engine.
#pragma once

#include "IMSessionWnd.h"

#include "engine/EngineViews.h"
#include "platform/desktop/DesktopNotifier.h"

#include <QPointer>

class CClientEngine;

class CSessionWindowFactory : public ISessionWindowFactory {
public:
    // Message windows ask for new participants through `addressPrompt`.
    explicit CSessionWindowFactory(CClientEngine& engine, CIMSessionWnd::AddressPrompt addressPrompt = {});

    // An audio call window for the voice types (none while a call exists), a message
    // window, shown at once, for every other type.
    CSessionWnd* CreateSessionWindow(RTC_SESSION_TYPE type) override;
    // Runs the prompt modally, owned by the main view.
    // Also tells the desktop, when the phone is not the active window.
    HRESULT ShowIncomingCallPrompt(const QString& callerName, const QString& callerUri, bool& accepted) override;

    // The desktop notifications of incoming calls and messages.
    CDesktopNotifier& Notifier() { return m_notifier; }

private:
    QPointer<CClientEngine> m_engine;
    CDesktopNotifier m_notifier;
    CIMSessionWnd::AddressPrompt m_addressPrompt;
};
