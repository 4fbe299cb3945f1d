// The entry point of the SIP module (LinphoneModule.h).
#include "LinphoneModule.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) HRESULT
OrvaloCreateLinphoneRtcClient(const LinphoneClientOptions& options, RtcClientPtr& client)
{
    return CreateLinphoneRtcClient(options, client);
}

static_assert(std::is_same_v<decltype(&OrvaloCreateLinphoneRtcClient), CreateRtcClientFunction>);
