// The SIP layer as a module the program opens at run time. liblinphone and the
// libraries it brings take longer to load than Qt takes to show the window, so
// the program shows the window first, loads the module on a thread of its own
// while the window comes up, and creates the client once both are done.
#pragma once

#include "platform/linphone/LinphoneClientFactory.h"

#include <QString>

#include <chrono>
#include <memory>
#include <string>

// The module's one entry point, exported under kCreateRtcClientEntry.
using CreateRtcClientFunction = HRESULT (*)(const LinphoneClientOptions& options, RtcClientPtr& client);
inline constexpr char kCreateRtcClientEntry[] = "OrvaloCreateLinphoneRtcClient";

class CLinphoneModule {
public:
    // Starts loading the module file on a thread of its own.
    explicit CLinphoneModule(const std::string& path);
    ~CLinphoneModule();
    CLinphoneModule(const CLinphoneModule&) = delete;
    CLinphoneModule& operator=(const CLinphoneModule&) = delete;

    // Where the package puts the module: lib/orvalo-phone/ beside the program's bin/.
    static std::string DefaultPath();

    // Waits for the load, at most `timeout`; false, with Error() saying why, when
    // the module could not be loaded in that time or is not the phone's module.
    bool Wait(std::chrono::milliseconds timeout);
    QString Error() const;

    // A client over the loaded module; E_FAIL before Wait() succeeded.
    HRESULT CreateClient(const LinphoneClientOptions& options, RtcClientPtr& client) const;

private:
    struct SLoad;
    // Shared with the loading thread, which outlives a wait that gave up.
    std::shared_ptr<SLoad> m_load;
    CreateRtcClientFunction m_create = nullptr;
};
