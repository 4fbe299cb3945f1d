// The right-click menus of the buddy tree: menu 107 on a buddy, menu 112 on a group,
// and what each of their commands does.
#pragma once

#include "engine/ClientEngine.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class CBuddyTreeCtrl;
class CBuddyTreeItem;
class QAction;
class QMenu;

// Commands of the buddy menu (107).
inline constexpr int ID_BUDDY_CALL = 40008;
inline constexpr int ID_BUDDY_MESSAGE = 40009;
inline constexpr int ID_BUDDY_UPDATE = 40020;
inline constexpr int ID_BUDDY_REMOVE = 40010;
inline constexpr int ID_BUDDY_VIEW_PROFILE = 112;
inline constexpr int ID_BUDDY_REMOVE_FROM_GROUP = 40040;
inline constexpr int ID_BUDDY_ADD_BUDDY = 32803;
// Commands of the group menu (112).
inline constexpr int ID_GROUP_REMOVE = 40036;
inline constexpr int ID_GROUP_ADD_BUDDY = 40039;
inline constexpr int ID_GROUP_REMOVE_BUDDY = 40040;

class CBuddyMenus : public QObject {
    Q_OBJECT
public:
    // Shows the menu at the point and returns the chosen action (null: none).
    using Chooser = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;
    // Asks for a number under the title; S_OK with its SIP URI, a failure when cancelled.
    using AddressPrompt = std::function<HRESULT(QWidget* owner, const QString& title, QString& uri)>;

    CBuddyMenus(CBuddyTreeCtrl& tree, AddressPrompt prompt, QObject* parent = nullptr);
    void SetEngine(CClientEngine* engine) { m_engine = engine; }

    // Right-click on a row: the buddy menu on a buddy, the group menu on a group.
    void ShowMenuFor(CBuddyTreeItem* item, const QPoint& globalPos);

    static std::unique_ptr<QMenu> MakeBuddyMenu(bool online, bool inDefaultGroup);
    static std::unique_ptr<QMenu> MakeGroupMenu();
    // Replaces the user's choice (null restores the real menu).
    static void SetChooser(Chooser chooser);

signals:
    // "Add a Buddy...": the main view runs its Add Buddy command.
    void addBuddyRequested();

private:
    void ShowBuddyMenu(const CBuddyTreeItem& item, const QPoint& globalPos);
    void ShowGroupMenu(const CBuddyTreeItem& item, const QPoint& globalPos);
    void RunBuddyCommand(int command, const RtcBuddyPtr& buddy, const RtcGroupPtr& group);
    void RunGroupCommand(int command, const RtcGroupPtr& group);
    QWidget* Owner() const;

    CBuddyTreeCtrl& m_tree;
    AddressPrompt m_prompt;
    QPointer<CClientEngine> m_engine;
};
