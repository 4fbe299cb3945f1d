// The main window: a fixed-size frame around the main view, with menu 101 and a
// one-pane status bar. Closing it logs off, hides it and ends the program a second
// later; a second close request on the way closes at once.
#pragma once

#include "StatusPane.h"
#include "engine/ClientEngine.h"

#include <QMainWindow>
#include <QTimer>

class CMainMenu;
class COrvaloPhoneView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kStatusBarId = 59393;
    static constexpr int kCloseTimerId = 7;
    static constexpr int kCloseDelayMs = 1000;
    static inline const QString kTitle = QStringLiteral("Orvalo Phone");

    explicit CMainFrame(const RtcClientFactory& factory);

    // Finishes the view, logged off; the engine starts in StartEngine.
    void Create();
    // Starts the engine; false when it cannot start.
    bool StartEngine();
    // "E&xit": log off and close now, without the delay.
    void ExitNow();

    COrvaloPhoneView* View() const { return m_view; }
    CMainMenu* Menu() const { return m_menu; }
    CStatusPane* StatusPane() const { return m_statusPane; }
    bool IsCloseDelayRunning() const { return m_closeTimer.isActive(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CMainMenu* m_menu;
    CStatusPane* m_statusPane;
    COrvaloPhoneView* m_view;
    QTimer m_closeTimer;
};
