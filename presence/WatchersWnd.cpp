#include "WatchersWnd.h"

#include "WatcherLine.h"
#include "controls/DialogParts.h"
#include "engine/AddressRules.h"
#include "resources/ResourceIds.h"

#include <QBoxLayout>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>
#include <array>

namespace {
Q_LOGGING_CATEGORY(lcWatchers, "orvalo.watchers")

struct WatcherCommand {
    int id;
    const char* text;
    RTC_WATCHER_STATE state; // what the command decides; unknown for Remove
};

constexpr std::array<WatcherCommand, 5> kWatcherCommands{{
    {CWatchersWnd::kAllowCommand, "&Allow Watcher", RTCWS_ALLOWED},
    {CWatchersWnd::kBlockCommand, "&Block Watcher", RTCWS_BLOCKED},
    {CWatchersWnd::kDenyCommand, "&Deny Watcher", RTCWS_DENIED},
    {CWatchersWnd::kPromptCommand, "&Prompt Watcher", RTCWS_PROMPT},
    {CWatchersWnd::kRemoveCommand, "&Remove Watcher", RTCWS_UNKNOWN},
}};

// A list item holds one reference to the watcher it shows.
class CWatcherItem : public QListWidgetItem {
public:
    CWatcherItem(const QString& text, const QIcon& icon, RtcWatcherPtr watcher)
        : QListWidgetItem(icon, text, nullptr, UserType), m_watcher(std::move(watcher))
    {
    }
    const RtcWatcherPtr& watcher() const { return m_watcher; }

private:
    RtcWatcherPtr m_watcher;
};

const CWatcherItem* AsWatcherItem(const QListWidgetItem* item)
{
    return item && item->type() == QListWidgetItem::UserType ? static_cast<const CWatcherItem*>(item) : nullptr;
}

QAction* AddCommand(QMenu& menu, const QString& text, int id)
{
    QAction* action = menu.addAction(text);
    action->setData(id);
    return action;
}
} // namespace

CWatchersWnd::CWatchersWnd(RtcClientPtr client, AddressPrompt addressPrompt, QWidget* owner)
    : QWidget(owner, Qt::Window), m_client(std::move(client)), m_addressPrompt(std::move(addressPrompt)),
      m_list(new QListWidget(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("watchersWindow"));
    setWindowTitle(QStringLiteral("Orvalo Phone Watchers"));
    setWindowIcon(Resources::AppIcon());
    PaintWindowBackground(*this);

    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName(QString::number(kMenuId));
    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    AddCommand(*file, QStringLiteral("E&xit"), kExitCommand);
    QMenu* actions = menuBar->addMenu(QStringLiteral("&Actions"));
    AddCommand(*actions, QStringLiteral("&Add Watcher..."), kAddWatcherCommand);
    connect(menuBar, &QMenuBar::triggered, this, [this](QAction* action) { OnCommand(action->data().toInt()); });

    m_list->setObjectName(QString::number(kListId));
    m_list->setViewMode(QListView::ListMode);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setIconSize(QSize(Resources::kStatusIconSize, Resources::kStatusIconSize));
    m_list->setResizeMode(QListView::Adjust);
    m_list->setSortingEnabled(true);
    m_list->sortItems(Qt::AscendingOrder);
    m_list->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->setContentsMargins(kListMargin, kListMargin, kListMargin, kListMargin);
    layout->addWidget(m_list);
    resize(kWidth, kHeight);

    QMetaObject::invokeMethod(this, &CWatchersWnd::FillList, Qt::QueuedConnection);
}

void CWatchersWnd::FillList()
{
    IRTCClientPresence2* presence = m_client ? m_client->presence() : nullptr;
    std::shared_ptr<IRTCEnumWatchers> watchers;
    if (!presence || FAILED(presence->EnumerateWatchers(watchers))) {
        qCWarning(lcWatchers) << "the watchers cannot be listed";
        return;
    }
    RtcWatcherPtr watcher;
    while (watchers->Next(watcher) == S_OK)
        ShowWatcher(watcher);
}

QListWidgetItem* CWatchersWnd::ItemFor(const RtcWatcherPtr& watcher) const
{
    for (int row = 0; row < m_list->count(); ++row) {
        const CWatcherItem* item = AsWatcherItem(m_list->item(row));
        if (item && item->watcher() == watcher)
            return m_list->item(row);
    }
    return nullptr;
}

RtcWatcherPtr CWatchersWnd::WatcherOf(const QListWidgetItem* item) const
{
    const CWatcherItem* watcherItem = AsWatcherItem(item);
    return watcherItem ? watcherItem->watcher() : nullptr;
}

HRESULT CWatchersWnd::ShowWatcher(const RtcWatcherPtr& watcher)
{
    RTC_WATCHER_STATE state;
    RTC_ACE_SCOPE scope;
    HRESULT hr = watcher->get_State(state);
    if (SUCCEEDED(hr))
        hr = watcher->get_Scope(scope);
    if (FAILED(hr)) {
        qCWarning(lcWatchers) << "a watcher whose state cannot be read is not shown";
        return hr;
    }
    QString uri, name;
    if (FAILED(watcher->get_PresentityURI(uri)))
        uri.clear();
    if (FAILED(watcher->get_Name(name)) || name.isEmpty())
        name = uri;
    if (name.isEmpty() || uri == PresenceServerUri())
        return S_FALSE; // nothing to show, or the presence server, which is never listed

    const QString line = WatcherLineText(name, state, scope);
    const QIcon icon = Resources::StatusIcon(WatcherIcon(state));
    if (QListWidgetItem* item = ItemFor(watcher)) {
        item->setText(line);
        item->setIcon(icon);
        return S_OK;
    }
    m_list->addItem(new CWatcherItem(line, icon, watcher));
    if (FAILED(watcher->put_Persistent(true)))
        qCWarning(lcWatchers) << "a listed watcher is not kept";
    return S_OK;
}

void CWatchersWnd::RemoveWatcherItem(const RtcWatcherPtr& watcher)
{
    delete ItemFor(watcher);
}

void CWatchersWnd::OnWatcherEvent(const RtcWatcherPtr& watcher, RTC_WATCHER_EVENT_TYPE type, HRESULT statusCode)
{
    switch (WatcherItemChangeFor(type, statusCode)) {
    case EWatcherItemChange::Show: ShowWatcher(watcher); break;
    case EWatcherItemChange::Remove: RemoveWatcherItem(watcher); break;
    case EWatcherItemChange::None: break;
    }
}

void CWatchersWnd::OnCommand(int command)
{
    if (command == kExitCommand)
        PostClose();
    else if (command == kAddWatcherCommand)
        AddWatcher();
}

void CWatchersWnd::OnWatcherCommand(int command, const RtcWatcherPtr& watcher)
{
    const auto it = std::find_if(kWatcherCommands.begin(), kWatcherCommands.end(),
                                 [command](const WatcherCommand& candidate) { return candidate.id == command; });
    if (it == kWatcherCommands.end() || !watcher)
        return;
    if (command != kRemoveCommand) {
        // The library's update event redraws the line.
        if (FAILED(watcher->put_State(it->state)))
            qCWarning(lcWatchers) << "the watcher's state was not changed";
        return;
    }
    IRTCClientPresence2* presence = m_client ? m_client->presence() : nullptr;
    if (!presence || FAILED(presence->RemoveWatcher(watcher))) {
        qCWarning(lcWatchers) << "the watcher was not removed";
        return;
    }
    RemoveWatcherItem(watcher);
}

void CWatchersWnd::AddWatcher()
{
    QString address;
    QPointer<CWatchersWnd> alive(this);
    if (!m_addressPrompt || FAILED(m_addressPrompt(this, QStringLiteral("Add Watcher"), &address)) || !alive)
        return;
    IRTCClientPresence2* presence = m_client ? m_client->presence() : nullptr;
    RtcWatcherPtr watcher;
    if (!presence || FAILED(presence->AddWatcherEx(address, QString(), QString(), RTCWS_ALLOWED, true, RTCAS_SCOPE_USER,
                                                   nullptr, 0, watcher))) {
        qCWarning(lcWatchers) << "the watcher was not added";
        return;
    }
    ShowWatcher(watcher);
}

void CWatchersWnd::PostClose()
{
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

bool CWatchersWnd::eventFilter(QObject* watched, QEvent* event)
{
    // A left or a right click on a watcher opens the same menu.
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* click = static_cast<QMouseEvent*>(event);
        const RtcWatcherPtr watcher = WatcherOf(m_list->itemAt(click->position().toPoint()));
        if (watcher && (click->button() == Qt::LeftButton || click->button() == Qt::RightButton)) {
            ShowContextMenu(watcher, click->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CWatchersWnd::ShowContextMenu(const RtcWatcherPtr& watcher, const QPoint& globalPosition)
{
    // Without a parent: the menu must outlive a window closed while it is open.
    QMenu menu;
    menu.setObjectName(QString::number(kContextMenuId));
    for (const WatcherCommand& command : kWatcherCommands)
        AddCommand(menu, QString::fromLatin1(command.text), command.id);
    QPointer<CWatchersWnd> alive(this);
    const QAction* chosen = menu.exec(globalPosition);
    if (alive && chosen)
        OnWatcherCommand(chosen->data().toInt(), watcher);
}
