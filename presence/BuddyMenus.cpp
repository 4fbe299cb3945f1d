#include "BuddyMenus.h"

#include "BuddyTreeCtrl.h"
#include "engine/ClientEngine.h"
#include "engine/MessageBox.h"

#include <QLoggingCategory>
#include <QMenu>

Q_LOGGING_CATEGORY(lcBuddyMenus, "orvalo.buddies")

namespace {
CBuddyMenus::Chooser g_chooser;

struct SMenuItem {
    int command;
    const char* text;
};
constexpr SMenuItem kBuddyMenu[] = {
    {ID_BUDDY_CALL, "&Call..."},
    {ID_BUDDY_MESSAGE, "&Message..."},
    {ID_BUDDY_UPDATE, "&Update Buddy"},
    {ID_BUDDY_REMOVE, "&Remove Buddy"},
    {ID_BUDDY_VIEW_PROFILE, "&View Profile..."},
    {ID_BUDDY_REMOVE_FROM_GROUP, "Remove from Group"},
    {ID_BUDDY_ADD_BUDDY, "Add a Buddy..."},
};
constexpr SMenuItem kGroupMenu[] = {
    {ID_GROUP_REMOVE, "&Remove Group"},
    {ID_GROUP_ADD_BUDDY, "&Add Buddy To Group"},
    {ID_GROUP_REMOVE_BUDDY, "Remove &Buddy From Group"},
};

template <std::size_t N> std::unique_ptr<QMenu> MakeMenu(const SMenuItem (&items)[N])
{
    auto menu = std::make_unique<QMenu>();
    for (const SMenuItem& item : items) {
        QAction* action = menu->addAction(QString::fromLatin1(item.text));
        action->setData(item.command);
        action->setObjectName(QString::number(item.command));
    }
    return menu;
}

void Grey(QMenu& menu, int command)
{
    for (QAction* action : menu.actions())
        if (action->data().toInt() == command)
            action->setEnabled(false);
}

// The command the user picked, or 0.
int Choose(QMenu& menu, const QPoint& globalPos)
{
    QAction* chosen = g_chooser ? g_chooser(menu, globalPos) : menu.exec(globalPos);
    return chosen && chosen->isEnabled() ? chosen->data().toInt() : 0;
}
} // namespace

CBuddyMenus::CBuddyMenus(CBuddyTreeCtrl& tree, AddressPrompt prompt, QObject* parent)
    : QObject(parent), m_tree(tree), m_prompt(std::move(prompt))
{
    connect(&m_tree, &CBuddyTreeCtrl::contextMenuRequested, this, &CBuddyMenus::ShowMenuFor);
}

void CBuddyMenus::SetChooser(Chooser chooser)
{
    g_chooser = std::move(chooser);
}

std::unique_ptr<QMenu> CBuddyMenus::MakeBuddyMenu(bool online, bool inDefaultGroup)
{
    std::unique_ptr<QMenu> menu = MakeMenu(kBuddyMenu);
    if (!online) {
        Grey(*menu, ID_BUDDY_CALL);
        Grey(*menu, ID_BUDDY_MESSAGE);
    }
    if (inDefaultGroup)
        Grey(*menu, ID_BUDDY_REMOVE_FROM_GROUP);
    return menu;
}

std::unique_ptr<QMenu> CBuddyMenus::MakeGroupMenu()
{
    return MakeMenu(kGroupMenu);
}

QWidget* CBuddyMenus::Owner() const
{
    return m_engine ? m_engine->Display().OwnerWindow() : nullptr;
}

void CBuddyMenus::ShowMenuFor(CBuddyTreeItem* item, const QPoint& globalPos)
{
    if (!item || !m_engine)
        return;
    if (!item->IsTopLevel() && item->m_buddy)
        ShowBuddyMenu(*item, globalPos);
    else if (item->IsTopLevel() && item->m_group)
        ShowGroupMenu(*item, globalPos);
}

void CBuddyMenus::ShowBuddyMenu(const CBuddyTreeItem& item, const QPoint& globalPos)
{
    // The row may go while the menu is open; what it showed stays held here.
    const RtcBuddyPtr buddy = item.m_buddy;
    const auto* parent = CBuddyTreeCtrl::ItemOf(item.parent());
    const RtcGroupPtr group = parent ? parent->m_group : nullptr;
    QString uri, name;
    if (FAILED(CClientEngine::GetBuddyAddress(buddy, uri, name))) {
        qCWarning(lcBuddyMenus) << "no menu for a buddy whose address cannot be read";
        return;
    }
    RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_OFFLINE;
    buddy->get_Status(status);
    const std::unique_ptr<QMenu> menu = MakeBuddyMenu(status == RTCXS_PRESENCE_ONLINE, !group);
    RunBuddyCommand(Choose(*menu, globalPos), buddy, group);
}

void CBuddyMenus::ShowGroupMenu(const CBuddyTreeItem& item, const QPoint& globalPos)
{
    const RtcGroupPtr group = item.m_group;
    const std::unique_ptr<QMenu> menu = MakeGroupMenu();
    RunGroupCommand(Choose(*menu, globalPos), group);
}

void CBuddyMenus::RunBuddyCommand(int command, const RtcBuddyPtr& buddy, const RtcGroupPtr& group)
{
    if (!m_engine)
        return;
    switch (command) {
    case ID_BUDDY_CALL: m_engine->CallBuddy(buddy); break;
    case ID_BUDDY_MESSAGE: m_engine->SendMessageToBuddy(buddy); break;
    case ID_BUDDY_UPDATE: m_engine->RefreshBuddy(buddy); break;
    case ID_BUDDY_REMOVE: {
        const QPointer<CClientEngine> engine = m_engine;
        const auto answer = CMessageBox::Show(Owner(), QStringLiteral("Are you sure you want to delete this buddy?"),
                                              QStringLiteral("Remove Buddy"), QMessageBox::Ok | QMessageBox::Cancel);
        if (answer == QMessageBox::Ok && engine && SUCCEEDED(engine->RemoveBuddy(buddy)))
            engine->RemoveBuddyItem(buddy);
        break;
    }
    case ID_BUDDY_VIEW_PROFILE: m_engine->ShowProfile(Owner(), buddy); break;
    case ID_BUDDY_REMOVE_FROM_GROUP:
        if (group) {
            group->RemoveBuddy(buddy);
            m_engine->RebuildBuddyList();
        }
        break;
    case ID_BUDDY_ADD_BUDDY: emit addBuddyRequested(); break;
    default: break;
    }
}

void CBuddyMenus::RunGroupCommand(int command, const RtcGroupPtr& group)
{
    if (!m_engine || !command)
        return;
    if (command == ID_GROUP_REMOVE) {
        if (SUCCEEDED(m_engine->RemoveGroup(group))) {
            m_tree.DeleteItem(m_tree.FindGroupItem(group));
            // Its buddies stay buddies: they show again under "Buddies" or their other groups.
            m_engine->RebuildBuddyList();
        }
        return;
    }
    const bool adding = command == ID_GROUP_ADD_BUDDY;
    const QPointer<CClientEngine> engine = m_engine;
    QString uri;
    if (!m_prompt ||
        FAILED(m_prompt(Owner(), adding ? QStringLiteral("Enter Buddy URI") : QStringLiteral("Remove Buddy from Group"),
                        uri)) ||
        !engine)
        return;
    const HRESULT hr = adding ? engine->AddBuddyToGroup(group, uri) : engine->RemoveBuddyFromGroup(group, uri);
    // The rows follow the membership at once.
    if (SUCCEEDED(hr))
        engine->RebuildBuddyList();
}
