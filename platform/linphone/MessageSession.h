// A message session: text messages and typing notices with one or more parties.
// Each party has a one-to-one conversation of its own in the library; what the
// user sends goes to every party, one message at a time per party so that they
// arrive in order. Participants are PENDING when added, CONNECTED once a message
// to them was accepted and DISCONNECTED when delivery failed.
#pragma once

#include "SessionBase.h"

#include <deque>
#include <map>
#include <memory>
#include <string>

namespace linphone {
class ChatRoom;
class ChatMessage;
class ChatMessageListener;
} // namespace linphone

class CMessageSession final : public CSessionBase {
public:
    static constexpr const char* kTextType = "text/plain; charset=UTF-8";
    static constexpr const char* kComposingType = "application/im-iscomposing+xml";

    CMessageSession(std::weak_ptr<CLinphoneClient> client, RTC_SESSION_TYPE type);
    ~CMessageSession() override;

    // A session opened by a party who wrote first; reports it as INCOMING (and
    // accepts it when the answer mode says so).
    static std::shared_ptr<CMessageSession> Incoming(const std::shared_ptr<CLinphoneClient>& client,
                                                     const std::shared_ptr<linphone::ChatRoom>& room,
                                                     const QString& name);

    HRESULT Answer() override;
    HRESULT Terminate(RTC_TERMINATE_REASON reason) override;
    HRESULT AddParticipant(const QString& uri, const QString& name, RtcParticipantPtr& participant) override;
    HRESULT RemoveParticipant(const RtcParticipantPtr& participant) override;
    HRESULT get_CanAddParticipants(bool& canAdd) override;
    HRESULT SendMessage(const QString& contentType, const QString& message, int cookie) override;
    HRESULT SendMessageStatus(RTC_MESSAGING_USER_STATUS status, int cookie) override;

    // Whether a message from this party belongs here.
    bool Serves(const QString& uri) const;
    void OnMessageReceived(const std::shared_ptr<linphone::ChatMessage>& message);
    void OnComposing(const std::shared_ptr<linphone::ChatRoom>& room);
    void OnMessageState(const std::shared_ptr<linphone::ChatMessage>& message, int state);
    // Drops the library's conversations before the core stops.
    void Detach();

private:
    struct Operation {
        int cookie = 0;
        int pending = 0;
        HRESULT status = S_OK;
    };
    // Something to send to one party; typing notices have no operation.
    struct Outgoing {
        std::string contentType;
        std::string body;
        std::shared_ptr<Operation> operation;
    };
    struct Party {
        std::shared_ptr<linphone::ChatRoom> room;
        RTC_MESSAGING_USER_STATUS remoteStatus = RTCMUS_IDLE;
        std::deque<Outgoing> queue;
        bool sending = false;
    };
    struct Sent {
        std::shared_ptr<linphone::ChatMessage> message;
        std::shared_ptr<CParticipant> participant;
        std::shared_ptr<Operation> operation;
    };

    std::shared_ptr<linphone::ChatRoom> RoomFor(const std::shared_ptr<CParticipant>& participant);
    void Queue(const std::shared_ptr<CParticipant>& participant, Outgoing outgoing);
    // Sends the party's next queued message unless one is still on its way.
    void SendNext(const std::shared_ptr<CParticipant>& participant);
    void Complete(const std::shared_ptr<Operation>& operation, HRESULT status);
    void PostMessaging(const std::shared_ptr<CParticipant>& participant, RTC_MESSAGING_EVENT_TYPE type,
                       const QString& header, const QString& body, RTC_MESSAGING_USER_STATUS status);

    std::map<std::shared_ptr<CParticipant>, Party> m_parties;
    std::map<linphone::ChatMessage*, Sent> m_sent;
    std::shared_ptr<linphone::ChatMessageListener> m_listener;
};
