// The phone in the desktop's tray, where the desktop has one: the icon shows the
// user's presence, its menu offers the presence statuses, Log On, Log Off and
// Exit (the main menu's own commands), and a click brings the main window
// forward. It never keeps the program alive: closing the main window ends it.
#pragma once

#include <QMenu>
#include <QSystemTrayIcon>

class CMainMenu;

class CTrayIcon : public QSystemTrayIcon {
    Q_OBJECT
public:
    // Shown at once; its parent is the main window, so it goes with it.
    CTrayIcon(CMainMenu& menu, QWidget& mainWindow);

    // A tray icon for the main window, or null where the desktop has no tray.
    static CTrayIcon* CreateIfAvailable(CMainMenu& menu, QWidget& mainWindow);

private:
    void ShowStatus();

    CMainMenu& m_menu;
    QWidget& m_mainWindow;
    QMenu m_trayMenu;
};
