#pragma once

#include <set>

#include "platform/network.h"

namespace vindle::sim {

// Whether the simulator runs in the LAN sandbox's network: the sandbox's marker is set
// (VINDLE_LAN_SANDBOX=1, passed as `marker`, which may be null) and every IPv4 address of the
// namespace lies in 198.51.100.0/24, 203.0.113.0/24, 198.18.0.0/15 or loopback, so no reply can
// reach a real network.
bool IsSandboxNetwork(const char* marker, const std::set<Ipv4Address>& localAddresses);

// Whether a request from `requester` may be answered: when it is loopback or one of the host's
// own addresses; inside the sandbox also when it lies in one of the three test ranges; never
// otherwise.
bool MayAnswer(Ipv4Address requester, const std::set<Ipv4Address>& localAddresses,
               bool insideSandbox);

}  // namespace vindle::sim
