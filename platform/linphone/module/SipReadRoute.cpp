#include "SipReadRoute.h"

#include <atomic>

#include <dlfcn.h>

namespace {

std::atomic<SipReadFunction> g_guardedRead{nullptr};
std::atomic<SipTlsReadFunction> g_guardedTlsRead{nullptr};
std::atomic<SipTlsFreeFunction> g_tlsFreed{nullptr};

SipReadFunction SystemRead()
{
    static const auto function = reinterpret_cast<SipReadFunction>(dlsym(RTLD_NEXT, "recvfrom"));
    return function;
}

// The toolbox's own function. The SIP module opens it privately (RTLD_LOCAL),
// where RTLD_NEXT does not look; it is loaded by the time anything calls here.
void* ToolboxFunction(const char* name)
{
    void* toolbox = dlopen("libbctoolbox.so.1", RTLD_LAZY | RTLD_NOLOAD);
    return toolbox ? dlsym(toolbox, name) : nullptr;
}

SipTlsReadFunction SystemTlsRead()
{
    static const auto function = reinterpret_cast<SipTlsReadFunction>(ToolboxFunction("bctbx_ssl_read"));
    return function;
}

SipTlsFreeFunction SystemTlsFree()
{
    static const auto function = reinterpret_cast<SipTlsFreeFunction>(ToolboxFunction("bctbx_ssl_context_free"));
    return function;
}

} // namespace

extern "C" SipReadFunction OrvaloRouteSipReads(SipReadFunction guarded)
{
    const SipReadFunction system = SystemRead();
    g_guardedRead.store(guarded, std::memory_order_release);
    return system;
}

extern "C" SipTlsReadFunction OrvaloRouteSipTlsReads(SipTlsReadFunction guarded, SipTlsFreeFunction freed)
{
    const SipTlsReadFunction system = SystemTlsRead();
    if (!system || !SystemTlsFree())
        return nullptr;
    g_tlsFreed.store(freed, std::memory_order_release);
    g_guardedTlsRead.store(guarded, std::memory_order_release);
    return system;
}

extern "C" ssize_t recvfrom(int fd, void* buffer, size_t length, int flags, sockaddr* sender, socklen_t* senderLength)
{
    const SipReadFunction guarded = g_guardedRead.load(std::memory_order_acquire);
    return (guarded ? guarded : SystemRead())(fd, buffer, length, flags, sender, senderLength);
}

extern "C" ssize_t recv(int fd, void* buffer, size_t length, int flags)
{
    return recvfrom(fd, buffer, length, flags, nullptr, nullptr);
}

extern "C" std::int32_t bctbx_ssl_read(void* context, unsigned char* buffer, size_t length)
{
    const SipTlsReadFunction guarded = g_guardedTlsRead.load(std::memory_order_acquire);
    return (guarded ? guarded : SystemTlsRead())(context, buffer, length);
}

extern "C" void bctbx_ssl_context_free(void* context)
{
    if (const SipTlsFreeFunction freed = g_tlsFreed.load(std::memory_order_acquire))
        freed(context);
    SystemTlsFree()(context);
}
