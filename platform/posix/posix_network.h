#pragma once

#include "platform/system_network_core.h"

namespace vindle {

// The network over POSIX UDP/IPv4 sockets. A limited broadcast goes out on every interface that
// is up, broadcast-capable, not loopback and has an IPv4 address (the routing table alone would
// pick one). A send along a learnt reply path also leaves from the address the reply was sent
// to.
class PosixNetwork final : public SystemNetworkCore {
  public:
    PosixNetwork();
};

}  // namespace vindle
