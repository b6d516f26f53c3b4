// Saves over arbitrary bytes read as QarvVindle.ini: the configuration dialog's OK without
// changes must keep every list entry, and random valid settings must read back as written, with
// repeated saves settling. The saves run on documents held in memory, each made of the text the
// save before wrote, as a save of the file reads it; writing the file itself (atomic
// replacement, sync) has tests of its own.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/byte_script.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/settings_checks.h"
#include "platform/ipv4_text.h"
#include "settings/profile_file.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

// --- The configuration dialog's OK without changes ----------------------------------------

// The entries of a comma-separated list, without the blanks at their ends (the INI library trims
// a value's ends, so an entry's outer blanks may go when it moves to the front or the back).
std::vector<std::string> Entries(std::string_view list) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        std::string_view entry = list.substr(start, comma - start);
        const auto first = entry.find_first_not_of(" \t");
        if (first != std::string_view::npos) {
            entry = entry.substr(first, entry.find_last_not_of(" \t") - first + 1);
            entries.emplace_back(entry);
        }
        start = comma + 1;
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The dialog shows the pairs it can (up to 20) and saves them with the ones it cannot show:
// no entry of either list is lost, except masks when there is no address at all (a save without
// addresses removes the lists). Entries may be added: a list longer than the 319 characters read
// can be cut inside an entry, and the dialog shows (and saves) the piece as a row.
void CheckDialogKeepsEveryEntry(const std::string& content) {
    ProfileDocument document = Parse(content);
    char addresses[kMaxAddressEntries][16] = {};
    char masks[kMaxAddressEntries][16] = {};
    int count = 0;
    if (ReadAddressList(document, count, addresses, masks, kMaxAddressEntries) == 0) {
        count = 0;
    }
    std::vector<AddressEntry> entries(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::memcpy(entries[i].address, addresses[i], 16);
        std::memcpy(entries[i].mask, masks[i], 16);
    }
    const UnshownPairs unshown = ReadUnshownAddressPairs(document, kMaxAddressEntries);
    const auto listBefore = [&](const char* key) {
        return Entries(document.ReadString("SearchSpecifiedAddress", key, std::string::npos));
    };
    const std::vector<std::string> addressesBefore = listBefore("IPAddress");
    const std::vector<std::string> masksBefore = listBefore("Subnet");
    const bool noAddress =
        document.ReadString("SearchSpecifiedAddress", "IPAddress", std::string::npos)
            .find_first_not_of(',') == std::string::npos;

    const bool specified = ReadSearchMode(document) == SearchMode::Specified;
    WriteSettings(document, entries.data(), count, 6, specified ? "Enabled" : "Disabled", unshown);
    const ProfileDocument saved = Parse(document.Serialize());
    const auto listAfter = [&](const char* key) {
        return Entries(saved.ReadString("SearchSpecifiedAddress", key, std::string::npos));
    };
    const auto keeps = [](const std::vector<std::string>& after,
                          const std::vector<std::string>& before) {
        return std::includes(after.begin(), after.end(), before.begin(), before.end());
    };
    FUZZ_CHECK(keeps(listAfter("IPAddress"), addressesBefore),
               "a save from the dialog keeps every address");
    FUZZ_CHECK(noAddress ? listAfter("Subnet").empty() : keeps(listAfter("Subnet"), masksBefore),
               "a save from the dialog keeps every mask");
}

// --- Round trip ---------------------------------------------------------------------------

std::string RandomAddressText(ByteScript& script) {
    Ipv4Address address = 0;
    for (int i = 0; i < 4; ++i) {
        address = address << 8 | script.Byte();
    }
    return FormatIpv4(address);
}

// The library writes a section's name between brackets on one line; a name that took in a line
// break shows as a header line without its "]".
void CheckHeaderLines(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = std::string_view(text).substr(start, end - start);
        FUZZ_CHECK(!line.starts_with('[') || line.find(']') != std::string_view::npos,
                   "every section header is one whole line");
        start = end + 1;
    }
}

// Saves over `document` (the file as read) and then over the text each save wrote.
void CheckRoundTrip(ByteScript& script, ProfileDocument document) {
    const bool specified = (script.Byte() & 1) != 0;
    const int count = script.Below(kMaxAddressEntries + 1);
    const int timeoutSeconds = script.Word() % 1000;
    std::vector<AddressEntry> entries(static_cast<std::size_t>(count));
    Pairs written;
    for (AddressEntry& entry : entries) {
        const std::string address = RandomAddressText(script);
        const std::string mask = RandomAddressText(script);
        std::snprintf(entry.address, sizeof entry.address, "%s", address.c_str());
        std::snprintf(entry.mask, sizeof entry.mask, "%s", mask.c_str());
        written.emplace_back(address, mask);
    }
    const char* status = specified ? "Enabled" : "Disabled";
    const auto save = [&](ProfileDocument&& over) {
        WriteSettings(over, entries.data(), count, timeoutSeconds, status);
        return over.Serialize();
    };
    const std::string saved = save(std::move(document));
    CheckHeaderLines(saved);

    ProfileDocument reread = Parse(saved);
    FUZZ_CHECK(
        ReadSearchMode(reread) == (specified ? SearchMode::Specified : SearchMode::Broadcast),
        "the saved mode reads back");
    FUZZ_CHECK(ReadBroadcastStatus(reread) == (specified ? "Disabled" : "Enabled"),
               "the saved broadcast status reads back");
    int seconds = kUnchanged;
    ReadTimeout(reread, seconds);
    FUZZ_CHECK(
        seconds == timeoutSeconds && ReadTimeoutText(reread) == std::to_string(timeoutSeconds),
        "the saved time-out reads back");
    for (const bool callerEntry : {false, true}) {
        const ListResult list = ReadListInto(reread, 21, callerEntry);
        FUZZ_CHECK(list.result == (count > 0 ? 1 : 0), "a saved list is found, no list is not");
        FUZZ_CHECK(list.pairs == written, "the saved pairs read back in order");
    }

    // Saving the same settings again may tidy a hand-edited file further (a line the INI library
    // cannot read is dropped, which can bring a key whose name starts with a byte-order mark to
    // the front, where the mark is then dropped), but every such save makes the file shorter,
    // and the file settles: nothing is ever added by a repeated save, and nothing changes for
    // ever.
    constexpr int kMaxTidyingSaves = 64;
    std::string previous = saved;
    for (int repeat = 0;; ++repeat) {
        const std::string current = save(repeat == 0 ? std::move(reread) : Parse(previous));
        if (current == previous) {
            break;
        }
        CheckHeaderLines(current);
        FUZZ_CHECK(current.size() < previous.size(), "a repeated save never adds to the file");
        FUZZ_CHECK(repeat < kMaxTidyingSaves, "repeated saves settle");
        previous = current;
    }
}

void RunInput(ByteScript& script) {
    SettingsInput input = ReadSettingsInput(script);
    ProfileDocument document = Parse(input.content);
    const bool anyList = !document.ReadString("SearchSpecifiedAddress", "IPAddress", 2).empty() ||
                         !document.ReadString("SearchSpecifiedAddress", "Subnet", 2).empty();
    if (anyList) {
        CheckDialogKeepsEveryEntry(input.content);
    }
    // Bit 1 saves into a new file instead.
    CheckRoundTrip(script, (input.flags & 0x02) == 0 ? std::move(document) : Parse(std::string()));
}

}  // namespace

void FuzzInput(ByteScript& script) {
    RunInput(script);
}

}  // namespace vindle
