// Event objects of the layer. Each event type has its own class; the receiver
// asks for the class of the type it was told (a failed cast means the event
// does not offer that interface). Events carry plain values filled in by the
// layer; m_readStatus lets a layer report that a value could not be read.
#pragma once

#include "RtcInterfaces.h"

#include <QString>

class IRTCEvent {
public:
    virtual ~IRTCEvent() = default;
    HRESULT m_readStatus = S_OK; // returned by every value read when negative

protected:
    template <typename T, typename V> HRESULT read(T& out, const V& value) const
    {
        if (FAILED(m_readStatus))
            return m_readStatus;
        out = value;
        return S_OK;
    }
    template <typename P> HRESULT readObject(P& out, const P& value) const
    {
        if (FAILED(m_readStatus))
            return m_readStatus;
        if (!value)
            return E_POINTER;
        out = value;
        return S_OK;
    }
};

class IRTCClientEvent : public IRTCEvent {
public:
    HRESULT get_EventType(RTC_CLIENT_EVENT_TYPE& type) const { return read(type, m_eventType); }
    HRESULT get_Client(RtcClientPtr& client) const { return readObject(client, m_client); }

    RTC_CLIENT_EVENT_TYPE m_eventType = RTCCET_VOLUME_CHANGE;
    RtcClientPtr m_client;
};

class IRTCRegistrationStateChangeEvent : public IRTCEvent {
public:
    HRESULT get_Profile(RtcProfilePtr& profile) const { return readObject(profile, m_profile); }
    HRESULT get_State(RTC_REGISTRATION_STATE& state) const { return read(state, m_state); }
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }
    HRESULT get_StatusText(QString& text) const { return read(text, m_statusText); }

    RtcProfilePtr m_profile;
    RTC_REGISTRATION_STATE m_state = RTCRS_NOT_REGISTERED;
    HRESULT m_statusCode = S_OK;
    QString m_statusText;
};

class IRTCSessionStateChangeEvent : public IRTCEvent {
public:
    HRESULT get_Session(RtcSessionPtr& session) const { return readObject(session, m_session); }
    HRESULT get_State(RTC_SESSION_STATE& state) const { return read(state, m_state); }
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }
    HRESULT get_StatusText(QString& text) const { return read(text, m_statusText); }

    RtcSessionPtr m_session;
    RTC_SESSION_STATE m_state = RTCSS_IDLE;
    HRESULT m_statusCode = S_OK;
    QString m_statusText;
};

class IRTCSessionOperationCompleteEvent : public IRTCEvent {
public:
    HRESULT get_Session(RtcSessionPtr& session) const { return readObject(session, m_session); }
    HRESULT get_Cookie(int& cookie) const { return read(cookie, m_cookie); }
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }

    RtcSessionPtr m_session;
    int m_cookie = 0;
    HRESULT m_statusCode = S_OK;
};

class IRTCParticipantStateChangeEvent : public IRTCEvent {
public:
    HRESULT get_Participant(RtcParticipantPtr& participant) const { return readObject(participant, m_participant); }
    HRESULT get_State(RTC_PARTICIPANT_STATE& state) const { return read(state, m_state); }
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }

    RtcParticipantPtr m_participant;
    RTC_PARTICIPANT_STATE m_state = RTCPS_IDLE;
    HRESULT m_statusCode = S_OK;
};

class IRTCMediaEvent : public IRTCEvent {
public:
    HRESULT get_MediaType(int& type) const { return read(type, m_mediaType); }
    HRESULT get_EventType(RTC_MEDIA_EVENT_TYPE& type) const { return read(type, m_eventType); }
    HRESULT get_EventReason(RTC_MEDIA_EVENT_REASON& reason) const { return read(reason, m_eventReason); }

    int m_mediaType = RTCMT_AUDIO_SEND;
    RTC_MEDIA_EVENT_TYPE m_eventType = RTCMET_STARTED;
    RTC_MEDIA_EVENT_REASON m_eventReason = RTCMER_NORMAL;
};

class IRTCIntensityEvent : public IRTCEvent {
public:
    HRESULT get_Direction(RTC_AUDIO_DEVICE& direction) const { return read(direction, m_direction); }
    HRESULT get_Level(int& level) const { return read(level, m_level); }
    HRESULT get_Min(int& minimum) const { return read(minimum, m_min); }
    HRESULT get_Max(int& maximum) const { return read(maximum, m_max); }

    RTC_AUDIO_DEVICE m_direction = RTCAD_MICROPHONE;
    int m_level = 0;
    int m_min = 0;
    int m_max = 0;
};

class IRTCMessagingEvent : public IRTCEvent {
public:
    HRESULT get_Session(RtcSessionPtr& session) const { return readObject(session, m_session); }
    HRESULT get_Participant(RtcParticipantPtr& participant) const { return readObject(participant, m_participant); }
    HRESULT get_EventType(RTC_MESSAGING_EVENT_TYPE& type) const { return read(type, m_eventType); }
    HRESULT get_Message(QString& message) const { return read(message, m_message); }
    HRESULT get_MessageHeader(QString& header) const { return read(header, m_messageHeader); }
    HRESULT get_UserStatus(RTC_MESSAGING_USER_STATUS& status) const { return read(status, m_userStatus); }

    RtcSessionPtr m_session;
    RtcParticipantPtr m_participant;
    RTC_MESSAGING_EVENT_TYPE m_eventType = RTCMSET_MESSAGE;
    QString m_message;
    QString m_messageHeader;
    RTC_MESSAGING_USER_STATUS m_userStatus = RTCMUS_IDLE;
};

class IRTCBuddyEvent2 : public IRTCEvent {
public:
    HRESULT get_Buddy(RtcBuddyPtr& buddy) const { return readObject(buddy, m_buddy); }
    HRESULT get_EventType(RTC_BUDDY_EVENT_TYPE& type) const { return read(type, m_eventType); }
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }
    HRESULT get_StatusText(QString& text) const { return read(text, m_statusText); }

    RtcBuddyPtr m_buddy;
    RTC_BUDDY_EVENT_TYPE m_eventType = RTCBET_BUDDY_UPDATE;
    HRESULT m_statusCode = S_OK;
    QString m_statusText;
};

class IRTCWatcherEvent2 : public IRTCEvent {
public:
    HRESULT get_Watcher(RtcWatcherPtr& watcher) const { return readObject(watcher, m_watcher); }
    HRESULT get_EventType(RTC_WATCHER_EVENT_TYPE& type) const { return read(type, m_eventType); }
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }

    RtcWatcherPtr m_watcher;
    RTC_WATCHER_EVENT_TYPE m_eventType = RTCWET_WATCHER_UPDATE;
    HRESULT m_statusCode = S_OK;
};

class IRTCProfileEvent2 : public IRTCEvent {
public:
    HRESULT get_Profile(RtcProfilePtr& profile) const { return readObject(profile, m_profile); }
    HRESULT get_Cookie(int& cookie) const { return read(cookie, m_cookie); }
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }
    HRESULT get_EventType(RTC_PROFILE_EVENT_TYPE& type) const { return read(type, m_eventType); }

    RtcProfilePtr m_profile;
    int m_cookie = 0;
    HRESULT m_statusCode = S_OK;
    RTC_PROFILE_EVENT_TYPE m_eventType = RTCPFET_PROFILE_GET;
};

class IRTCUserSearchResultsEvent : public IRTCEvent {
public:
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }
    HRESULT m_statusCode = S_OK;
};

class IRTCInfoEvent : public IRTCEvent {
public:
    HRESULT get_Session(RtcSessionPtr& session) const { return readObject(session, m_session); }
    HRESULT get_Participant(RtcParticipantPtr& participant) const { return readObject(participant, m_participant); }
    HRESULT get_Info(QString& info) const { return read(info, m_info); }
    HRESULT get_InfoHeader(QString& header) const { return read(header, m_infoHeader); }

    RtcSessionPtr m_session;
    RtcParticipantPtr m_participant;
    QString m_info;
    QString m_infoHeader;
};

class IRTCBuddyGroupEvent : public IRTCEvent {
public:
    HRESULT get_EventType(RTC_GROUP_EVENT_TYPE& type) const { return read(type, m_eventType); }
    HRESULT get_Group(RtcGroupPtr& group) const { return readObject(group, m_group); }
    HRESULT get_Buddy(RtcBuddyPtr& buddy) const { return readObject(buddy, m_buddy); }
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }

    RTC_GROUP_EVENT_TYPE m_eventType = RTCGET_GROUP_ADD;
    RtcGroupPtr m_group;
    RtcBuddyPtr m_buddy;
    HRESULT m_statusCode = S_OK;
};

class IRTCRoamingEvent : public IRTCEvent {
public:
    HRESULT get_EventType(RTC_ROAMING_EVENT_TYPE& type) const { return read(type, m_eventType); }
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }

    RTC_ROAMING_EVENT_TYPE m_eventType = RTCRET_BUDDY_ROAMING;
    HRESULT m_statusCode = S_OK;
};

class IRTCPresencePropertyEvent : public IRTCEvent {
public:
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }
    HRESULT get_PresenceProperty(RTC_PRESENCE_PROPERTY& property) const { return read(property, m_property); }
    HRESULT get_Value(QString& value) const { return read(value, m_value); }

    HRESULT m_statusCode = S_OK;
    RTC_PRESENCE_PROPERTY m_property = RTCPP_DEVICE_NAME;
    QString m_value;
};

class IRTCPresenceDataEvent : public IRTCEvent {
public:
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }
    HRESULT get_PresenceData(QString& ns, QString& data) const
    {
        if (FAILED(m_readStatus))
            return m_readStatus;
        ns = m_namespace;
        data = m_data;
        return S_OK;
    }

    HRESULT m_statusCode = S_OK;
    QString m_namespace;
    QString m_data;
};

class IRTCPresenceStatusEvent : public IRTCEvent {
public:
    HRESULT get_StatusCode(HRESULT& code) const { return read(code, m_statusCode); }
    HRESULT get_Status(RTC_PRESENCE_STATUS& status) const { return read(status, m_status); }
    HRESULT get_Notes(QString& notes) const { return read(notes, m_notes); }

    HRESULT m_statusCode = S_OK;
    RTC_PRESENCE_STATUS m_status = RTCXS_PRESENCE_OFFLINE;
    QString m_notes;
};
