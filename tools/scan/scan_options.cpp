#include "tools/scan/scan_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>

#include "discovery/unicast_sweep.h"
#include "platform/ipv4_text.h"

namespace vindle {
namespace {

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

// A decimal number from `low` to `high`, nothing before or after it.
std::optional<int> NumberIn(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || fault != std::errc{} || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

// ADDRESS, ADDRESS/PREFIX or ADDRESS/MASK; `error` names the faulty text otherwise.
std::optional<SearchTarget> ParseTarget(std::string_view text, std::string& error) {
    const std::size_t slash = text.find('/');
    const std::string_view addressText = text.substr(0, slash);
    const auto address = ParseIpv4(addressText);
    if (!address) {
        error = "'" + std::string(addressText) + "' in target '" + std::string(text) +
                "' is not an IPv4 address";
        return std::nullopt;
    }
    if (slash == std::string_view::npos) {
        return SearchTarget{*address, 0xFFFFFFFFu};
    }
    const std::string_view suffix = text.substr(slash + 1);
    if (suffix.find('.') != std::string_view::npos) {
        const auto mask = ParseIpv4(suffix);
        if (!mask || !PrefixLength(*mask)) {
            error = "'" + std::string(suffix) + "' in target '" + std::string(text) + "' is not " +
                    (mask ? "a contiguous subnet mask" : "a subnet mask");
            return std::nullopt;
        }
        return SearchTarget{*address, *mask};
    }
    const auto prefix = NumberIn(suffix, 0, 32);
    if (!prefix) {
        error = "'" + std::string(suffix) + "' in target '" + std::string(text) +
                "' is not a prefix length from 0 to 32";
        return std::nullopt;
    }
    const Ipv4Address mask = *prefix == 0 ? 0u : 0xFFFFFFFFu << (32 - *prefix);
    return SearchTarget{*address, mask};
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
        if (argument == "--thorough") {
            options.search.thorough = true;
            continue;
        }
        if (!argument.starts_with("-")) {
            std::string error;
            const auto target = ParseTarget(argument, error);
            if (!target) {
                return Refused(error);
            }
            options.search.targets.push_back(*target);
            continue;
        }
        // --name VALUE or --name=VALUE
        const std::string_view name = argument.substr(0, argument.find('='));
        const std::string nameText(name);
        if (name != "--format" && name != "--timeout") {
            return Refused("unknown argument '" + std::string(argument) + "'");
        }
        std::string_view value;
        if (name.size() < argument.size()) {
            value = argument.substr(name.size() + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        }
        const char* expected = name == "--format" ? "table, csv or json" : "seconds from 1 to 999";
        if (value.empty()) {
            return Refused(nameText + " needs a value: " + expected);
        }
        if (name == "--format" ? formatGiven : options.search.timeoutSeconds.has_value()) {
            return Refused(nameText + " may be given only once");
        }
        const std::string refusal =
            nameText + " takes " + expected + ", not '" + std::string(value) + "'";
        if (name == "--timeout") {
            options.search.timeoutSeconds = NumberIn(value, 1, kMaxScanTimeoutSeconds);
            if (!options.search.timeoutSeconds) {
                return Refused(refusal);
            }
            continue;
        }
        const auto format = FormatNamed(value);
        if (!format) {
            return Refused(refusal);
        }
        options.format = *format;
        formatGiven = true;
    }
    return options;
}

}  // namespace vindle
