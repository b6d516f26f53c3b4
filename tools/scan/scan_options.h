#pragma once

#include <string>

#include "discovery/device_row_format.h"

namespace vindle {

// What the command line asks for.
struct ScanOptions {
    enum class Action { Search, Help, Version, UsageError };

    Action action = Action::Search;
    OutputFormat format = OutputFormat::Table;
    // Why the command line was refused (UsageError only).
    std::string error;
};

// Reads the arguments: --format VALUE or --format=VALUE (table, csv or json in any case, given
// at most once), --help or -h, --version. The first of --help and --version wins over what
// follows it; any other argument is a usage error.
ScanOptions ParseScanArguments(int argc, const char* const* argv);

}  // namespace vindle
