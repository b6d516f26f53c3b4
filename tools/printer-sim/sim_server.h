#pragma once

#include <cstdint>
#include <vector>

#include "tools/printer-sim/sim_flood.h"
#include "tools/printer-sim/sim_printer.h"

namespace vindle::sim {

struct ServerOptions {
    std::uint16_t port = 3001;
    Ipv4Address bindAddress = 0;  // 0.0.0.0
    bool verbose = false;
    // A burst of junk at whoever sends the first kind-1 request (see sim_flood.h).
    FloodOptions flood;
};

// Answers requests until SIGINT or SIGTERM; returns the process exit status. Requests from
// addresses that are not this host's own are answered only inside the LAN sandbox, and there only
// from the test ranges (see sim_safety.h), so replies stay on the host or inside the sandbox. So
// does a flood burst, which goes to such a requester.
int RunServer(const std::vector<SimPrinter>& printers, const ServerOptions& options);

}  // namespace vindle::sim
