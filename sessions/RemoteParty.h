// How a session's far end is named on screen.
#pragma once

#include "platform/rtc/RtcInterfaces.h"

#include <QString>

// The display name of the session's first participant; its address in display
// form when it has no name; empty when the session has no participant.
QString GetRemoteDisplayName(IRTCSession& session);
