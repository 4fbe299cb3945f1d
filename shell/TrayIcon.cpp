#include "TrayIcon.h"

#include "MainMenu.h"
#include "engine/EngineViews.h"
#include "engine/PresenceStatus.h"
#include "platform/desktop/BringForward.h"
#include "resources/ResourceIds.h"

#include <QAction>

namespace {
const QString kName = QStringLiteral("Orvalo Phone");
}

CTrayIcon::CTrayIcon(CMainMenu& menu, QWidget& mainWindow)
    : QSystemTrayIcon(&mainWindow), m_menu(menu), m_mainWindow(mainWindow)
{
    // The main menu's actions themselves, so that they are enabled and checked alike.
    m_trayMenu.addMenu(m_menu.PresenceMenu());
    m_trayMenu.addSeparator();
    m_trayMenu.addAction(m_menu.Action(ID_LOG_ON));
    m_trayMenu.addAction(m_menu.Action(ID_LOG_OFF));
    m_trayMenu.addSeparator();
    m_trayMenu.addAction(m_menu.Action(ID_EXIT));
    setContextMenu(&m_trayMenu);

    for (int status = 0; status < kStatusCount; ++status)
        connect(m_menu.Action(StatusCommandFor(status)), &QAction::toggled, this, &CTrayIcon::ShowStatus);
    connect(m_menu.Action(ID_LOG_OFF), &QAction::changed, this, &CTrayIcon::ShowStatus);
    connect(this, &QSystemTrayIcon::activated, this, [this](ActivationReason reason) {
        if (reason == Trigger || reason == DoubleClick)
            BringForward(m_mainWindow);
    });
    ShowStatus();
    show();
}

CTrayIcon* CTrayIcon::CreateIfAvailable(CMainMenu& menu, QWidget& mainWindow)
{
    return isSystemTrayAvailable() ? new CTrayIcon(menu, mainWindow) : nullptr;
}

// Log Off is enabled exactly while the user is logged on; the checked status item is the presence.
void CTrayIcon::ShowStatus()
{
    const bool loggedOn = m_menu.Action(ID_LOG_OFF)->isEnabled();
    for (int status = 0; loggedOn && status < kStatusCount; ++status) {
        if (!m_menu.Action(StatusCommandFor(status))->isChecked())
            continue;
        const PresenceStatusInfo* info = PresenceStatusFor(status);
        setIcon(Resources::StatusIcon(info->icon));
        setToolTip(kName + QStringLiteral(": ") + QString::fromUtf8(info->chooserText));
        return;
    }
    setIcon(Resources::AppIcon());
    setToolTip(kName);
}
