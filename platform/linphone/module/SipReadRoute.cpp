#include "SipReadRoute.h"

#include <atomic>

#include <dlfcn.h>

namespace {

std::atomic<SipReadFunction> g_guardedRead{nullptr};

SipReadFunction SystemRead()
{
    static const auto function = reinterpret_cast<SipReadFunction>(dlsym(RTLD_NEXT, "recvfrom"));
    return function;
}

} // namespace

extern "C" SipReadFunction OrvaloRouteSipReads(SipReadFunction guarded)
{
    const SipReadFunction system = SystemRead();
    g_guardedRead.store(guarded, std::memory_order_release);
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
