#include "LinphoneClientFactory.h"

#include "LinphoneClient.h"

HRESULT CreateLinphoneRtcClient(const LinphoneClientOptions& options, RtcClientPtr& client)
{
    client = std::make_shared<CLinphoneClient>(options);
    return S_OK;
}
