// A voice session (PC to PC or PC to phone): one call with one remote party.
// Both types INVITE the sip: URI given to AddParticipant.
#pragma once

#include "SessionBase.h"

#include <linphone++/call.hh>

class CCallSession final : public CSessionBase {
public:
    CCallSession(std::weak_ptr<CLinphoneClient> client, RTC_SESSION_TYPE type);

    // A session for a call that arrived; reports it as INCOMING.
    static std::shared_ptr<CCallSession> Incoming(const std::shared_ptr<CLinphoneClient>& client,
                                                  const std::shared_ptr<linphone::Call>& call);

    HRESULT Answer() override;
    HRESULT Terminate(RTC_TERMINATE_REASON reason) override;
    HRESULT AddParticipant(const QString& uri, const QString& name, RtcParticipantPtr& participant) override;
    HRESULT RemoveParticipant(const RtcParticipantPtr& participant) override;
    HRESULT get_CanAddParticipants(bool& canAdd) override;
    HRESULT SendMessage(const QString& contentType, const QString& message, int cookie) override;
    HRESULT SendMessageStatus(RTC_MESSAGING_USER_STATUS status, int cookie) override;

    void Bind(const std::shared_ptr<linphone::Call>& call) { m_call = call; }
    bool Holds(linphone::Call* call) const;
    const std::shared_ptr<linphone::Call>& call() const { return m_call; }
    // Media flows (or is being set up) in this call.
    bool mediaActive() const;
    void OnCallState(linphone::Call::State state);
    void OnDtmfReceived(int dtmf);
    // The microphone did not open and silence stands in for it: told once a call.
    void OnMicrophoneFailed();
    // The call's Call-ID, as the far end's requests carry it.
    QByteArray callId() const;
    // The far end's BYE has arrived and is not read yet: the call ends for the program
    // now, while the library stops the streams and writes its history when it reads it.
    // False when the call had already ended.
    bool OnRemoteHangUpArriving();
    // Credentials for a challenged INVITE did not come: the call fails.
    void OnAuthenticationTimeout();
    // Drops the library's call before the core stops.
    void Detach();

private:
    void Disconnect(HRESULT status, const QString& text);
    void PostMedia(RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON reason);
    void PostMedia(int media, RTC_MEDIA_EVENT_TYPE type, RTC_MEDIA_EVENT_REASON reason);
    void EndIfStillUp();
    void HangUpAheadOfLibrary(CLinphoneClient& client);
    std::shared_ptr<CParticipant> remote() const;

    std::shared_ptr<linphone::Call> m_call;
    bool m_mediaStarted = false;
    bool m_microphoneFailed = false;
};
