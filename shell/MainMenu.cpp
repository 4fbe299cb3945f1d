#include "MainMenu.h"

#include "engine/EngineViews.h"
#include "engine/PresenceStatus.h"
#include "resources/ResourceIds.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

CMainMenu::CMainMenu(QMenuBar& bar) : QObject(&bar), m_bar(bar)
{
    m_file = m_bar.addMenu(QStringLiteral("&File"));
    AddItem(*m_file, ID_LOG_ON, QStringLiteral("Log O&n..."));
    AddItem(*m_file, ID_LOG_OFF, QStringLiteral("Log O&ff"));
    m_file->addSeparator();
    m_presence = m_file->addMenu(QStringLiteral("&Presence Status"));
    auto* statuses = new QActionGroup(this);
    for (int status = 0; status < kStatusCount; ++status) {
        QAction* item =
            AddItem(*m_presence, StatusCommandFor(status), QString::fromUtf8(PresenceStatusFor(status)->menuText));
        item->setCheckable(true);
        statuses->addAction(item);
    }
    // The checked "&Online" shows the check-mark picture instead of the radio mark.
    QAction* online = Action(StatusCommandFor(RTCXS_PRESENCE_ONLINE));
    connect(online, &QAction::toggled, online, [online](bool checked) {
        online->setIcon(checked ? QIcon(QString::fromLatin1(Resources::kCheckMark164)) : QIcon());
    });
    m_file->addSeparator();
    AddItem(*m_file, ID_EXIT, QStringLiteral("E&xit"));

    m_action = m_bar.addMenu(QStringLiteral("&Action"));
    AddItem(*m_action, ID_CALL, QStringLiteral("&Call..."));
    AddItem(*m_action, ID_MESSAGE, QStringLiteral("&Message..."));
    m_action->addSeparator();
    AddItem(*m_action, ID_RECHARGE_ACCOUNT, QStringLiteral("&Recharge Account..."));

    m_tools = m_bar.addMenu(QStringLiteral("&Tools"));
    AddItem(*m_tools, ID_ADD_BUDDY, QStringLiteral("Add &Buddy..."));
    AddItem(*m_tools, ID_ADD_GROUP, QStringLiteral("Add &Group..."));
    m_tools->addSeparator();
    AddItem(*m_tools, ID_TUNING_WIZARD, QStringLiteral("Tuning &Wizard..."));
    AddItem(*m_tools, ID_WATCHERS, QStringLiteral("&Watchers..."));

    m_help = m_bar.addMenu(QStringLiteral("&Help"));
    AddItem(*m_help, ID_PRIVACY_POLICY, QStringLiteral("&Privacy Policy"));
    AddItem(*m_help, ID_TERMS_OF_USE, QStringLiteral("&Terms of Use"));
    m_help->addSeparator();
    AddItem(*m_help, ID_ABOUT, QStringLiteral("&About Orvalo Phone..."));

    // Nobody is logged on yet.
    EnableItem(ID_LOG_OFF, false);
    EnablePresenceSubmenu(false);
    EnableActionAndTools(false);
}

QAction* CMainMenu::AddItem(QMenu& menu, int id, const QString& text)
{
    QAction* item = menu.addAction(text);
    item->setData(id);
    item->setObjectName(QString::number(id));
    connect(item, &QAction::triggered, this, [this, id] { emit command(id); });
    m_actions[id] = item;
    return item;
}

QAction* CMainMenu::Action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainMenu::SetItemText(int id, const QString& text)
{
    if (QAction* item = Action(id))
        item->setText(QString(text).replace(QLatin1Char('&'), QLatin1String("&&")));
}

void CMainMenu::EnableItem(int id, bool enabled)
{
    if (QAction* item = Action(id))
        item->setEnabled(enabled);
}

void CMainMenu::EnableActionAndTools(bool enabled)
{
    m_action->menuAction()->setEnabled(enabled);
    m_tools->menuAction()->setEnabled(enabled);
}

void CMainMenu::EnablePresenceSubmenu(bool enabled)
{
    m_presence->menuAction()->setEnabled(enabled);
}

void CMainMenu::CheckStatusItem(int status)
{
    if (QAction* item = Action(StatusCommandFor(status)))
        item->setChecked(true);
}

void CMainMenu::Redraw()
{
    m_bar.update();
}
