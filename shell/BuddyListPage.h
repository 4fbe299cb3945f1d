// The "Buddy List" page: the buddy tree, for now with its "Buddies" root only, and
// the "Click here to add a buddy" link shown while the user is logged on.
#pragma once

#include "controls/BitmapPage.h"
#include "platform/rtc/RtcTypes.h"

#include <QPointer>

class CClientEngine;
class CHyperlinkLabel;
class QTreeWidget;

class CBuddyListPage : public CBitmapPage {
    Q_OBJECT
public:
    static constexpr int kTreeId = 1007;

    explicit CBuddyListPage(QWidget* parent = nullptr);

    void SetEngine(CClientEngine* engine) { m_engine = engine; }
    void ShowAddBuddyLink(bool shown);

    QTreeWidget* Tree() const { return m_tree; }
    CHyperlinkLabel* AddBuddyLink() const { return m_addBuddyLink; }

    // Library requests of the Add Buddy and Add Group commands; each returns the library's status.
    HRESULT AddBuddyToList(const QString& uri, const QString& name);
    HRESULT CreateGroup(const QString& name);

signals:
    // The add-buddy link was clicked: the main view runs its Add Buddy command.
    void addBuddyRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceAddBuddyLink();

    QTreeWidget* m_tree;
    CHyperlinkLabel* m_addBuddyLink;
    QPointer<CClientEngine> m_engine;
};
