#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/network.h"

namespace vindle {

// A subnet on no local interface is reached by the discovery request sent to each of its host
// addresses in turn, since a router in between drops its directed broadcast. The pace keeps a
// Linux router's neighbour table (1,024 entries; an address that does not answer holds one for
// about 3 s) from overflowing: at 250 requests per second about 750 entries are held at once.
constexpr std::int64_t kSweepIntervalMicros = 4'000;
// Wider subnets get their directed broadcast only (a /16 already takes 262 s).
constexpr int kWidestSweptPrefix = 16;

// The host addresses of a subnet, first to last.
struct HostRange {
    Ipv4Address first = 0;
    Ipv4Address last = 0;

    std::uint32_t Count() const { return last - first + 1; }
    bool operator==(const HostRange&) const = default;
};

// The prefix length of a contiguous mask; nothing for a mask with gaps.
std::optional<int> PrefixLength(Ipv4Address mask);

// The hosts of `address`/`mask` to sweep: all but the network and broadcast addresses (both
// addresses of a /31). Nothing for a single address (/32), a subnet wider than
// kWidestSweptPrefix or a mask with gaps.
std::optional<HostRange> SweepHosts(Ipv4Address address, Ipv4Address mask);

// True when `address`/`mask` lies wholly within the subnet of one of `local`: its broadcast then
// reaches every host without a router in between.
bool IsOnLocalInterface(Ipv4Address address, Ipv4Address mask,
                        const std::vector<Ipv4Subnet>& local);

}  // namespace vindle
