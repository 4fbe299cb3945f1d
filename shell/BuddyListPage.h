// The "Buddy List" page: the buddy tree with its menus, and the "Click here to add
// a buddy" link shown while the user is logged on.
#pragma once

#include "controls/BitmapPage.h"
#include "platform/rtc/RtcTypes.h"

#include <QPointer>

class CBuddyMenus;
class CBuddyTreeCtrl;
class CClientEngine;
class CHyperlinkLabel;

class CBuddyListPage : public CBitmapPage {
    Q_OBJECT
public:
    static constexpr int kTreeId = 1007;

    explicit CBuddyListPage(QWidget* parent = nullptr);
    ~CBuddyListPage() override;

    // The engine shows its buddy list in this page's tree from now on.
    void SetEngine(CClientEngine* engine);
    void ShowAddBuddyLink(bool shown);

    CBuddyTreeCtrl* Tree() const { return m_tree; }
    CBuddyMenus* Menus() const { return m_menus; }
    CHyperlinkLabel* AddBuddyLink() const { return m_addBuddyLink; }

signals:
    // The add-buddy link or "Add a Buddy..." was chosen: the main view runs its Add Buddy command.
    void addBuddyRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceAddBuddyLink();

    CBuddyTreeCtrl* m_tree;
    CBuddyMenus* m_menus;
    CHyperlinkLabel* m_addBuddyLink;
    QPointer<CClientEngine> m_engine;
};
