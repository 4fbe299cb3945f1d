#include "CallCheck.h"

#include "tests/integration/Endpoint.h"

namespace {
constexpr int kSignallingMs = 15000;
constexpr int kSettleMs = 1000;
} // namespace

bool CallRings(CEndpoint& caller, const QString& uri)
{
    RtcSessionPtr call = caller.Call(uri);
    if (!call)
        return false;
    const bool rang = caller.events().Take<IRTCParticipantStateChangeEvent>(
                          RTCE_PARTICIPANT_STATE_CHANGE, [](const auto& e) { return e.m_state == RTCPS_ALERTING; },
                          kSignallingMs) != nullptr;
    const bool ended = SUCCEEDED(call->Terminate(RTCTR_NORMAL)) && caller.WaitSession(RTCSS_DISCONNECTED, call);
    // The cancelled call's last answers settle before the caller's core may go.
    CEventQueue::Pump(kSettleMs);
    return rang && ended;
}
