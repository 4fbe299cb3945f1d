#include "LinphoneModule.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QObject>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include <dlfcn.h>

namespace {
Q_LOGGING_CATEGORY(lcSipModule, "orvalo.sip.module")

constexpr std::chrono::seconds kLastWait{10};
} // namespace

struct CLinphoneModule::SLoad {
    // Hands the outcome to the waiting context's thread; called under the mutex.
    void Report()
    {
        if (!finished || !loaded)
            return;
        const bool serves = create != nullptr;
        QMetaObject::invokeMethod(
            context, [loaded = std::exchange(loaded, {}), serves] { loaded(serves); }, Qt::QueuedConnection);
    }

    mutable std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    CreateRtcClientFunction create = nullptr;
    std::string error;
    QObject* context = nullptr;
    std::function<void(bool)> loaded;
};

CLinphoneModule::CLinphoneModule(const std::string& path) : m_load(std::make_shared<SLoad>())
{
    std::thread([load = m_load, path] {
        CreateRtcClientFunction create = nullptr;
        std::string error;
        // Never closed: the client's code lives in it until the process ends.
        if (void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL)) {
            create = reinterpret_cast<CreateRtcClientFunction>(dlsym(handle, kCreateRtcClientEntry));
            if (!create)
                error = path + " is not the phone's SIP module";
        } else {
            const char* reason = dlerror();
            error = reason ? reason : path + " cannot be loaded";
        }
        if (!create)
            qCWarning(lcSipModule).noquote() << QString::fromStdString(error);
        const std::lock_guard<std::mutex> lock(load->mutex);
        load->create = create;
        load->error = std::move(error);
        load->finished = true;
        load->Report();
        load->done.notify_all();
    }).detach();
}

CLinphoneModule::~CLinphoneModule()
{
    // A program that ends while the module loads (its window closed at once) lets
    // the load finish first: ending the process during library initialisers may crash it.
    std::unique_lock<std::mutex> lock(m_load->mutex);
    m_load->loaded = {};
    m_load->done.wait_for(lock, kLastWait, [this] { return m_load->finished; });
}

std::string CLinphoneModule::DefaultPath()
{
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    return (program.parent_path() / ".." / "lib" / "orvalo-phone" / "orvalo-linphone.so").lexically_normal();
}

void CLinphoneModule::WhenLoaded(QObject* context, std::function<void(bool)> loaded)
{
    const std::lock_guard<std::mutex> lock(m_load->mutex);
    m_load->context = context;
    m_load->loaded = std::move(loaded);
    m_load->Report();
}

QString CLinphoneModule::Error() const
{
    const std::lock_guard<std::mutex> lock(m_load->mutex);
    return QString::fromStdString(m_load->error);
}

HRESULT CLinphoneModule::CreateClient(const LinphoneClientOptions& options, RtcClientPtr& client) const
{
    CreateRtcClientFunction create = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_load->mutex);
        create = m_load->create;
    }
    return create ? create(options, client) : E_FAIL;
}
