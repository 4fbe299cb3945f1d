// The SIP layer as a module the program opens at run time. liblinphone and the
// libraries it brings take longer to load than Qt takes to show the window, so
// the program shows the window first, loads the module on a thread of its own
// while the window comes up, and creates the client once both are done.
#pragma once

#include "platform/linphone/LinphoneClientFactory.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

class QObject;

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

    // Calls `loaded` from the event loop of context's thread once the load is over
    // (on the next turn if it already is): true when the module serves, false when
    // it could not be loaded or is not the phone's module (Error() says why).
    // The context must outlive this object.
    void WhenLoaded(QObject* context, std::function<void(bool)> loaded);
    QString Error() const;

    // A client over the loaded module; E_FAIL while it is not loaded.
    HRESULT CreateClient(const LinphoneClientOptions& options, RtcClientPtr& client) const;

private:
    struct SLoad;
    // Shared with the loading thread.
    std::shared_ptr<SLoad> m_load;
};
