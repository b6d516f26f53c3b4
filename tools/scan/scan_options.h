#pragma once

#include <string>

#include "discovery/device_row_format.h"
#include "discovery/search_options.h"

namespace vindle {

// What the command line asks for.
struct ScanOptions {
    enum class Action { Search, Help, Version, UsageError };

    Action action = Action::Search;
    OutputFormat format = OutputFormat::Table;
    // --thorough, --timeout and the targets, in the order given.
    SearchOptions search;
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
