// The program's own recvfrom() and recv(), and its bctbx_ssl_read(). The SIP
// library reads its sockets itself, and its TLS connections through the toolbox
// library's bctbx_ssl_read(); only a definition in the executable comes before
// the C library's (and the toolbox's) for the library's calls, also when the
// SIP layer is a module opened at run time (a definition inside the module
// would come after them). These forward every read to the real function until
// the SIP guard routes them through itself.
#pragma once

#include <cstdint>

#include <sys/socket.h>
#include <sys/types.h>

using SipReadFunction = ssize_t (*)(int fd, void* buffer, size_t length, int flags, sockaddr* sender,
                                    socklen_t* senderLength);
// bctbx_ssl_read() and bctbx_ssl_context_free(); the context is the toolbox's bctbx_ssl_context_t.
using SipTlsReadFunction = std::int32_t (*)(void* context, unsigned char* buffer, size_t length);
using SipTlsFreeFunction = void (*)(void* context);

// Sends every later read of the process through guarded; returns the C
// library's recvfrom(), which guarded uses for the reads themselves. Looked up
// by name (dlsym) by the guard, so the executable exports it.
extern "C" SipReadFunction OrvaloRouteSipReads(SipReadFunction guarded);
// The same for the reads of TLS connections: returns the toolbox's
// bctbx_ssl_read() (null if the toolbox is not loaded); `freed` hears of every
// context before it is freed, so that nothing kept for it outlives it.
extern "C" SipTlsReadFunction OrvaloRouteSipTlsReads(SipTlsReadFunction guarded, SipTlsFreeFunction freed);
