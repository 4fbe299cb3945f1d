#include "BuddyListPage.h"

#include "ShellLook.h"
#include "WebLinks.h"
#include "controls/HyperlinkLabel.h"
#include "engine/ClientEngine.h"
#include "engine/PresenceStatus.h"
#include "resources/ResourceIds.h"

#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>

namespace {
constexpr int kTreeIndent = 10;
// The link spans x 10 to 150, its text line ending 50 pixels above the page's bottom.
constexpr int kLinkLeft = 10;
constexpr int kLinkWidth = 140;
constexpr int kLinkBottomGap = 50;
constexpr int kLinkHeight = 18;

IRTCClientPresence2* PresenceOf(const CClientEngine* engine)
{
    return engine && engine->Client() ? engine->Client()->presence() : nullptr;
}
} // namespace

CBuddyListPage::CBuddyListPage(QWidget* parent)
    : CBitmapPage(parent), m_tree(new QTreeWidget(this)),
      m_addBuddyLink(new CHyperlinkLabel(QStringLiteral("Click here to add a buddy"), m_tree))
{
    m_tree->setObjectName(QString::number(kTreeId));
    m_tree->setAccessibleName(QStringLiteral("Buddy List"));
    m_tree->setFont(ShellFont(QStringLiteral("Arial"), 14));
    m_tree->setIndentation(kTreeIndent);
    m_tree->setIconSize(QSize(Resources::kStatusIconSize, Resources::kStatusIconSize));
    m_tree->setHeaderHidden(true);
    m_tree->setFrameShape(QFrame::NoFrame);
    // The list's picture lies behind the rows.
    QPalette palette = m_tree->palette();
    palette.setBrush(QPalette::Base, QBrush(QPixmap(QString::fromLatin1(Resources::kListBackground134))));
    m_tree->setPalette(palette);

    auto* root = new QTreeWidgetItem(m_tree, {QStringLiteral("Buddies")});
    root->setIcon(0, Resources::StatusIcon(kGroupIcon));
    root->setExpanded(true);

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

HRESULT CBuddyListPage::AddBuddyToList(const QString& uri, const QString& name)
{
    IRTCClientPresence2* presence = PresenceOf(m_engine);
    if (!presence)
        return E_NOINTERFACE;
    RtcBuddyPtr buddy;
    return presence->AddBuddy(uri, name, QString(), true, nullptr, 0, buddy);
}

HRESULT CBuddyListPage::CreateGroup(const QString& name)
{
    IRTCClientPresence2* presence = PresenceOf(m_engine);
    if (!presence)
        return E_NOINTERFACE;
    RtcGroupPtr group;
    return presence->AddGroup(name, QString(), nullptr, 0, group);
}
