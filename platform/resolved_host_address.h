#pragma once

#include <optional>

#include "platform/network.h"

namespace vindle {

// The first IPv4 address the resolver gives for this host's own name: the fallback of
// Network::LocalAddress when no interface names one. On Windows the socket library must be
// started first.
std::optional<Ipv4Address> ResolvedHostAddress();

}  // namespace vindle
