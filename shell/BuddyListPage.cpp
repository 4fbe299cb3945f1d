#include "BuddyListPage.h"

#include "AddressPrompt.h"
#include "ShellLook.h"
#include "WebLinks.h"
#include "controls/HyperlinkLabel.h"
#include "engine/ClientEngine.h"
#include "presence/BuddyMenus.h"
#include "presence/BuddyTreeCtrl.h"
#include "resources/ResourceIds.h"

#include <algorithm>

namespace {
constexpr int kTreeIndent = 10;
// The link spans x 10 to 150, its text line ending 50 pixels above the page's bottom.
constexpr int kLinkLeft = 10;
constexpr int kLinkWidth = 140;
constexpr int kLinkBottomGap = 50;
constexpr int kLinkHeight = 18;
} // namespace

CBuddyListPage::CBuddyListPage(QWidget* parent)
    : CBitmapPage(parent), m_tree(new CBuddyTreeCtrl(this)),
      m_menus(new CBuddyMenus(
          *m_tree,
          [](QWidget* owner, const QString& title, QString& uri) { return PromptForAddress(owner, title, &uri); },
          this)),
      m_addBuddyLink(new CHyperlinkLabel(QStringLiteral("Click here to add a buddy"), m_tree))
{
    m_tree->setObjectName(QString::number(kTreeId));
    m_tree->setAccessibleName(QStringLiteral("Buddy List"));
    m_tree->setFont(ShellFont(QStringLiteral("Arial"), 14));
    m_tree->setIndentation(kTreeIndent);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->SetBackgroundBitmap(QString::fromLatin1(Resources::kListBackground134));
    m_tree->InsertBuddiesRoot();
    m_tree->ExpandItem(m_tree->BuddiesRoot());
    connect(m_menus, &CBuddyMenus::addBuddyRequested, this, &CBuddyListPage::addBuddyRequested);

    m_addBuddyLink->setObjectName(QString::number(kAddBuddyLinkId));
    m_addBuddyLink->SetTextColor(QColor(0, 0, 255));
    m_addBuddyLink->SetHoverColor(QColor(255, 0, 0));
    m_addBuddyLink->SetCustomFont(true);
    m_addBuddyLink->SetFontFace(QStringLiteral("Tahoma"));
    m_addBuddyLink->SetFontSize(14, 0);
    m_addBuddyLink->SetFontStyle(false, false);
    m_addBuddyLink->SetWordWrap(false);
    m_addBuddyLink->SetAlignment(CHyperlinkLabel::EAlignment::Left);
    m_addBuddyLink->hide();
    connect(m_addBuddyLink, &CHyperlinkLabel::clicked, this,
            [this] { RunHyperlinkClick(*m_addBuddyLink, [this] { emit addBuddyRequested(); }); });
}

// An engine that outlives the page must not reach for its tree.
CBuddyListPage::~CBuddyListPage()
{
    if (m_engine)
        m_engine->SetBuddyListView(nullptr);
}

void CBuddyListPage::resizeEvent(QResizeEvent* event)
{
    CBitmapPage::resizeEvent(event);
    m_tree->setGeometry(rect());
    PlaceAddBuddyLink();
}

void CBuddyListPage::PlaceAddBuddyLink()
{
    // Wide enough for the whole text where the substituted face runs wider.
    const int width = std::max(kLinkWidth, m_addBuddyLink->sizeHint().width());
    m_addBuddyLink->setGeometry(kLinkLeft, height() - kLinkBottomGap - kLinkHeight, width, kLinkHeight);
}

void CBuddyListPage::ShowAddBuddyLink(bool shown)
{
    m_addBuddyLink->setVisible(shown);
    if (shown)
        m_addBuddyLink->raise();
}

void CBuddyListPage::SetEngine(CClientEngine* engine)
{
    m_engine = engine;
    m_menus->SetEngine(engine);
    if (!engine)
        return;
    engine->SetBuddyListView(m_tree);
    connect(m_tree, &CBuddyTreeCtrl::buddyDoubleClicked, engine,
            [engine](const RtcBuddyPtr& buddy) { engine->SendMessageToBuddy(buddy); });
    connect(m_tree, &CBuddyTreeCtrl::groupChangeFailed, engine, &CClientEngine::RebuildBuddyList);
}
