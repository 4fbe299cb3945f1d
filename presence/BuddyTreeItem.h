// A row of the buddy tree. A group row holds its group, a buddy row its buddy;
// "Buddies" and device lines hold nothing. Each row keeps its own reference, so
// moving or deleting one row never frees what another row shows.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <QTreeWidgetItem>

class CBuddyTreeItem : public QTreeWidgetItem {
public:
    CBuddyTreeItem(const QString& text, int icon);

    RtcBuddyPtr m_buddy;
    RtcGroupPtr m_group;
    int m_icon; // index into the status icons; -1 for none

    bool IsTopLevel() const { return parent() == nullptr; }
};
