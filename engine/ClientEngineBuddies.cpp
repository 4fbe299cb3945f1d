// The buddy list: showing the library's groups and buddies in the buddy tree,
// keeping it in step with buddy events, and the requests the tree's menus make.
#include "AddressRules.h"
#include "ClientEngine.h"
#include "MessageBox.h"
#include "PresenceStatus.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcBuddyList, "orvalo.buddies")

namespace {
// Texts from the network fill 256-character buffers and stay on one line.
constexpr qsizetype kNameLimit = 255;
constexpr qsizetype kProfileLimit = 4095;

QString SingleLine(const QString& text)
{
    QString line = text.left(kNameLimit);
    for (QChar& c : line) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    }
    return line;
}

bool LooksLikeAddress(const QString& name)
{
    return name.contains(QLatin1String("sip:")) || name.contains(QLatin1String("tel:")) ||
           name.contains(QLatin1Char('@'));
}

// The name a buddy is shown with: its display name, else its URI, in display form
// when it is an address. Fails when it has neither.
HRESULT GetBuddyName(IRTCBuddy2& buddy, QString& name)
{
    QString found;
    if (FAILED(buddy.get_PresenceProperty(RTCPP_DISPLAYNAME, found)) || found.isEmpty()) {
        found.clear();
        if (FAILED(buddy.get_PresentityURI(found)) || found.isEmpty())
            return E_FAIL;
    }
    if (LooksLikeAddress(found))
        ToDisplayNumber(found);
    name = SingleLine(found);
    return S_OK;
}

IRTCClientPresence2* PresenceOf(const RtcClientPtr& client)
{
    return client ? client->presence() : nullptr;
}

// The library's buddy for a URI, ready for a group request.
HRESULT FindBuddy(const RtcClientPtr& client, const RtcGroupPtr& group, const QString& uri, RtcBuddyPtr& buddy)
{
    IRTCClientPresence2* presence = PresenceOf(client);
    if (!presence)
        return E_NOINTERFACE;
    if (!group)
        return E_POINTER;
    return presence->get_Buddy(uri, buddy);
}

RTC_PRESENCE_STATUS StatusOf(IRTCBuddy2& buddy)
{
    RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_OFFLINE;
    if (FAILED(buddy.get_Status(status)))
        return RTCXS_PRESENCE_OFFLINE;
    return status;
}
} // namespace

HRESULT CClientEngine::GetBuddyAddress(const RtcBuddyPtr& buddy, QString& uri, QString& name)
{
    QString readUri, readName;
    HRESULT hr = buddy ? buddy->get_PresentityURI(readUri) : E_POINTER;
    if (FAILED(hr))
        return hr;
    hr = buddy->get_Name(readName);
    if (FAILED(hr) && hr != RTC_E_NO_DISPLAY_NAME)
        return hr;
    uri = readUri;
    name = SUCCEEDED(hr) ? SingleLine(readName) : QString();
    return S_OK;
}

HRESULT CClientEngine::ShowBuddy(const RtcBuddyPtr& buddy, CBuddyTreeItem* groupItem)
{
    if (!buddy || !m_buddyList)
        return E_POINTER;
    QString name;
    const HRESULT hr = GetBuddyName(*buddy, name);
    if (FAILED(hr)) {
        qCWarning(lcBuddyList) << "a buddy without name or address is not shown";
        return hr;
    }
    const RTC_PRESENCE_STATUS status = StatusOf(*buddy);
    const QString line = BuddyStatusLine(status, name);

    CBuddyTreeItem* item = m_buddyList->FindBuddyItem(buddy);
    if (!item)
        return InsertBuddyItem(buddy, groupItem ? groupItem : m_buddyList->BuddiesRoot(), line);
    m_buddyList->SetItem(item, line, BuddyStatusIcon(status));
    if (groupItem)
        m_buddyList->MoveItem(item, groupItem);
    m_buddyList->RepaintNow();
    return S_OK;
}

HRESULT CClientEngine::InsertBuddyItem(const RtcBuddyPtr& buddy, CBuddyTreeItem* parent, const QString& line)
{
    CBuddyTreeItem* item = m_buddyList->InsertBuddyItem(parent, line, buddy);
    if (!item) {
        qCWarning(lcBuddyList) << "no row for a buddy: the tree has no group to put it in";
        return E_FAIL;
    }
    std::shared_ptr<IRTCEnumPresenceDevices> devices;
    if (SUCCEEDED(buddy->EnumeratePresenceDevices(devices))) {
        RtcPresenceDevicePtr device;
        for (int position = 1; devices->Next(device) == S_OK; ++position) {
            QString deviceName;
            if (FAILED(device->get_PresenceProperty(RTCPP_DEVICE_NAME, deviceName)))
                deviceName = QStringLiteral("Device # %1").arg(position);
            RTC_PRESENCE_STATUS status = RTCXS_PRESENCE_OFFLINE;
            device->get_Status(status);
            m_buddyList->InsertDeviceItem(item, DeviceStatusLine(status, SingleLine(deviceName)));
        }
    }
    m_buddyList->EnsureVisible(item);
    return S_OK;
}

void CClientEngine::RemoveBuddyItem(const RtcBuddyPtr& buddy)
{
    if (m_buddyList)
        m_buddyList->DeleteItem(m_buddyList->FindBuddyItem(buddy));
}

CBuddyTreeItem* CClientEngine::ShowGroupItem(const RtcGroupPtr& group)
{
    QString name;
    if (!group || !m_buddyList || FAILED(group->get_Name(name))) {
        qCWarning(lcBuddyList) << "a group whose name cannot be read is not shown";
        return nullptr;
    }
    name = SingleLine(name);
    CBuddyTreeItem* item = m_buddyList->FindGroupItem(group);
    if (!item)
        return m_buddyList->InsertGroupItem(name, group);
    m_buddyList->SetItem(item, name, kGroupIcon);
    return item;
}

void CClientEngine::RebuildBuddyList()
{
    IRTCClientPresence2* presence = PresenceOf(m_client);
    if (!presence || !m_buddyList)
        return;
    // From a tree without buddies, so that a buddy that left a group leaves its row too.
    m_buddyList->ClearBuddyItems();

    std::shared_ptr<IRTCEnumGroups> groups;
    if (SUCCEEDED(presence->EnumerateGroups(groups))) {
        RtcGroupPtr group;
        while (groups->Next(group) == S_OK) {
            CBuddyTreeItem* groupItem = ShowGroupItem(group);
            std::shared_ptr<IRTCEnumBuddies> members;
            if (!groupItem || FAILED(group->EnumerateBuddies(members)))
                continue;
            RtcBuddyPtr buddy;
            while (members->Next(buddy) == S_OK)
                ShowBuddy(buddy, groupItem);
            m_buddyList->ExpandItem(groupItem);
        }
    }
    std::shared_ptr<IRTCEnumBuddies> buddies;
    if (SUCCEEDED(presence->EnumerateBuddies(buddies))) {
        RtcBuddyPtr buddy;
        while (buddies->Next(buddy) == S_OK)
            ShowBuddy(buddy, nullptr);
    }
    m_buddyList->ExpandItem(m_buddyList->BuddiesRoot());
}

void CClientEngine::OnBuddyEvent(const IRTCBuddyEvent2& event)
{
    RTC_BUDDY_EVENT_TYPE type;
    HRESULT status;
    RtcBuddyPtr buddy;
    if (FAILED(event.get_EventType(type)) || FAILED(event.get_StatusCode(status)) || FAILED(event.get_Buddy(buddy)))
        return;
    switch (type) {
    case RTCBET_BUDDY_ADD:
        if (FAILED(status))
            RemoveBuddyItem(buddy);
        else
            ShowBuddy(buddy, nullptr);
        break;
    case RTCBET_BUDDY_REMOVE:
        if (FAILED(status))
            ShowBuddy(buddy, nullptr);
        else
            RemoveBuddyItem(buddy);
        break;
    case RTCBET_BUDDY_UPDATE:
    case RTCBET_BUDDY_STATE_CHANGE: ShowBuddy(buddy, nullptr); break;
    case RTCBET_BUDDY_SUBSCRIBED:
        if (FAILED(status))
            ShowBuddy(buddy, nullptr);
        break;
    default: break;
    }
}

HRESULT CClientEngine::AddBuddyToList(const QString& uri, const QString& name)
{
    IRTCClientPresence2* presence = PresenceOf(m_client);
    if (!presence)
        return E_NOINTERFACE;
    RtcBuddyPtr buddy;
    const HRESULT hr = presence->AddBuddy(uri, name, QString(), true, nullptr, 0, buddy);
    if (FAILED(hr)) {
        qCWarning(lcBuddyList) << "the library refused the buddy" << uri << Qt::hex << hr;
        return hr;
    }
    if (!m_buddyList)
        return S_OK; // no list on show: the library keeps the buddy for the next one
    return ShowBuddy(buddy, m_buddyList->BuddiesRoot());
}

HRESULT CClientEngine::CreateGroup(const QString& name)
{
    if (name.trimmed().isEmpty())
        return E_INVALIDARG;
    IRTCClientPresence2* presence = PresenceOf(m_client);
    if (!presence)
        return E_NOINTERFACE;
    RtcGroupPtr group;
    const HRESULT hr = presence->AddGroup(name, QString(), nullptr, 0, group);
    if (FAILED(hr)) {
        qCWarning(lcBuddyList) << "the library refused the group" << name << Qt::hex << hr;
        return hr;
    }
    ShowGroupItem(group);
    return S_OK;
}

HRESULT CClientEngine::ShowProfile(QWidget* owner, const RtcBuddyPtr& buddy)
{
    if (!buddy)
        return E_POINTER;
    QString name, number, notes;
    GetBuddyName(*buddy, name);
    buddy->get_PresentityURI(number);
    ToDisplayNumber(number);
    RTC_PRESENCE_STATUS status;
    const QString statusText =
        SUCCEEDED(buddy->get_Status(status)) ? ProfileStatusText(status) : ProfileStatusText(RTCXS_PRESENCE_OFFLINE);
    buddy->get_Notes(notes);
    notes = SingleLine(notes);
    if (notes.isEmpty())
        notes = QStringLiteral("(None)");
    const QString text = QStringLiteral("Name:\t\t%1\nOrvaloPhone #:\t%2\nStatus:\t\t%3\nNotes:\t\t%4\n")
                             .arg(name, number, statusText, notes)
                             .left(kProfileLimit);
    CMessageBox::Show(owner, text, QStringLiteral("View Profile"));
    return S_OK;
}

HRESULT CClientEngine::SendMessageToBuddy(const RtcBuddyPtr& buddy)
{
    QString uri, name;
    const HRESULT hr = GetBuddyAddress(buddy, uri, name);
    if (FAILED(hr))
        return hr;
    return MakeCall(RTCST_MULTIPARTY_IM, uri, name);
}

HRESULT CClientEngine::CallBuddy(const RtcBuddyPtr& buddy)
{
    QString uri, name;
    const HRESULT hr = GetBuddyAddress(buddy, uri, name);
    if (FAILED(hr))
        return hr;
    QString number = uri;
    ToDisplayNumber(number);
    m_display.SelectPhoneView();
    m_display.SetDialedNumber(number);
    m_display.ShowStatusMessage(number + QStringLiteral("\r\r\nCalling..."));
    // Members of the service are reached computer to computer; every other number is a phone.
    const RTC_SESSION_TYPE type = number.startsWith(QLatin1String("999")) ? RTCST_PC_TO_PC : RTCST_PC_TO_PHONE;
    return MakeCall(type, uri, name);
}

HRESULT CClientEngine::RemoveBuddy(const RtcBuddyPtr& buddy)
{
    IRTCClientPresence2* presence = PresenceOf(m_client);
    return presence ? presence->RemoveBuddy(buddy) : E_NOINTERFACE;
}

HRESULT CClientEngine::RefreshBuddy(const RtcBuddyPtr& buddy)
{
    return buddy ? buddy->Refresh() : E_POINTER;
}

HRESULT CClientEngine::RemoveGroup(const RtcGroupPtr& group)
{
    IRTCClientPresence2* presence = PresenceOf(m_client);
    return presence ? presence->RemoveGroup(group) : E_NOINTERFACE;
}

HRESULT CClientEngine::AddBuddyToGroup(const RtcGroupPtr& group, const QString& uri)
{
    RtcBuddyPtr buddy;
    const HRESULT hr = FindBuddy(m_client, group, uri, buddy);
    if (SUCCEEDED(hr))
        group->AddBuddy(buddy); // the group's own answer does not matter here
    return hr;
}

HRESULT CClientEngine::RemoveBuddyFromGroup(const RtcGroupPtr& group, const QString& uri)
{
    RtcBuddyPtr buddy;
    const HRESULT hr = FindBuddy(m_client, group, uri, buddy);
    if (SUCCEEDED(hr))
        group->RemoveBuddy(buddy);
    return hr;
}
