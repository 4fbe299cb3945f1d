// The tree of the "Buddy List" page: groups, their buddies and the buddies'
// devices over a tiled picture that scrolls with the rows. A buddy can be dragged
// onto a group, which moves its row and its membership in the library.
#pragma once

#include "BuddyTreeItem.h"
#include "engine/EngineViews.h"
#include "resources/ResourceIds.h"

#include <QPersistentModelIndex>
#include <QPixmap>
#include <QTreeWidget>

#include <array>

class CBuddyTreeCtrl : public QTreeWidget, public IBuddyListView {
    Q_OBJECT
public:
    static constexpr QPoint kDragHotSpot{-15, -15}; // the cursor's place relative to the drag image

    explicit CBuddyTreeCtrl(QWidget* parent = nullptr);

    // The picture behind the rows; false (and no picture) when it cannot be loaded.
    bool SetBackgroundBitmap(const QString& resourcePath);

    // The row whose icon or label lies under the point (viewport coordinates), if any.
    CBuddyTreeItem* HitItem(const QPoint& pos) const;
    static CBuddyTreeItem* ItemOf(QTreeWidgetItem* item);

    bool IsDragging() const { return m_dragging; }
    CBuddyTreeItem* DropTarget() const;

    // --- IBuddyListView ---
    void DeleteAllItems() override;
    void InsertBuddiesRoot() override;
    void ClearBuddyItems() override;
    CBuddyTreeItem* BuddiesRoot() const override;
    CBuddyTreeItem* FindBuddyItem(const RtcBuddyPtr& buddy) const override;
    CBuddyTreeItem* FindGroupItem(const RtcGroupPtr& group) const override;
    CBuddyTreeItem* InsertGroupItem(const QString& name, const RtcGroupPtr& group) override;
    CBuddyTreeItem* InsertBuddyItem(CBuddyTreeItem* parent, const QString& text, const RtcBuddyPtr& buddy) override;
    void InsertDeviceItem(CBuddyTreeItem* buddyItem, const QString& text) override;
    void SetItem(CBuddyTreeItem* item, const QString& text, int icon) override;
    CBuddyTreeItem* MoveItem(CBuddyTreeItem* item, CBuddyTreeItem* newParent) override;
    void DeleteItem(CBuddyTreeItem* item) override;
    void ExpandItem(CBuddyTreeItem* item) override;
    void EnsureVisible(CBuddyTreeItem* item) override;
    void RepaintNow() override;

signals:
    void buddyDoubleClicked(const RtcBuddyPtr& buddy);
    void contextMenuRequested(CBuddyTreeItem* item, const QPoint& globalPos);
    // A drop could not put the buddy into its new group: the rows no longer match the library.
    void groupChangeFailed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Where the first tile goes: the tiles move with the content when it scrolls.
    QPoint TileOrigin() const;
    CBuddyTreeItem* NewItem(const QString& text, int icon) const;
    QRect LabelRect(const QTreeWidgetItem* item) const; // icon and text of the row
    void InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child);
    void BeginDrag(CBuddyTreeItem* item, const QPoint& pos);
    void DragOver(const QPoint& pos);
    void EndDrag();
    void Drop(CBuddyTreeItem* dragged, CBuddyTreeItem* target);
    void SetDropTarget(CBuddyTreeItem* item, bool highlighted);
    QRect DragImageRect() const;
    void ScrollToTarget();

    std::array<QIcon, Resources::kStatusIconCount> m_icons;
    QPixmap m_background;
    QPersistentModelIndex m_buddiesRoot;
    QPersistentModelIndex m_scrollTarget; // the row to show once the current work is done

    // Rows are held by persistent indexes: a row deleted during a drag simply drops out.
    QPersistentModelIndex m_pressed;
    QPoint m_pressPos;
    bool m_dragging = false;
    QPersistentModelIndex m_dragged;
    QPersistentModelIndex m_dropTarget;
    bool m_dropHighlighted = false;
    QPixmap m_dragImage;
    QPoint m_cursorPos;
};
