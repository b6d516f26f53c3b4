#include "tools/printer-sim/sim_safety.h"

#include <algorithm>
#include <string_view>

#include "tools/printer-sim/sim_printer.h"

namespace vindle::sim {

namespace {

bool IsLoopback(Ipv4Address address) {
    return (address >> 24) == 127;
}

}  // namespace

bool IsSandboxNetwork(const char* marker, const std::set<Ipv4Address>& localAddresses) {
    return marker != nullptr && std::string_view(marker) == "1" &&
           std::all_of(localAddresses.begin(), localAddresses.end(), IsSimulatorAddress);
}

bool MayAnswer(Ipv4Address requester, const std::set<Ipv4Address>& localAddresses,
               bool insideSandbox) {
    if (IsLoopback(requester) || localAddresses.count(requester) != 0) {
        return true;
    }
    return insideSandbox && IsSimulatorAddress(requester);
}

}  // namespace vindle::sim
