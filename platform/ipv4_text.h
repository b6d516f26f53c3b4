#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/network.h"

namespace vindle {

// Longest dotted-decimal text, "255.255.255.255", and its zero-terminated field size.
constexpr std::size_t kIpv4TextMax = 15;
constexpr std::size_t kIpv4TextField = 16;

// Dotted-decimal text without leading zeros, as inet_ntoa writes it.
std::string FormatIpv4(Ipv4Address address);

// Strict parse: exactly four decimal numbers 0 to 255 joined by ".", digits only, at most three
// digits each. Anything else (blanks, signs, hex, empty parts) is refused.
std::optional<Ipv4Address> ParseIpv4(std::string_view text);

}  // namespace vindle
