#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/network.h"

namespace vindle::lan_test {

constexpr Ipv4Address Ip(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return Ipv4Address{a} << 24 | Ipv4Address{b} << 16 | Ipv4Address{c} << 8 | d;
}

constexpr std::uint16_t kPrinterPort = 3001;

struct Reply {
    Ipv4Address sender = 0;
    std::vector<std::uint8_t> bytes;
    std::chrono::milliseconds arrival{};  // after the start of the collection
};

// Every datagram that arrives within `window`, read with a generous capacity.
std::vector<Reply> CollectReplies(UdpSocket& socket, std::chrono::milliseconds window);

// The three requests with sequence byte 0.
std::vector<std::uint8_t> RequestOfKind(int kind);

}  // namespace vindle::lan_test
