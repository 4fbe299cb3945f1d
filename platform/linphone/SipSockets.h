// The sockets through which the SIP stack of a core receives. Watching them lets
// the event loop run the stack the moment a request or an answer arrives.
#pragma once

#include <set>
#include <vector>

// Descriptors of this process's IPv4/IPv6 sockets bound to one of the local ports.
std::vector<int> FindSocketsOnPorts(const std::set<int>& localPorts);

// Whether the descriptor still is a socket bound to one of the local ports.
bool IsSocketOnPorts(int fd, const std::set<int>& localPorts);

// Whether data is waiting on the descriptor.
bool IsReadable(int fd);
