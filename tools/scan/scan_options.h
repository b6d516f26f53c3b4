#pragma once

#include <optional>
#include <string>
#include <vector>

#include "discovery/device_row_format.h"
#include "platform/network.h"

namespace vindle {

// One destination named on the command line: an address and its subnet mask (255.255.255.255
// for a single address).
struct ScanTarget {
    Ipv4Address address = 0;
    Ipv4Address mask = 0;
    bool operator==(const ScanTarget&) const = default;
};

// What the command line asks for.
struct ScanOptions {
    enum class Action { Search, Help, Version, UsageError };

    Action action = Action::Search;
    OutputFormat format = OutputFormat::Table;
    // --thorough: the thorough search whatever the settings file says.
    bool thorough = false;
    // --timeout: the seconds each wait lasts, instead of the settings file's.
    std::optional<int> timeoutSeconds;
    // Destinations to search instead of the settings file's, in the order given.
    std::vector<ScanTarget> targets;
    // Why the command line was refused (UsageError only).
    std::string error;
};

// Longest --timeout: the settings file's time-out holds at most three digits.
constexpr int kMaxScanTimeoutSeconds = 999;

// Reads the arguments: --format VALUE (table, csv or json in any case), --timeout SECONDS (1 to
// 999), each given at most once and also as --option=VALUE; --thorough; --help or -h; --version;
// and TARGETs: ADDRESS, ADDRESS/PREFIX (0 to 32) or ADDRESS/MASK (a contiguous mask). The first of
// --help and --version wins over what follows it; anything else is a usage error naming the text.
ScanOptions ParseScanArguments(int argc, const char* const* argv);

}  // namespace vindle
