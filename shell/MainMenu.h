// Menu 101 of the main window: every command keeps its id as the action's data,
// and choosing an item reports that id.
#pragma once

#include <QObject>

#include <map>

class QAction;
class QMenu;
class QMenuBar;

// Command ids of menu 101 (Log On and Log Off are in engine/EngineViews.h).
inline constexpr int ID_EXIT = 40003;
inline constexpr int ID_CALL = 40005;
inline constexpr int ID_MESSAGE = 40006;
inline constexpr int ID_TUNING_WIZARD = 40007;
inline constexpr int ID_RECHARGE_ACCOUNT = 32800;
inline constexpr int ID_ADD_BUDDY = 32787;
inline constexpr int ID_ADD_GROUP = 32823;
inline constexpr int ID_WATCHERS = 110;
inline constexpr int ID_PRIVACY_POLICY = 32771;
inline constexpr int ID_TERMS_OF_USE = 32772;
inline constexpr int ID_ABOUT = 32791;

class CMainMenu : public QObject {
    Q_OBJECT
public:
    // Fills the bar with "&File", "&Action", "&Tools" and "&Help", in the logged-off state.
    explicit CMainMenu(QMenuBar& bar);

    QAction* Action(int id) const; // null for an unknown id
    QMenu* FileMenu() const { return m_file; }
    QMenu* PresenceMenu() const { return m_presence; }
    QMenu* ActionMenu() const { return m_action; }
    QMenu* ToolsMenu() const { return m_tools; }
    QMenu* HelpMenu() const { return m_help; }

    // The text is shown as it is: an "&" is a plain character, never a mnemonic.
    void SetItemText(int id, const QString& text);
    void EnableItem(int id, bool enabled);
    void EnableActionAndTools(bool enabled);
    void EnablePresenceSubmenu(bool enabled);
    void CheckStatusItem(int status);
    void Redraw();

signals:
    void command(int id);

private:
    QAction* AddItem(QMenu& menu, int id, const QString& text);

    QMenuBar& m_bar;
    QMenu* m_file;
    QMenu* m_presence;
    QMenu* m_action;
    QMenu* m_tools;
    QMenu* m_help;
    std::map<int, QAction*> m_actions;
};
