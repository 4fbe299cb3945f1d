#include "MessageSession.h"

#include "LinphoneClient.h"
#include "LinphoneProfile.h"
#include "SipAddress.h"

#include "platform/rtc/RtcEvents.h"

#include <linphone++/linphone.hh>

namespace {

// Typing notices (RFC 3994) are sent as documents of their own, so that "idle"
// goes out exactly when the user stops, not after the library's own time-out.
std::string ComposingDocument(RTC_MESSAGING_USER_STATUS status)
{
    const char* state = status == RTCMUS_TYPING ? "active" : "idle";
    std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<isComposing xmlns=\"urn:ietf:params:xml:ns:im-iscomposing\">"
                           "<state>";
    document += state;
    document += "</state><contenttype>text/plain</contenttype>";
    if (status == RTCMUS_TYPING)
        document += "<refresh>90</refresh>";
    document += "</isComposing>";
    return document;
}

// Forwards the delivery states of sent messages; it owns nothing but a weak link.
class CMessageListener final : public linphone::ChatMessageListener {
public:
    explicit CMessageListener(std::weak_ptr<CMessageSession> session) : m_session(std::move(session)) {}

    void onMsgStateChanged(const std::shared_ptr<linphone::ChatMessage>& message,
                           linphone::ChatMessage::State state) override
    {
        if (auto session = m_session.lock())
            session->OnMessageState(message, static_cast<int>(state));
    }
    std::shared_ptr<linphone::Buffer> onFileTransferSend(const std::shared_ptr<linphone::ChatMessage>&,
                                                         const std::shared_ptr<linphone::Content>&, size_t,
                                                         size_t) override
    {
        return nullptr;
    }

private:
    std::weak_ptr<CMessageSession> m_session;
};

} // namespace

CMessageSession::CMessageSession(std::weak_ptr<CLinphoneClient> client, RTC_SESSION_TYPE type)
    : CSessionBase(std::move(client), type)
{
}

CMessageSession::~CMessageSession() = default;

std::shared_ptr<CMessageSession> CMessageSession::Incoming(const std::shared_ptr<CLinphoneClient>& client,
                                                           const std::shared_ptr<linphone::ChatRoom>& room,
                                                           const QString& name)
{
    auto session = std::make_shared<CMessageSession>(client, RTCST_IM);
    auto participant = session->AddParticipantObject(BareUri(room->getPeerAddress()), name, true);
    session->m_parties[participant].room = room;
    session->ChangeParticipantState(participant, RTCPS_INCOMING);
    session->ChangeState(RTCSS_INCOMING);
    if (client->AnswerMode(RTCST_IM) == RTCAM_AUTOMATICALLY_ACCEPT)
        session->Answer();
    return session;
}

HRESULT CMessageSession::Answer()
{
    if (m_state != RTCSS_INCOMING)
        return RTC_E_INVALID_STATE;
    for (const auto& participant : m_participants)
        ChangeParticipantState(participant, RTCPS_CONNECTED);
    ChangeState(RTCSS_CONNECTED);
    return S_OK;
}

HRESULT CMessageSession::Terminate(RTC_TERMINATE_REASON)
{
    if (m_state == RTCSS_DISCONNECTED)
        return S_FALSE;
    const auto participants = m_participants;
    for (const auto& participant : participants) {
        ChangeParticipantState(participant, RTCPS_DISCONNECTED);
        DropParticipant(participant);
    }
    m_parties.clear();
    ChangeState(RTCSS_DISCONNECTED);
    if (auto client = m_client.lock())
        client->RemoveChat(this);
    return S_OK;
}

HRESULT CMessageSession::AddParticipant(const QString& uri, const QString& name, RtcParticipantPtr& participant)
{
    auto client = RunningClient();
    if (!client || m_state == RTCSS_DISCONNECTED)
        return RTC_E_INVALID_STATE;
    auto address = client->core()->createAddress(uri.toStdString());
    if (!address || !address->isSip() || address->getUsername().empty())
        return E_INVALIDARG;
    const QString bare = BareUri(address);
    if (auto existing = FindParticipant(bare)) {
        participant = existing;
        return S_FALSE;
    }
    auto added = AddParticipantObject(bare, name, true);
    ChangeParticipantState(added, RTCPS_PENDING);
    if (m_state == RTCSS_IDLE)
        ChangeState(RTCSS_INPROGRESS);
    client->AddChat(std::static_pointer_cast<CMessageSession>(shared_from_this()));
    participant = added;
    return S_OK;
}

HRESULT CMessageSession::RemoveParticipant(const RtcParticipantPtr& participant)
{
    auto own = FindParticipant(participant);
    if (!own)
        return E_INVALIDARG;
    ChangeParticipantState(own, RTCPS_DISCONNECTED);
    DropParticipant(own);
    m_parties.erase(own);
    return S_OK;
}

HRESULT CMessageSession::get_CanAddParticipants(bool& canAdd)
{
    canAdd = m_state != RTCSS_DISCONNECTED;
    return S_OK;
}

bool CMessageSession::Serves(const QString& uri) const
{
    return m_state != RTCSS_DISCONNECTED && FindParticipant(uri) != nullptr;
}

std::shared_ptr<linphone::ChatRoom> CMessageSession::RoomFor(const std::shared_ptr<CParticipant>& participant)
{
    Party& party = m_parties[participant];
    if (party.room)
        return party.room;
    auto client = RunningClient();
    auto profile = client ? client->ActiveProfile() : nullptr;
    if (!profile)
        return nullptr;
    auto core = client->core();
    auto params = core->createDefaultChatRoomParams();
    params->setBackend(linphone::ChatRoomBackend::Basic);
    params->enableEncryption(false);
    params->enableGroup(false);
    auto local = core->createAddress(profile->userUri().toStdString());
    auto peer = core->createAddress(participant->uri().toStdString());
    if (!local || !peer)
        return nullptr;
    const std::list<std::shared_ptr<linphone::Address>> peers{peer};
    party.room = core->createChatRoom(params, local, peers);
    return party.room;
}

void CMessageSession::Queue(const std::shared_ptr<CParticipant>& participant, Outgoing outgoing)
{
    if (outgoing.operation)
        ++outgoing.operation->pending;
    m_parties[participant].queue.push_back(std::move(outgoing));
    SendNext(participant);
}

void CMessageSession::SendNext(const std::shared_ptr<CParticipant>& participant)
{
    Party& party = m_parties[participant];
    if (party.sending || party.queue.empty())
        return;
    Outgoing next = std::move(party.queue.front());
    party.queue.pop_front();
    auto room = RoomFor(participant);
    if (!room) {
        if (next.operation)
            Complete(next.operation, RTC_E_INVALID_STATE);
        SendNext(participant);
        return;
    }
    auto message = room->createEmptyMessage();
    auto content = linphone::Factory::get()->createContent();
    const auto slash = next.contentType.find('/');
    const auto semicolon = next.contentType.find(';');
    content->setType(next.contentType.substr(0, slash));
    content->setSubtype(
        next.contentType.substr(slash + 1, semicolon == std::string::npos ? std::string::npos : semicolon - slash - 1));
    if (semicolon != std::string::npos)
        content->addContentTypeParameter("charset", "UTF-8");
    content->setUtf8Text(next.body);
    message->addContent(content);
    if (!m_listener)
        m_listener = std::make_shared<CMessageListener>(std::static_pointer_cast<CMessageSession>(shared_from_this()));
    message->addListener(m_listener);
    m_sent[message.get()] = {message, participant, next.operation};
    party.sending = true;
    message->send();
}

HRESULT CMessageSession::SendMessage(const QString& contentType, const QString& message, int cookie)
{
    auto client = RunningClient();
    if (!client || m_state == RTCSS_DISCONNECTED)
        return RTC_E_INVALID_STATE;
    if (m_participants.empty())
        return RTC_E_INVALID_STATE;
    const QString type = contentType.trimmed();
    if (!type.isEmpty() && !type.startsWith(QStringLiteral("text/"), Qt::CaseInsensitive))
        return E_INVALIDARG;
    const std::string mime = type.isEmpty() ? kTextType : type.toStdString();
    auto operation = std::make_shared<Operation>();
    operation->cookie = cookie;
    const auto participants = m_participants;
    for (const auto& participant : participants) {
        // A party that could not be reached is tried again with the next message.
        if (participant->state() == RTCPS_DISCONNECTED)
            ChangeParticipantState(participant, RTCPS_PENDING);
        Queue(participant, {mime, message.toStdString(), operation});
    }
    client->Wake();
    return S_OK;
}

HRESULT CMessageSession::SendMessageStatus(RTC_MESSAGING_USER_STATUS status, int cookie)
{
    auto client = RunningClient();
    if (!client || m_state == RTCSS_DISCONNECTED)
        return RTC_E_INVALID_STATE;
    if (status != RTCMUS_IDLE && status != RTCMUS_TYPING)
        return E_INVALIDARG;
    const std::string document = ComposingDocument(status);
    const auto participants = m_participants;
    for (const auto& participant : participants)
        Queue(participant, {kComposingType, document, nullptr});
    client->Wake();
    // Typing notices are not confirmed one by one: the operation is done once they are out.
    auto event = std::make_shared<IRTCSessionOperationCompleteEvent>();
    event->m_session = shared_from_this();
    event->m_cookie = cookie;
    client->events().Post(RTCE_SESSION_OPERATION_COMPLETE, event);
    return S_OK;
}

void CMessageSession::OnMessageState(const std::shared_ptr<linphone::ChatMessage>& message, int state)
{
    const auto it = m_sent.find(message.get());
    if (it == m_sent.end())
        return;
    const Sent sent = it->second;
    HRESULT status = S_OK;
    switch (static_cast<linphone::ChatMessage::State>(state)) {
    case linphone::ChatMessage::State::Delivered:
    case linphone::ChatMessage::State::DeliveredToUser:
    case linphone::ChatMessage::State::Displayed: break;
    case linphone::ChatMessage::State::NotDelivered:
        // The message's error information says nothing more in this library version (an
        // unknown and an unregistered party look the same), and reading it leaks.
        status = E_FAIL;
        break;
    default: return;
    }
    m_sent.erase(it);
    if (sent.operation) {
        ChangeParticipantState(sent.participant, SUCCEEDED(status) ? RTCPS_CONNECTED : RTCPS_DISCONNECTED, status);
        if (SUCCEEDED(status))
            ChangeState(RTCSS_CONNECTED);
        Complete(sent.operation, status);
    }
    if (auto party = m_parties.find(sent.participant); party != m_parties.end()) {
        party->second.sending = false;
        SendNext(sent.participant);
    }
}

void CMessageSession::Complete(const std::shared_ptr<Operation>& operation, HRESULT status)
{
    if (FAILED(status) && SUCCEEDED(operation->status))
        operation->status = status;
    if (--operation->pending > 0)
        return;
    auto client = m_client.lock();
    if (!client)
        return;
    auto event = std::make_shared<IRTCSessionOperationCompleteEvent>();
    event->m_session = shared_from_this();
    event->m_cookie = operation->cookie;
    event->m_statusCode = operation->status;
    client->events().Post(RTCE_SESSION_OPERATION_COMPLETE, event);
}

void CMessageSession::OnMessageReceived(const std::shared_ptr<linphone::ChatMessage>& message)
{
    auto participant = FindParticipant(BareUri(message->getFromAddress()));
    if (!participant)
        return;
    Party& party = m_parties[participant];
    if (!party.room)
        party.room = message->getChatRoom();
    // A message ends the sender's typing.
    party.remoteStatus = RTCMUS_IDLE;
    if (m_state == RTCSS_CONNECTED)
        ChangeParticipantState(participant, RTCPS_CONNECTED);
    const std::string type = message->getContentType();
    PostMessaging(participant, RTCMSET_MESSAGE,
                  QStringLiteral("Content-Type: ") + QString::fromStdString(type.empty() ? kTextType : type),
                  QString::fromStdString(message->getUtf8Text()), RTCMUS_IDLE);
}

void CMessageSession::OnComposing(const std::shared_ptr<linphone::ChatRoom>& room)
{
    auto participant = FindParticipant(BareUri(room->getPeerAddress()));
    if (!participant)
        return;
    Party& party = m_parties[participant];
    const RTC_MESSAGING_USER_STATUS status = room->isRemoteComposing() ? RTCMUS_TYPING : RTCMUS_IDLE;
    // Refreshes of an unchanged state are not news.
    if (status == party.remoteStatus)
        return;
    party.remoteStatus = status;
    PostMessaging(participant, RTCMSET_STATUS, {}, {}, status);
}

void CMessageSession::PostMessaging(const std::shared_ptr<CParticipant>& participant, RTC_MESSAGING_EVENT_TYPE type,
                                    const QString& header, const QString& body, RTC_MESSAGING_USER_STATUS status)
{
    auto client = m_client.lock();
    if (!client)
        return;
    auto event = std::make_shared<IRTCMessagingEvent>();
    event->m_session = shared_from_this();
    event->m_participant = participant;
    event->m_eventType = type;
    event->m_messageHeader = header;
    event->m_message = body;
    event->m_userStatus = status;
    client->events().Post(RTCE_MESSAGING, event);
}

void CMessageSession::Detach()
{
    m_sent.clear();
    m_parties.clear();
    m_listener.reset();
    if (m_state != RTCSS_DISCONNECTED)
        ChangeState(RTCSS_DISCONNECTED);
}
