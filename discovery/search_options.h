#pragma once

#include <optional>
#include <vector>

#include "platform/network.h"

namespace vindle {

// One destination given by the caller: an address and its mask (host byte order). A mask of
// 255.255.255.255 names a single address.
struct SearchTarget {
    Ipv4Address address = 0;
    Ipv4Address mask = 0xFFFFFFFFu;

    bool operator==(const SearchTarget&) const = default;
};

// A search started with options instead of the settings file alone (the command-line scanner).
struct SearchOptions {
    // Runs the thorough search whatever [Search] Thorough says.
    bool thorough = false;
    // When not empty: a specified search of exactly these destinations, in this order (no local
    // /24 first, no limit on their number), each turned into its directed broadcast and searched
    // by the specified search's rules; rows placed in one block per subnet destination. The
    // settings file is then neither read nor created.
    std::vector<SearchTarget> targets;
    // Replaces [TimeOut] TimeVal; with targets and no time-out, kDefaultTimeoutSeconds.
    std::optional<int> timeoutSeconds;

    bool operator==(const SearchOptions&) const = default;
};

// The time-out a new settings file gets, used by a search of targets given no time-out.
constexpr int kDefaultTimeoutSeconds = 6;

}  // namespace vindle
