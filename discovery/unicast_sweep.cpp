#include "discovery/unicast_sweep.h"

namespace vindle {

std::optional<int> PrefixLength(Ipv4Address mask) {
    const Ipv4Address hostBits = ~mask;
    // Contiguous: the host bits are all ones from some bit down.
    if ((hostBits & (hostBits + 1)) != 0) {
        return std::nullopt;
    }
    int prefix = 32;
    for (Ipv4Address bits = hostBits; bits != 0; bits >>= 1) {
        --prefix;
    }
    return prefix;
}

std::optional<HostRange> SweepHosts(Ipv4Address address, Ipv4Address mask) {
    const std::optional<int> prefix = PrefixLength(mask);
    if (!prefix || *prefix < kWidestSweptPrefix || *prefix == 32) {
        return std::nullopt;
    }
    const Ipv4Address network = address & mask;
    const Ipv4Address broadcast = network | ~mask;
    if (*prefix == 31) {
        return HostRange{network, broadcast};
    }
    return HostRange{network + 1, broadcast - 1};
}

bool IsOnLocalInterface(Ipv4Address address, Ipv4Address mask,
                        const std::vector<Ipv4Subnet>& local) {
    for (const Ipv4Subnet& subnet : local) {
        const bool narrowerOrEqual = (mask & subnet.mask) == subnet.mask;
        if (narrowerOrEqual && (address & subnet.mask) == (subnet.address & subnet.mask)) {
            return true;
        }
    }
    return false;
}

}  // namespace vindle
