// The layer's status codes for the outcome of a SIP request as liblinphone reports it.
#pragma once

#include "platform/rtc/RtcTypes.h"

#include <linphone++/enums.hh>

#include <memory>

namespace linphone {
class ErrorInfo;
}

// 0x80EF0000 + the SIP code when the far end answered; a transport or time-out
// code when nothing came back; S_OK when there was no error.
HRESULT StatusFromError(const std::shared_ptr<const linphone::ErrorInfo>& error);
HRESULT StatusFromReason(linphone::Reason reason);

// Whether the status stands for a failure to reach the server rather than an answer of it.
bool IsTransportFailure(HRESULT status);
