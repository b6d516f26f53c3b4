#include "tools/scan/scan_options.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

namespace vindle {
namespace {

constexpr std::string_view kFormatOption = "--format";

std::optional<OutputFormat> FormatNamed(std::string_view value) {
    std::string lower(value);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "table") {
        return OutputFormat::Table;
    }
    if (lower == "csv") {
        return OutputFormat::Csv;
    }
    if (lower == "json") {
        return OutputFormat::Json;
    }
    return std::nullopt;
}

ScanOptions Refused(std::string error) {
    ScanOptions options;
    options.action = ScanOptions::Action::UsageError;
    options.error = std::move(error);
    return options;
}

}  // namespace

ScanOptions ParseScanArguments(int argc, const char* const* argv) {
    ScanOptions options;
    bool formatGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            options.action = ScanOptions::Action::Help;
            return options;
        }
        if (argument == "--version") {
            options.action = ScanOptions::Action::Version;
            return options;
        }
        std::string_view value;
        if (argument == kFormatOption) {
            if (i + 1 >= argc) {
                return Refused("--format needs a value: table, csv or json");
            }
            value = argv[++i];
        } else if (argument.starts_with("--format=")) {
            value = argument.substr(kFormatOption.size() + 1);
        } else {
            return Refused("unknown argument '" + std::string(argument) + "'");
        }
        if (formatGiven) {
            return Refused("--format may be given only once");
        }
        formatGiven = true;
        if (value.empty()) {
            return Refused("--format needs a value: table, csv or json");
        }
        const auto format = FormatNamed(value);
        if (!format) {
            return Refused("--format takes table, csv or json, not '" + std::string(value) + "'");
        }
        options.format = *format;
    }
    return options;
}

}  // namespace vindle
