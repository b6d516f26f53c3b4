#pragma once

#include <memory>

#include "platform/network.h"

namespace vindle {

// The network over the system's real UDP/IPv4 sockets (POSIX or Winsock 2).
std::unique_ptr<Network> MakeSystemNetwork();

}  // namespace vindle
