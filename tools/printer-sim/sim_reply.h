#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/printer-sim/sim_printer.h"

namespace vindle::sim {

constexpr std::size_t kRequestSize = 7;
constexpr std::size_t kHeadSize = 4;

struct Request {
    int kind = 0;
    std::array<std::uint8_t, kHeadSize> head{};
};

// A request is exactly 7 bytes: kind 1-3, sequence byte, 00 00, 1B 6E, and the kind's selector
// (22, 21 or 23). Anything else is not a request and gets no answer.
std::optional<Request> ParseRequest(const std::uint8_t* data, std::size_t size);

// Largest reply the utility accepts for a kind: 21, 15 or 21 bytes.
std::size_t ReceiveSizeOf(int kind);

// Kind 1 reaches a printer sent to 255.255.255.255, to its own address or to its subnet's
// directed broadcast; kinds 2 and 3 only to its own address.
bool RequestReachesPrinter(const SimPrinter& printer, int kind, Ipv4Address destination);

// The datagram the printer sends back; empty when it stays silent.
std::vector<std::uint8_t> BuildReply(const SimPrinter& printer, const Request& request);

}  // namespace vindle::sim
