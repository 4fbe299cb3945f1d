#include "SipStatus.h"

#include <linphone++/error_info.hh>

HRESULT StatusFromReason(linphone::Reason reason)
{
    using linphone::Reason;
    switch (reason) {
    case Reason::None:
    case Reason::Transferred: return S_OK;
    case Reason::NoResponse: return RTC_E_TIMEOUT;
    case Reason::IOError: return RTC_E_NETWORK;
    case Reason::Forbidden: return RtcSipStatus(403);
    case Reason::Declined: return RtcSipStatus(603);
    case Reason::NotFound: return RtcSipStatus(404);
    case Reason::NotAnswered: return RtcSipStatus(408);
    case Reason::Busy: return RtcSipStatus(486);
    case Reason::UnsupportedContent: return RtcSipStatus(415);
    case Reason::BadEvent: return RtcSipStatus(489);
    case Reason::DoNotDisturb: return RtcSipStatus(600);
    case Reason::Unauthorized: return RtcSipStatus(401);
    case Reason::NotAcceptable: return RtcSipStatus(488);
    case Reason::NoMatch: return RtcSipStatus(481);
    case Reason::MovedPermanently: return RtcSipStatus(301);
    case Reason::Gone: return RtcSipStatus(410);
    case Reason::TemporarilyUnavailable: return RtcSipStatus(480);
    case Reason::AddressIncomplete: return RtcSipStatus(484);
    case Reason::NotImplemented: return RtcSipStatus(501);
    case Reason::BadGateway: return RtcSipStatus(502);
    case Reason::SessionIntervalTooSmall: return RtcSipStatus(422);
    case Reason::ServerTimeout: return RtcSipStatus(504);
    case Reason::Unknown: return E_FAIL;
    }
    return E_FAIL;
}

HRESULT StatusFromError(const std::shared_ptr<const linphone::ErrorInfo>& error)
{
    if (!error)
        return S_OK;
    const linphone::Reason reason = error->getReason();
    // Time-outs and transport failures are produced locally; their code is not an answer.
    if (reason == linphone::Reason::NoResponse || reason == linphone::Reason::IOError)
        return StatusFromReason(reason);
    const int code = error->getProtocolCode();
    if (code >= 300 && code <= 699)
        return RtcSipStatus(code);
    return StatusFromReason(reason);
}

bool IsTransportFailure(HRESULT status)
{
    return status == RTC_E_NETWORK || status == RTC_E_TIMEOUT || status == RtcSipStatus(408) ||
           status == RtcSipStatus(503);
}
