#pragma once

#include <string>
#include <vector>

#include "platform/network.h"

namespace vindle {

// An IPv4 interface that is up and not loopback, as GetAdaptersAddresses lists it.
struct WinInterface {
    unsigned long index = 0;
    std::string name;  // the name the user sees ("Ethernet"), UTF-8
    // Its IPv4 addresses with their masks, the first one first; never empty.
    std::vector<Ipv4Subnet> subnets;
};

// In the system's order; empty when the list cannot be read. Needs the socket library started.
std::vector<WinInterface> UsableInterfaces();

}  // namespace vindle
