#include "BuddyTreeCtrl.h"

#include "resources/ResourceIds.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

Q_LOGGING_CATEGORY(lcBuddyTree, "orvalo.buddies")

namespace {
constexpr int kBuddiesIcon = Resources::kIconGroup;
constexpr int kNewBuddyIcon = Resources::kIconOffline;
constexpr int kLabelMargin = 6; // around the text of a row's label
constexpr double kDragImageOpacity = 0.6;

bool IsUnder(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor)
{
    for (; item; item = item->parent())
        if (item == ancestor)
            return true;
    return false;
}
} // namespace

CBuddyTreeItem::CBuddyTreeItem(const QString& text, int icon) : QTreeWidgetItem(QStringList{text}), m_icon(icon)
{
}

CBuddyTreeCtrl::CBuddyTreeCtrl(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(Resources::kStatusIconSize, Resources::kStatusIconSize));
    setMouseTracking(true);
    setExpandsOnDoubleClick(true);
    for (int i = 0; i < int(m_icons.size()); ++i)
        m_icons.at(std::size_t(i)) = Resources::StatusIcon(i);
}

// --- the picture behind the rows ---

// On true-colour displays the picture needs no palette of its own.
bool CBuddyTreeCtrl::SetBackgroundBitmap(const QString& resourcePath)
{
    m_background = QPixmap(resourcePath);
    const bool loaded = !m_background.isNull();
    // With a picture the tree paints no background of its own: the picture shows through.
    viewport()->setAutoFillBackground(!loaded);
    QPalette palette = viewport()->palette();
    palette.setBrush(QPalette::Base, loaded ? QBrush(Qt::transparent) : QTreeWidget::palette().base());
    viewport()->setPalette(palette);
    viewport()->update();
    if (!loaded)
        qCWarning(lcBuddyTree) << "no background picture at" << resourcePath;
    return loaded;
}

QPoint CBuddyTreeCtrl::TileOrigin() const
{
    const int top = topLevelItemCount() > 0 ? visualItemRect(topLevelItem(0)).top() : 0;
    return QPoint(-horizontalScrollBar()->value(), top);
}

void CBuddyTreeCtrl::paintEvent(QPaintEvent* event)
{
    if (!m_background.isNull()) {
        QPainter painter(viewport());
        const QPoint origin = TileOrigin();
        const int w = m_background.width(), h = m_background.height();
        const QPoint offset(((-origin.x()) % w + w) % w, ((-origin.y()) % h + h) % h);
        painter.drawTiledPixmap(viewport()->rect(), m_background, offset);
    }
    QTreeWidget::paintEvent(event);
    if (m_dragging && !m_dragImage.isNull()) {
        QPainter painter(viewport());
        painter.setOpacity(kDragImageOpacity);
        painter.drawPixmap(DragImageRect().topLeft(), m_dragImage);
    }
}

void CBuddyTreeCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!m_dropHighlighted || index != m_dropTarget) {
        QTreeWidget::drawRow(painter, option, index);
        return;
    }
    QStyleOptionViewItem highlighted(option);
    highlighted.state |= QStyle::State_Selected;
    QTreeWidget::drawRow(painter, highlighted, index);
}

// No lines and no buttons: rows open and close by double-click.
void CBuddyTreeCtrl::drawBranches(QPainter*, const QRect&, const QModelIndex&) const
{
}

// The tiles move with the content, so everything is painted again.
void CBuddyTreeCtrl::scrollContentsBy(int dx, int dy)
{
    QTreeWidget::scrollContentsBy(dx, dy);
    viewport()->update();
}

// --- rows ---

CBuddyTreeItem* CBuddyTreeCtrl::ItemOf(QTreeWidgetItem* item)
{
    return dynamic_cast<CBuddyTreeItem*>(item);
}

CBuddyTreeItem* CBuddyTreeCtrl::NewItem(const QString& text, int icon) const
{
    auto* item = new CBuddyTreeItem(text, icon);
    if (icon >= 0 && icon < int(m_icons.size()))
        item->setIcon(0, m_icons.at(std::size_t(icon)));
    return item;
}

QRect CBuddyTreeCtrl::LabelRect(const QTreeWidgetItem* item) const
{
    QRect label = visualItemRect(item);
    const int iconWidth = item->icon(0).isNull() ? 0 : iconSize().width() + kLabelMargin;
    label.setWidth(
        std::min(label.width(), iconWidth + fontMetrics().horizontalAdvance(item->text(0)) + 2 * kLabelMargin));
    return label;
}

CBuddyTreeItem* CBuddyTreeCtrl::HitItem(const QPoint& pos) const
{
    QTreeWidgetItem* item = itemAt(pos);
    return item && LabelRect(item).contains(pos) ? ItemOf(item) : nullptr;
}

// After the last row whose text sorts before or with the new one.
void CBuddyTreeCtrl::InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child)
{
    const QString text = child->text(0);
    int low = 0, high = parent->childCount();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (QString::compare(parent->child(middle)->text(0), text, Qt::CaseInsensitive) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    parent->insertChild(low, child);
}

void CBuddyTreeCtrl::DeleteAllItems()
{
    EndDrag();
    clear();
}

void CBuddyTreeCtrl::InsertBuddiesRoot()
{
    CBuddyTreeItem* root = NewItem(QStringLiteral("Buddies"), kBuddiesIcon);
    addTopLevelItem(root);
    m_buddiesRoot = indexFromItem(root);
}

void CBuddyTreeCtrl::ClearBuddyItems()
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        qDeleteAll(topLevelItem(i)->takeChildren());
}

CBuddyTreeItem* CBuddyTreeCtrl::BuddiesRoot() const
{
    return m_buddiesRoot.isValid() ? ItemOf(itemFromIndex(m_buddiesRoot)) : nullptr;
}

CBuddyTreeItem* CBuddyTreeCtrl::FindBuddyItem(const RtcBuddyPtr& buddy) const
{
    if (!buddy)
        return nullptr;
    for (int group = 0; group < topLevelItemCount(); ++group) {
        QTreeWidgetItem* groupItem = topLevelItem(group);
        for (int row = 0; row < groupItem->childCount(); ++row) {
            CBuddyTreeItem* item = ItemOf(groupItem->child(row));
            if (item && item->m_buddy == buddy)
                return item;
        }
    }
    return nullptr;
}

CBuddyTreeItem* CBuddyTreeCtrl::FindGroupItem(const RtcGroupPtr& group) const
{
    for (int i = 0; group && i < topLevelItemCount(); ++i) {
        CBuddyTreeItem* item = ItemOf(topLevelItem(i));
        if (item && item->m_group == group)
            return item;
    }
    return nullptr;
}

CBuddyTreeItem* CBuddyTreeCtrl::InsertGroupItem(const QString& name, const RtcGroupPtr& group)
{
    CBuddyTreeItem* item = NewItem(name, kBuddiesIcon);
    item->m_group = group;
    addTopLevelItem(item);
    return item;
}

CBuddyTreeItem* CBuddyTreeCtrl::InsertBuddyItem(CBuddyTreeItem* parent, const QString& text, const RtcBuddyPtr& buddy)
{
    if (!parent)
        return nullptr;
    CBuddyTreeItem* item = NewItem(text, kNewBuddyIcon);
    item->m_buddy = buddy;
    InsertSorted(parent, item);
    return item;
}

void CBuddyTreeCtrl::InsertDeviceItem(CBuddyTreeItem* buddyItem, const QString& text)
{
    if (buddyItem)
        InsertSorted(buddyItem, NewItem(text, -1));
}

void CBuddyTreeCtrl::SetItem(CBuddyTreeItem* item, const QString& text, int icon)
{
    if (!item)
        return;
    item->setText(0, text);
    if (icon != item->m_icon && icon >= 0 && icon < int(m_icons.size())) {
        item->m_icon = icon;
        item->setIcon(0, m_icons.at(std::size_t(icon)));
    }
}

CBuddyTreeItem* CBuddyTreeCtrl::MoveItem(CBuddyTreeItem* item, CBuddyTreeItem* newParent)
{
    if (!item || !newParent || IsUnder(newParent, item))
        return item;
    CBuddyTreeItem* copy = NewItem(item->text(0), item->m_icon);
    copy->m_buddy = item->m_buddy;
    copy->m_group = item->m_group;
    newParent->addChild(copy);
    delete item; // its device lines go with it
    return copy;
}

void CBuddyTreeCtrl::DeleteItem(CBuddyTreeItem* item)
{
    delete item;
}

void CBuddyTreeCtrl::ExpandItem(CBuddyTreeItem* item)
{
    if (item)
        item->setExpanded(true);
}

// Scrolling lays the whole tree out, so a burst of new rows scrolls once, to the last of them.
void CBuddyTreeCtrl::EnsureVisible(CBuddyTreeItem* item)
{
    if (!item)
        return;
    for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
        parent->setExpanded(true);
    const bool pending = m_scrollTarget.isValid();
    m_scrollTarget = indexFromItem(item);
    if (!pending)
        QMetaObject::invokeMethod(this, &CBuddyTreeCtrl::ScrollToTarget, Qt::QueuedConnection);
}

void CBuddyTreeCtrl::ScrollToTarget()
{
    if (m_scrollTarget.isValid())
        scrollTo(m_scrollTarget);
    m_scrollTarget = QPersistentModelIndex();
}

void CBuddyTreeCtrl::RepaintNow()
{
    viewport()->update();
}

// --- dragging a buddy onto a group ---

CBuddyTreeItem* CBuddyTreeCtrl::DropTarget() const
{
    return m_dropTarget.isValid() ? ItemOf(itemFromIndex(m_dropTarget)) : nullptr;
}

QRect CBuddyTreeCtrl::DragImageRect() const
{
    return QRect(m_cursorPos - kDragHotSpot, m_dragImage.size());
}

void CBuddyTreeCtrl::mousePressEvent(QMouseEvent* event)
{
    QTreeWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    CBuddyTreeItem* item = HitItem(event->position().toPoint());
    m_pressed = item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
    m_pressPos = event->position().toPoint();
}

void CBuddyTreeCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_dragging) {
        DragOver(pos);
        return;
    }
    if ((event->buttons() & Qt::LeftButton) && m_pressed.isValid() &&
        (pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        CBuddyTreeItem* item = ItemOf(itemFromIndex(m_pressed));
        m_pressed = QPersistentModelIndex();
        if (item && !item->IsTopLevel()) { // groups stay where they are
            BeginDrag(item, pos);
            return;
        }
    }
    viewport()->unsetCursor();
    QTreeWidget::mouseMoveEvent(event);
}

void CBuddyTreeCtrl::BeginDrag(CBuddyTreeItem* item, const QPoint& pos)
{
    m_dragImage = viewport()->grab(LabelRect(item));
    if (m_dragImage.isNull()) {
        qCWarning(lcBuddyTree) << "no drag image for" << item->text(0);
        return;
    }
    m_dragged = indexFromItem(item);
    SetDropTarget(nullptr, false);
    m_dragging = true;
    m_cursorPos = pos;
    viewport()->update();
}

void CBuddyTreeCtrl::DragOver(const QPoint& pos)
{
    viewport()->update(DragImageRect());
    m_cursorPos = pos;
    viewport()->update(DragImageRect());
    CBuddyTreeItem* item = HitItem(pos);
    CBuddyTreeItem* dragged = m_dragged.isValid() ? ItemOf(itemFromIndex(m_dragged)) : nullptr;
    if (!item || !dragged)
        return;
    if (!item->IsTopLevel()) {
        viewport()->setCursor(Qt::ForbiddenCursor);
        SetDropTarget(item, false);
    } else if (item != dragged->parent()) {
        viewport()->setCursor(Qt::ArrowCursor);
        SetDropTarget(item, true);
    } else {
        SetDropTarget(item, false); // its own group: nothing to drop onto
    }
}

void CBuddyTreeCtrl::SetDropTarget(CBuddyTreeItem* item, bool highlighted)
{
    if (const CBuddyTreeItem* old = DropTarget())
        viewport()->update(visualItemRect(old));
    m_dropTarget = item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
    m_dropHighlighted = item && highlighted;
    if (item)
        viewport()->update(visualItemRect(item));
}

void CBuddyTreeCtrl::EndDrag()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    viewport()->unsetCursor();
    SetDropTarget(nullptr, false);
    m_dragImage = QPixmap();
    viewport()->update();
}

void CBuddyTreeCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    m_pressed = QPersistentModelIndex();
    if (!m_dragging)
        return;
    EndDrag();
    CBuddyTreeItem* dragged = m_dragged.isValid() ? ItemOf(itemFromIndex(m_dragged)) : nullptr;
    m_dragged = QPersistentModelIndex();
    // The row under the cursor now, not the one last seen while moving.
    CBuddyTreeItem* target = HitItem(event->position().toPoint());
    if (!dragged || !target || target == dragged || !target->IsTopLevel() || target == dragged->parent())
        return;
    Drop(dragged, target);
}

void CBuddyTreeCtrl::Drop(CBuddyTreeItem* dragged, CBuddyTreeItem* target)
{
    ExpandItem(target);
    const CBuddyTreeItem* oldParent = ItemOf(dragged->parent());
    const RtcGroupPtr oldGroup = oldParent ? oldParent->m_group : nullptr;
    const RtcGroupPtr newGroup = target->m_group;
    CBuddyTreeItem* moved = MoveItem(dragged, target);
    if (const RtcBuddyPtr buddy = moved->m_buddy) {
        const bool left = !oldGroup || SUCCEEDED(oldGroup->RemoveBuddy(buddy));
        const bool joined = !newGroup || SUCCEEDED(newGroup->AddBuddy(buddy));
        if (!left || !joined) {
            qCWarning(lcBuddyTree) << "the library did not take the new group of" << moved->text(0);
            emit groupChangeFailed();
            return;
        }
    }
    setCurrentItem(moved);
}

// --- double-click and right-click ---

void CBuddyTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidget::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const CBuddyTreeItem* item = HitItem(event->position().toPoint());
    if (item && !item->IsTopLevel() && item->m_buddy)
        emit buddyDoubleClicked(RtcBuddyPtr(item->m_buddy));
}

void CBuddyTreeCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    if (CBuddyTreeItem* item = HitItem(event->pos()))
        emit contextMenuRequested(item, event->globalPos());
}
