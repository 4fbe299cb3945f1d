// The program's own recvfrom() and recv(). The SIP library reads its sockets
// itself; only a definition in the executable comes before the C library's for
// the library's reads, also when the SIP layer is a module opened at run time
// (a definition inside the module would come after libc). These forward every
// read to the C library until the SIP guard routes them through itself.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

using SipReadFunction = ssize_t (*)(int fd, void* buffer, size_t length, int flags, sockaddr* sender,
                                    socklen_t* senderLength);

// Sends every later read of the process through guarded; returns the C
// library's recvfrom(), which guarded uses for the reads themselves. Looked up
// by name (dlsym) by the guard, so the executable exports it.
extern "C" SipReadFunction OrvaloRouteSipReads(SipReadFunction guarded);
