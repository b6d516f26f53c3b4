#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/network.h"

namespace vindle::sim {

// How one simulated printer answers one request kind.
enum class Answer {
    kNormal,     // the reply of its kind
    kSilent,     // no reply at all
    kWrongHead,  // the reply with its sequence byte changed
    kOversize,   // the reply with bytes beyond the kind's receive size
    kShort,      // the 4-byte head only
};

constexpr int kRequestKinds = 3;
constexpr std::size_t kModelSize = 17;
constexpr std::size_t kSerialSize = 11;
constexpr std::size_t kMacSize = 6;
constexpr std::size_t kExtraSize = 10;

struct SimPrinter {
    Ipv4Address address = 0;
    int prefixLength = 24;
    // Text fields, zero-padded; a text of the full width has no terminating zero.
    std::array<std::uint8_t, kModelSize> model{};
    std::array<std::uint8_t, kSerialSize> serial{};
    std::array<std::uint8_t, kMacSize> mac{};
    // Kind-3 reply bytes 10 to 19.
    std::array<std::uint8_t, kExtraSize> extra{};
    // Milliseconds before a kind-1 reply goes out, and before a kind-2 or kind-3 reply does.
    int discoveryDelayMs = 0;
    int detailDelayMs = 0;
    // Index 0 is kind 1.
    std::array<Answer, kRequestKinds> answers{Answer::kNormal, Answer::kNormal, Answer::kNormal};
    std::array<bool, kRequestKinds> answerTwice{};

    Answer AnswerFor(int kind) const { return answers[static_cast<std::size_t>(kind - 1)]; }
    bool TwiceFor(int kind) const { return answerTwice[static_cast<std::size_t>(kind - 1)]; }
};

// Simulated printers may only use documentation/benchmark ranges or loopback:
// 198.51.100.0/24, 203.0.113.0/24, 198.18.0.0/15 and 127.0.0.0/8.
bool IsSimulatorAddress(Ipv4Address address);

// All-ones host part of the printer's subnet; nullopt for /31 and /32, which have none.
std::optional<Ipv4Address> DirectedBroadcastOf(const SimPrinter& printer);

// `count` printers from 198.51.100.10 upwards with generated model and serial numbers and
// locally administered MAC addresses. At most kMaxGeneratedPrinters.
constexpr int kMaxGeneratedPrinters = 200;
std::vector<SimPrinter> GeneratePrinters(int count);

// Parses the printers' configuration text (format in example-printers.conf). On a fault returns
// nullopt and sets `error` to a message naming the line.
std::optional<std::vector<SimPrinter>> ParsePrinterConfig(std::string_view text,
                                                          std::string& error);

// "A.B.C.D/P" of every printer, one a line, as the sandbox script reads it.
std::string ListAddresses(const std::vector<SimPrinter>& printers);

}  // namespace vindle::sim
