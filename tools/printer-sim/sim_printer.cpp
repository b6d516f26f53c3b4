#include "tools/printer-sim/sim_printer.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <set>

#include "platform/ipv4_text.h"

namespace vindle::sim {

namespace {

struct AddressRange {
    Ipv4Address network;
    int prefixLength;
};

constexpr AddressRange kSimulatorRanges[] = {
    {0xC6336400u, 24},  // 198.51.100.0/24
    {0xCB007100u, 24},  // 203.0.113.0/24
    {0xC6120000u, 15},  // 198.18.0.0/15
    {0x7F000000u, 8},   // 127.0.0.0/8
};

constexpr Ipv4Address kFirstGeneratedAddress = 0xC633640Au;  // 198.51.100.10

Ipv4Address MaskOf(int prefixLength) {
    return prefixLength == 0 ? 0u : ~Ipv4Address{0} << (32 - prefixLength);
}

bool InRange(Ipv4Address address, const AddressRange& range) {
    return (address & MaskOf(range.prefixLength)) == range.network;
}

template <std::size_t N>
void CopyText(std::array<std::uint8_t, N>& field, std::string_view text) {
    field.fill(0);
    std::copy_n(text.begin(), std::min(N, text.size()), field.begin());
}

void FillGenerated(SimPrinter& printer, int index) {
    static constexpr std::string_view kModels[] = {"QV-2200", "QV-3300 Color", "QV-5500DN",
                                                   "QV-7100 Wide Pro"};
    CopyText(printer.model, kModels[static_cast<std::size_t>(index) % std::size(kModels)]);
    char serial[kSerialSize + 1];
    std::snprintf(serial, sizeof serial, "SIM%08u", static_cast<unsigned>(index + 1) % 100000000u);
    CopyText(printer.serial, serial);
    // 0x02 in the first byte: a locally administered, unicast address.
    printer.mac = {0x02,
                   0x51,
                   0x64,
                   0x00,
                   static_cast<std::uint8_t>((index >> 8) & 0xFF),
                   static_cast<std::uint8_t>(index & 0xFF)};
    for (std::size_t i = 0; i < kExtraSize; ++i) {
        printer.extra[i] = static_cast<std::uint8_t>(0xE0 + i);
    }
}

// Splits a line into blank-separated words; double quotes group blanks, "#" outside quotes
// starts a comment. Returns false on an unclosed quote.
bool SplitWords(std::string_view line, std::vector<std::string>& words) {
    words.clear();
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : line) {
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
            continue;
        }
        if (c == '#') {
            break;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == '"') {
            quoted = true;
        } else {
            word += c;
        }
    }
    if (quoted) {
        return false;
    }
    if (inWord) {
        words.push_back(word);
    }
    return true;
}

bool ParseNumber(std::string_view text, int low, int high, int& value) {
    int parsed = 0;
    const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || fault != std::errc{} || end != text.data() + text.size() || parsed < low ||
        parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Hex pairs, optionally separated by ":" or "-", exactly N bytes.
template <std::size_t N>
bool ParseHexBytes(std::string_view text, std::array<std::uint8_t, N>& bytes) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (count > 0 && (text[i] == ':' || text[i] == '-')) {
            ++i;
        }
        if (i + 2 > text.size()) {
            return false;
        }
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0 || count == N) {
            return false;
        }
        bytes[count++] = static_cast<std::uint8_t>(high * 16 + low);
        i += 2;
    }
    return count == N;
}

// "2" or "2,3": sets the kinds' entries.
bool ParseKinds(std::string_view text, std::array<bool, kRequestKinds>& kinds) {
    kinds.fill(false);
    if (text.empty()) {
        return false;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        int kind = 0;
        if (!ParseNumber(text.substr(start, comma - start), 1, kRequestKinds, kind)) {
            return false;
        }
        kinds[static_cast<std::size_t>(kind - 1)] = true;
        start = comma + 1;
    }
    return true;
}

std::string LineError(int lineNumber, const std::string& message) {
    return "line " + std::to_string(lineNumber) + ": " + message;
}

// Applies one KEY=VALUE word; returns an empty string or the fault.
std::string ApplySetting(SimPrinter& printer, std::string_view word) {
    const std::size_t equals = word.find('=');
    if (equals == std::string_view::npos) {
        return "expected KEY=VALUE, got \"" + std::string(word) + "\"";
    }
    const std::string_view key = word.substr(0, equals);
    const std::string_view value = word.substr(equals + 1);

    if (key == "model" || key == "serial") {
        const std::size_t limit = key == "model" ? kModelSize : kSerialSize;
        if (value.size() > limit) {
            return std::string(key) + " is longer than " + std::to_string(limit) + " bytes";
        }
        key == "model" ? CopyText(printer.model, value) : CopyText(printer.serial, value);
        return {};
    }
    if (key == "mac") {
        return ParseHexBytes(value, printer.mac)
                   ? ""
                   : "mac needs six hex bytes, e.g. 02:00:00:00:00:01";
    }
    if (key == "extra") {
        return ParseHexBytes(value, printer.extra) ? "" : "extra needs ten hex bytes";
    }
    if (key == "delay" || key == "detail-delay") {
        int& delay = key == "delay" ? printer.discoveryDelayMs : printer.detailDelayMs;
        return ParseNumber(value, 0, 600'000, delay)
                   ? ""
                   : std::string(key) + " needs milliseconds from 0 to 600000";
    }
    const bool twice = key == "twice";
    Answer answer = Answer::kNormal;
    if (key == "silent") {
        answer = Answer::kSilent;
    } else if (key == "wrong-head") {
        answer = Answer::kWrongHead;
    } else if (key == "oversize") {
        answer = Answer::kOversize;
    } else if (key == "short") {
        answer = Answer::kShort;
    } else if (!twice) {
        return "unknown key \"" + std::string(key) + "\"";
    }
    std::array<bool, kRequestKinds> kinds{};
    if (!ParseKinds(value, kinds)) {
        return std::string(key) + " needs request kinds such as 3 or 2,3";
    }
    if (twice) {
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            printer.answerTwice[i] = printer.answerTwice[i] || kinds[i];
        }
        return {};
    }
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (!kinds[i]) {
            continue;
        }
        if (printer.answers[i] != Answer::kNormal && printer.answers[i] != answer) {
            return "kind " + std::to_string(i + 1) + " is given two misbehaviours";
        }
        printer.answers[i] = answer;
    }
    return {};
}

std::string CheckAddress(const SimPrinter& printer) {
    const Ipv4Address mask = MaskOf(printer.prefixLength);
    const Ipv4Address first = printer.address & mask;
    const Ipv4Address last = printer.address | ~mask;
    for (const AddressRange& range : kSimulatorRanges) {
        if (InRange(first, range) && InRange(last, range)) {
            return {};
        }
    }
    return FormatIpv4(printer.address) + "/" + std::to_string(printer.prefixLength) +
           " is outside 198.51.100.0/24, 203.0.113.0/24, 198.18.0.0/15 and 127.0.0.0/8";
}

}  // namespace

bool IsSimulatorAddress(Ipv4Address address) {
    return std::any_of(std::begin(kSimulatorRanges), std::end(kSimulatorRanges),
                       [address](const AddressRange& range) { return InRange(address, range); });
}

std::optional<Ipv4Address> DirectedBroadcastOf(const SimPrinter& printer) {
    if (printer.prefixLength >= 31) {
        return std::nullopt;
    }
    return printer.address | ~MaskOf(printer.prefixLength);
}

std::vector<SimPrinter> GeneratePrinters(int count) {
    std::vector<SimPrinter> printers;
    for (int i = 0; i < std::clamp(count, 0, kMaxGeneratedPrinters); ++i) {
        SimPrinter printer;
        printer.address = kFirstGeneratedAddress + static_cast<Ipv4Address>(i);
        FillGenerated(printer, i);
        printers.push_back(printer);
    }
    return printers;
}

std::optional<std::vector<SimPrinter>> ParsePrinterConfig(std::string_view text,
                                                          std::string& error) {
    std::vector<SimPrinter> printers;
    std::set<Ipv4Address> seen;
    std::vector<std::string> words;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!SplitWords(line, words)) {
            error = LineError(lineNumber, "unclosed double quote");
            return std::nullopt;
        }
        if (words.empty()) {
            continue;
        }

        SimPrinter printer;
        FillGenerated(printer, static_cast<int>(printers.size()));
        const std::string& target = words[0];
        const std::size_t slash = target.find('/');
        const auto address = ParseIpv4(std::string_view(target).substr(0, slash));
        if (!address) {
            error = LineError(lineNumber, "\"" + target + "\" is not an IPv4 address");
            return std::nullopt;
        }
        printer.address = *address;
        if (slash != std::string::npos &&
            !ParseNumber(std::string_view(target).substr(slash + 1), 1, 32, printer.prefixLength)) {
            error = LineError(lineNumber, "prefix length must be 1 to 32");
            return std::nullopt;
        }
        if (const std::string fault = CheckAddress(printer); !fault.empty()) {
            error = LineError(lineNumber, fault);
            return std::nullopt;
        }
        if (!seen.insert(printer.address).second) {
            error = LineError(lineNumber, FormatIpv4(printer.address) + " appears twice");
            return std::nullopt;
        }
        for (std::size_t i = 1; i < words.size(); ++i) {
            if (const std::string fault = ApplySetting(printer, words[i]); !fault.empty()) {
                error = LineError(lineNumber, fault);
                return std::nullopt;
            }
        }
        printers.push_back(printer);
    }
    if (printers.empty()) {
        error = "no printers configured";
        return std::nullopt;
    }
    return printers;
}

std::string ListAddresses(const std::vector<SimPrinter>& printers) {
    std::string list;
    for (const SimPrinter& printer : printers) {
        list += FormatIpv4(printer.address) + "/" + std::to_string(printer.prefixLength) + "\n";
    }
    return list;
}

}  // namespace vindle::sim
