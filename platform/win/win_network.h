#pragma once

#include "platform/system_network_core.h"

namespace vindle {

// The network over Winsock 2 UDP/IPv4 sockets. The socket library is started for as long as a
// network or one of its sockets exists. A limited broadcast goes out on every interface that is
// up and not loopback; a send along a learnt reply path leaves from the address the system
// picks on that interface.
class WinNetwork final : public SystemNetworkCore {
  public:
    WinNetwork();
};

}  // namespace vindle
