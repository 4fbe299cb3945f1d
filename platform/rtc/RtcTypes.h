// Status codes and enumeration values of the real-time communications layer.
// The numeric values are part of the contract: the engine stores them, compares
// them and passes them on unchanged.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;

constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);

// The layer's own codes.
constexpr HRESULT RTC_E_NO_DISPLAY_NAME = static_cast<HRESULT>(0x80EE0058u); // the party sent no display name
constexpr HRESULT RTC_E_NOT_EXIST = static_cast<HRESULT>(0x80EE0020u);       // no such buddy, group or watcher
constexpr HRESULT RTC_E_INVALID_STATE = static_cast<HRESULT>(0x80EE0010u);   // operation not allowed in this state
constexpr HRESULT RTC_E_NETWORK = static_cast<HRESULT>(0x80EE0030u);         // transport failure, no SIP answer
constexpr HRESULT RTC_E_TIMEOUT = static_cast<HRESULT>(0x80EE0031u);         // request timed out
constexpr HRESULT RTC_E_NO_DEVICE = static_cast<HRESULT>(0x80EE0040u);       // no audio device available

// A SIP final answer as a status: 0x80EF0000 + the SIP code.
constexpr HRESULT RTC_E_SIP_BASE = static_cast<HRESULT>(0x80EF0000u);
constexpr HRESULT RtcSipStatus(int sipCode)
{
    return static_cast<HRESULT>(0x80EF0000u + static_cast<unsigned>(sipCode));
}
constexpr bool IsRtcSipStatus(HRESULT hr)
{
    return (static_cast<std::uint32_t>(hr) & 0xFFFF0000u) == 0x80EF0000u;
}
constexpr int SipCodeOf(HRESULT hr)
{
    return IsRtcSipStatus(hr) ? static_cast<int>(hr & 0xFFFF) : 0;
}

constexpr HRESULT RTC_E_STATUS_CLIENT_UNAUTHORIZED = RtcSipStatus(401);        // 0x80EF0191
constexpr HRESULT RTC_E_STATUS_CLIENT_FORBIDDEN = RtcSipStatus(403);           // 0x80EF0193
constexpr HRESULT RTC_E_STATUS_CLIENT_NOT_FOUND = RtcSipStatus(404);           // 0x80EF0194
constexpr HRESULT RTC_E_STATUS_CLIENT_PROXY_AUTH_REQUIRED = RtcSipStatus(407); // 0x80EF0197
constexpr HRESULT RTC_E_STATUS_CLIENT_TEMPORARILY_NOT_AVAILABLE = RtcSipStatus(480);
constexpr HRESULT RTC_E_STATUS_CLIENT_BUSY_HERE = RtcSipStatus(486);
constexpr HRESULT RTC_E_STATUS_GLOBAL_DECLINE = RtcSipStatus(603);

enum RTC_EVENT {
    RTCE_CLIENT = 0,
    RTCE_REGISTRATION_STATE_CHANGE = 1,
    RTCE_SESSION_STATE_CHANGE = 2,
    RTCE_SESSION_OPERATION_COMPLETE = 3,
    RTCE_PARTICIPANT_STATE_CHANGE = 4,
    RTCE_MEDIA = 5,
    RTCE_INTENSITY = 6,
    RTCE_MESSAGING = 7,
    RTCE_BUDDY = 8,
    RTCE_WATCHER = 9,
    RTCE_PROFILE = 10,
    RTCE_USERSEARCH = 11,
    RTCE_INFO = 12,
    RTCE_GROUP = 13,
    RTCE_MEDIA_REQUEST = 14,
    RTCE_ROAMING = 15,
    RTCE_PRESENCE_PROPERTY = 16,
    RTCE_PRESENCE_DATA = 17,
    RTCE_PRESENCE_STATUS = 18,
    RTCE_SESSION_REFER_STATUS = 19,
    RTCE_SESSION_REFERRED = 20,
    RTCE_REINVITE = 21,
};

// Bits of put_EventFilter.
enum RTC_EVENT_FILTER : std::int32_t {
    RTCEF_CLIENT = 0x1,
    RTCEF_REGISTRATION_STATE_CHANGE = 0x2,
    RTCEF_SESSION_STATE_CHANGE = 0x4,
    RTCEF_SESSION_OPERATION_COMPLETE = 0x8,
    RTCEF_PARTICIPANT_STATE_CHANGE = 0x10,
    RTCEF_MEDIA = 0x20,
    RTCEF_INTENSITY = 0x40,
    RTCEF_MESSAGING = 0x80,
    RTCEF_BUDDY = 0x100,
    RTCEF_WATCHER = 0x200,
    RTCEF_PROFILE = 0x400,
    RTCEF_USERSEARCH = 0x800,
    RTCEF_INFO = 0x1000,
    RTCEF_GROUP = 0x2000,
    RTCEF_MEDIA_REQUEST = 0x4000,
    RTCEF_ROAMING = 0x10000,
    RTCEF_PRESENCE_PROPERTY = 0x20000,
    RTCEF_BUDDY2 = 0x40000,
    RTCEF_WATCHER2 = 0x80000,
    RTCEF_SESSION_REFER_STATUS = 0x100000,
    RTCEF_SESSION_REFERRED = 0x200000,
    RTCEF_REINVITE = 0x400000,
    RTCEF_PRESENCE_DATA = 0x800000,
    RTCEF_PRESENCE_STATUS = 0x1000000,
};

// Whether an event type passes a filter; buddy and watcher events pass either of their two bits.
constexpr bool RtcEventPassesFilter(RTC_EVENT type, std::int32_t filter)
{
    switch (type) {
    case RTCE_INFO: return filter & RTCEF_INFO;
    case RTCE_GROUP: return filter & RTCEF_GROUP;
    case RTCE_MEDIA_REQUEST: return filter & RTCEF_MEDIA_REQUEST;
    case RTCE_ROAMING: return filter & RTCEF_ROAMING;
    case RTCE_PRESENCE_PROPERTY: return filter & RTCEF_PRESENCE_PROPERTY;
    case RTCE_PRESENCE_DATA: return filter & RTCEF_PRESENCE_DATA;
    case RTCE_PRESENCE_STATUS: return filter & RTCEF_PRESENCE_STATUS;
    case RTCE_SESSION_REFER_STATUS: return filter & RTCEF_SESSION_REFER_STATUS;
    case RTCE_SESSION_REFERRED: return filter & RTCEF_SESSION_REFERRED;
    case RTCE_REINVITE: return filter & RTCEF_REINVITE;
    case RTCE_BUDDY: return filter & (RTCEF_BUDDY | RTCEF_BUDDY2);
    case RTCE_WATCHER: return filter & (RTCEF_WATCHER | RTCEF_WATCHER2);
    default: return type >= 0 && type <= RTCE_USERSEARCH && (filter & (1 << type));
    }
}

enum RTC_SESSION_TYPE {
    RTCST_PC_TO_PC = 0,
    RTCST_PC_TO_PHONE = 1,
    RTCST_PHONE_TO_PHONE = 2,
    RTCST_IM = 3,
    RTCST_MULTIPARTY_IM = 4,
    RTCST_APPLICATION = 5,
};

enum RTC_SESSION_STATE {
    RTCSS_IDLE = 0,
    RTCSS_INCOMING = 1,
    RTCSS_ANSWERING = 2,
    RTCSS_INPROGRESS = 3,
    RTCSS_CONNECTED = 4,
    RTCSS_DISCONNECTED = 5,
    RTCSS_HOLD = 6,
    RTCSS_REFER = 7,
};

enum RTC_PARTICIPANT_STATE {
    RTCPS_IDLE = 0,
    RTCPS_PENDING = 1,
    RTCPS_INCOMING = 2,
    RTCPS_ANSWERING = 3,
    RTCPS_INPROGRESS = 4,
    RTCPS_ALERTING = 5,
    RTCPS_CONNECTED = 6,
    RTCPS_DISCONNECTING = 7,
    RTCPS_DISCONNECTED = 8,
};

enum RTC_REGISTRATION_STATE {
    RTCRS_NOT_REGISTERED = 0,
    RTCRS_REGISTERING = 1,
    RTCRS_REGISTERED = 2,
    RTCRS_REJECTED = 3,
    RTCRS_UNREGISTERING = 4,
    RTCRS_ERROR = 5,
    RTCRS_LOGGED_OFF = 6,
    RTCRS_LOCAL_PA_LOGGED_OFF = 7,
    RTCRS_REMOTE_PA_LOGGED_OFF = 8,
};

enum RTC_PRESENCE_STATUS {
    RTCXS_PRESENCE_OFFLINE = 0,
    RTCXS_PRESENCE_ONLINE = 1,
    RTCXS_PRESENCE_AWAY = 2,
    RTCXS_PRESENCE_IDLE = 3,
    RTCXS_PRESENCE_BUSY = 4,
    RTCXS_PRESENCE_BE_RIGHT_BACK = 5,
    RTCXS_PRESENCE_ON_THE_PHONE = 6,
    RTCXS_PRESENCE_OUT_TO_LUNCH = 7,
};

enum RTC_WATCHER_STATE {
    RTCWS_UNKNOWN = 0,
    RTCWS_OFFERING = 1,
    RTCWS_ALLOWED = 2,
    RTCWS_BLOCKED = 3,
    RTCWS_DENIED = 4,
    RTCWS_PROMPT = 5,
};

enum RTC_ACE_SCOPE {
    RTCAS_SCOPE_USER = 0,
    RTCAS_SCOPE_DOMAIN = 1,
    RTCAS_SCOPE_ALL = 2,
};

enum RTC_TERMINATE_REASON {
    RTCTR_NORMAL = 0,
    RTCTR_DND = 1,
    RTCTR_BUSY = 2,
    RTCTR_REJECT = 3,
    RTCTR_TIMEOUT = 4,
    RTCTR_SHUTDOWN = 5,
};

enum RTC_DTMF {
    RTC_DTMF_0 = 0,
    RTC_DTMF_1 = 1,
    RTC_DTMF_2 = 2,
    RTC_DTMF_3 = 3,
    RTC_DTMF_4 = 4,
    RTC_DTMF_5 = 5,
    RTC_DTMF_6 = 6,
    RTC_DTMF_7 = 7,
    RTC_DTMF_8 = 8,
    RTC_DTMF_9 = 9,
    RTC_DTMF_STAR = 10,
    RTC_DTMF_POUND = 11,
    RTC_DTMF_A = 12,
    RTC_DTMF_B = 13,
    RTC_DTMF_C = 14,
    RTC_DTMF_D = 15,
    RTC_DTMF_FLASH = 16,
};

enum RTC_AUDIO_DEVICE {
    RTCAD_SPEAKER = 0,
    RTCAD_MICROPHONE = 1,
};

enum RTC_RING_TYPE {
    RTCRT_PHONE = 0,
    RTCRT_MESSAGE = 1,
    RTCRT_RINGBACK = 2,
};

// Media type bits (get_MediaCapabilities, media events).
enum RTC_MEDIA_TYPE : std::int32_t {
    RTCMT_AUDIO_SEND = 0x1,
    RTCMT_AUDIO_RECEIVE = 0x2,
    RTCMT_VIDEO_SEND = 0x4,
    RTCMT_VIDEO_RECEIVE = 0x8,
    RTCMT_T120_SENDRECV = 0x10,
};

enum RTC_MEDIA_EVENT_TYPE {
    RTCMET_STOPPED = 0,
    RTCMET_STARTED = 1,
    RTCMET_FAILED = 2,
};

enum RTC_MEDIA_EVENT_REASON {
    RTCMER_NORMAL = 0,
    RTCMER_HOLD = 1,
    RTCMER_TIMEOUT = 2,
    RTCMER_BAD_DEVICE = 3,
};

enum RTC_CLIENT_EVENT_TYPE {
    RTCCET_VOLUME_CHANGE = 0,
    RTCCET_DEVICE_CHANGE = 1,
    RTCCET_NETWORK_QUALITY_CHANGE = 2,
    RTCCET_ASYNC_CLEANUP_DONE = 3,
};

enum RTC_BUDDY_EVENT_TYPE {
    RTCBET_BUDDY_ADD = 0,
    RTCBET_BUDDY_REMOVE = 1,
    RTCBET_BUDDY_UPDATE = 2,
    RTCBET_BUDDY_STATE_CHANGE = 3,
    RTCBET_BUDDY_ROAMED = 4,
    RTCBET_BUDDY_SUBSCRIBED = 5,
};

enum RTC_WATCHER_EVENT_TYPE {
    RTCWET_WATCHER_ADD = 0,
    RTCWET_WATCHER_REMOVE = 1,
    RTCWET_WATCHER_UPDATE = 2,
    RTCWET_WATCHER_OFFERING = 3,
    RTCWET_WATCHER_ROAMED = 4,
};

enum RTC_GROUP_EVENT_TYPE {
    RTCGET_GROUP_ADD = 0,
    RTCGET_GROUP_REMOVE = 1,
    RTCGET_GROUP_UPDATE = 2,
    RTCGET_GROUP_BUDDY_ADD = 3,
    RTCGET_GROUP_BUDDY_REMOVE = 4,
    RTCGET_GROUP_ROAMED = 5,
};

enum RTC_MESSAGING_EVENT_TYPE {
    RTCMSET_MESSAGE = 0,
    RTCMSET_STATUS = 1,
};

enum RTC_MESSAGING_USER_STATUS {
    RTCMUS_IDLE = 0,
    RTCMUS_TYPING = 1,
};

enum RTC_PROFILE_EVENT_TYPE {
    RTCPFET_PROFILE_GET = 0,
    RTCPFET_PROFILE_UPDATE = 1,
};

enum RTC_ROAMING_EVENT_TYPE {
    RTCRET_BUDDY_ROAMING = 0,
    RTCRET_WATCHER_ROAMING = 1,
    RTCRET_PRESENCE_ROAMING = 2,
    RTCRET_PROFILE_ROAMING = 3,
    RTCRET_WPENDING_ROAMING = 4,
};

enum RTC_PRESENCE_PROPERTY {
    RTCPP_PHONENUMBER = 0,
    RTCPP_DISPLAYNAME = 1,
    RTCPP_EMAIL = 2,
    RTCPP_DEVICE_NAME = 3,
    RTCPP_MULTIPLE = 4,
};

enum RTC_BUDDY_SUBSCRIPTION_TYPE {
    RTCBT_SUBSCRIBED = 0,
    RTCBT_ALWAYS_OFFLINE = 1,
    RTCBT_ALWAYS_ONLINE = 2,
    RTCBT_POLL = 3,
};

enum RTC_ANSWER_MODE {
    RTCAM_OFFER_SESSION_EVENT = 0,
    RTCAM_AUTOMATICALLY_ACCEPT = 1,
    RTCAM_AUTOMATICALLY_REJECT = 2,
    RTCAM_NOT_SUPPORTED = 3,
};

// Transports (GetProfile, put_AllowedPorts).
enum RTC_TRANSPORT : std::int32_t {
    RTCTR_UDP = 0x1,
    RTCTR_TCP = 0x2,
    RTCTR_TLS = 0x4,
};

enum RTC_LISTEN_MODE {
    RTCLM_NONE = 0,
    RTCLM_DYNAMIC = 1,
    RTCLM_BOTH = 2,
};

// Authentication methods (put_AllowedAuth).
enum RTC_AUTH : std::int32_t {
    RTCAU_BASIC = 0x1,
    RTCAU_DIGEST = 0x2,
    RTCAU_NTLM = 0x4,
    RTCAU_KERBEROS = 0x8,
};

// Register flags of EnableProfile.
enum RTC_REGISTER_FLAGS : std::int32_t {
    RTCRF_REGISTER_INVITE_SESSIONS = 0x1,
    RTCRF_REGISTER_MESSAGE_SESSIONS = 0x2,
    RTCRF_REGISTER_PRESENCE = 0x4,
    RTCRF_REGISTER_NOTIFY = 0x8,
    RTCRF_REGISTER_ALL = 0xF,
};

// Roaming flags of EnableProfileEx.
enum RTC_ROAMING_FLAGS : std::int32_t {
    RTCRMF_BUDDY_ROAMING = 0x1,
    RTCRMF_WATCHER_ROAMING = 0x2,
    RTCRMF_PRESENCE_ROAMING = 0x4,
    RTCRMF_PROFILE_ROAMING = 0x8,
    RTCRMF_ALL_ROAMING = 0xF,
};
