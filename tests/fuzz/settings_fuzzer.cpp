// Feeds arbitrary bytes as QarvVindle.ini to every reader of the settings file and to the
// specified search's destination table, then saves random valid settings over that file and
// checks that they read back as written.
//
// Input: one flag byte, a two-byte length L, L bytes of file content, then the settings to save.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "discovery/protocol.h"
#include "discovery/specified_search.h"
#include "fakes/fake_control.h"
#include "fakes/fake_list_view.h"
#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"
#include "fuzz/byte_script.h"
#include "fuzz/fuzz_check.h"
#include "platform/ipv4_text.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

constexpr Ipv4Address kOperatorAddress = 0xC6336402u;  // 198.51.100.2
constexpr char kOperatorText[] = "198.51.100.2";
constexpr std::size_t kMaxFileSize = 4096;
constexpr int kSlotCounts[] = {1, 2, 3, 20, 21};
constexpr int kUnchanged = -7;
constexpr std::int64_t kMicrosPerSecond = 1000000;

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct ListResult {
    int result = 0;
    Pairs pairs;  // the file's entries, after the caller's own
};

// ReadAddressList into exactly `slotCount` heap slots (so ASan sees any write past them), with
// or without the caller's own first entry, checking everything it may and may not touch.
ListResult ReadListInto(int slotCount, bool callerEntry) {
    const auto addresses = std::make_unique<char[][16]>(static_cast<std::size_t>(slotCount));
    const auto masks = std::make_unique<char[][16]>(static_cast<std::size_t>(slotCount));
    if (callerEntry) {
        std::snprintf(addresses[0], sizeof addresses[0], "%s", kOperatorText);
        std::snprintf(masks[0], sizeof masks[0], "255.255.255.0");
    }
    const int first = callerEntry ? 1 : 0;
    int count = kUnchanged;
    ListResult list;
    list.result = ReadAddressList(count, addresses.get(), masks.get(), slotCount);
    FUZZ_CHECK(list.result == 0 || list.result == 1, "ReadAddressList returns 0 or 1");
    if (callerEntry) {
        FUZZ_CHECK(std::strcmp(addresses[0], kOperatorText) == 0 &&
                       std::strcmp(masks[0], "255.255.255.0") == 0,
                   "the caller's own entry is kept");
    }
    int used = first;
    if (list.result == 0) {
        FUZZ_CHECK(count == kUnchanged, "count unchanged when there is no list");
    } else {
        FUZZ_CHECK(count > first && count <= slotCount, "count within the caller's slots");
        used = count;
    }
    for (int i = first; i < slotCount; ++i) {
        const bool terminated = std::memchr(addresses[i], '\0', 16) != nullptr &&
                                std::memchr(masks[i], '\0', 16) != nullptr;
        FUZZ_CHECK(terminated, "every slot zero-terminated within 16 bytes");
        const std::string address = addresses[i];
        const std::string mask = masks[i];
        if (i < used) {
            FUZZ_CHECK(!address.empty() && !mask.empty(), "a slot in use holds an entry");
            FUZZ_CHECK(
                address.find(',') == std::string::npos && mask.find(',') == std::string::npos,
                "an entry holds no separator");
            list.pairs.emplace_back(address, mask);
        } else {
            FUZZ_CHECK(std::string(addresses[i], 16) == std::string(16, '\0') &&
                           std::string(masks[i], 16) == std::string(16, '\0'),
                       "slots past count stay zero-filled");
        }
    }
    return list;
}

// Every slot count and first-entry choice sees the same entries, cut at its own capacity.
Pairs CheckAddressLists() {
    const ListResult reference = ReadListInto(21, false);
    for (const int slotCount : kSlotCounts) {
        for (const bool callerEntry : {false, true}) {
            const ListResult list = ReadListInto(slotCount, callerEntry);
            const std::size_t room = static_cast<std::size_t>(slotCount - (callerEntry ? 1 : 0));
            const std::size_t expected = std::min(reference.pairs.size(), room);
            FUZZ_CHECK(list.result == (expected > 0 ? 1 : 0), "list found whenever there is room");
            FUZZ_CHECK(
                list.pairs.size() == expected &&
                    std::equal(list.pairs.begin(), list.pairs.end(), reference.pairs.begin()),
                "the same entries whatever the slots");
        }
    }
    return reference.pairs;
}

void CheckScalarReaders() {
    const SearchMode mode = ReadSearchMode();
    const std::string status = ReadBroadcastStatus();
    FUZZ_CHECK(status.size() <= 8 && status.find('\0') == std::string::npos,
               "broadcast status at most 8 characters");
    if (mode == SearchMode::Broadcast) {
        FUZZ_CHECK(status == "Enabled", "broadcast mode means BroadCast/Status Enabled");
    } else if (mode == SearchMode::Specified) {
        FUZZ_CHECK(status == "Disabled", "specified mode means BroadCast/Status Disabled");
    }
    const std::string timeoutText = ReadTimeoutText();
    FUZZ_CHECK(timeoutText.size() <= 3, "time-out text at most 3 characters");
    int seconds = kUnchanged;
    ReadTimeout(seconds);
    FUZZ_CHECK(seconds >= -99 && seconds <= 999, "time-out from at most 3 characters");
}

std::optional<Ipv4Address> DirectedBroadcast(const std::string& address, const std::string& mask) {
    const std::optional<Ipv4Address> host = ParseIpv4(address);
    const std::optional<Ipv4Address> net = ParseIpv4(mask);
    if (!host || !net) {
        return std::nullopt;
    }
    return *host | ~*net;
}

// The specified search over this file with nobody answering: its requests go only to the local
// subnet and to pairs that are real addresses, one each, and its waits stay within the time-out.
void CheckDestinationTable(const Pairs& pairs) {
    int timeoutSeconds = 0;
    ReadTimeout(timeoutSeconds);

    std::set<Ipv4Address> allowed = {kOperatorAddress | 0xFFu};
    for (const auto& [address, mask] : pairs) {
        if (const auto destination = DirectedBroadcast(address, mask)) {
            allowed.insert(*destination);
        }
    }
    FakeNetwork network;
    FakeListView list;
    FakeControl retrieve(false);
    RequestState requests;
    auto context = std::make_unique<SearchContext>();
    context->listControl = &list;
    context->retrieveButton = &retrieve;
    context->network = &network;
    context->requests = &requests;
    SpecifiedSearchThread(std::move(context));

    const std::vector<FakeNetwork::SendRecord> sends = network.Sends();
    if (pairs.empty()) {
        FUZZ_CHECK(sends.empty(), "nothing sent without an address list");
    }
    FUZZ_CHECK(sends.size() <= std::min<std::size_t>(21, 1 + pairs.size()),
               "one request per destination, at most 21");
    for (std::size_t i = 0; i < sends.size(); ++i) {
        FUZZ_CHECK(sends[i].bytes.size() == kRequestSize && sends[i].bytes[0] == 0x01 &&
                       sends[i].destinationPort == kDiscoveryPort,
                   "discovery requests only");
        FUZZ_CHECK(allowed.count(sends[i].destination) == 1,
                   "destinations come from the local subnet and valid pairs");
        FUZZ_CHECK(i > 0 || sends[i].destination == (kOperatorAddress | 0xFFu),
                   "the local subnet first");
    }
    const std::int64_t budget =
        (static_cast<std::int64_t>(std::max(timeoutSeconds, 0)) + 1) * kMicrosPerSecond + 1000;
    FUZZ_CHECK(network.Now() <= budget, "the waits share the time-out");
    FUZZ_CHECK(retrieve.IsEnabled() && network.OpenSocketCount() == 0, "the search ends cleanly");
}

// --- Round trip ---------------------------------------------------------------------------

std::string RandomAddressText(ByteScript& script) {
    Ipv4Address address = 0;
    for (int i = 0; i < 4; ++i) {
        address = address << 8 | script.Byte();
    }
    return FormatIpv4(address);
}

void CheckRoundTrip(ByteScript& script, bool overExistingFile) {
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
    if (!overExistingFile) {
        unlink(kSettingsFileName);
    }
    const char* status = specified ? "Enabled" : "Disabled";
    WriteSettings(entries.data(), count, timeoutSeconds, status);
    const std::string saved = ReadFile(kSettingsFileName);

    FUZZ_CHECK(ReadSearchMode() == (specified ? SearchMode::Specified : SearchMode::Broadcast),
               "the saved mode reads back");
    FUZZ_CHECK(ReadBroadcastStatus() == (specified ? "Disabled" : "Enabled"),
               "the saved broadcast status reads back");
    int seconds = kUnchanged;
    ReadTimeout(seconds);
    FUZZ_CHECK(seconds == timeoutSeconds && ReadTimeoutText() == std::to_string(timeoutSeconds),
               "the saved time-out reads back");
    for (const bool callerEntry : {false, true}) {
        const ListResult list = ReadListInto(21, callerEntry);
        FUZZ_CHECK(list.result == (count > 0 ? 1 : 0), "a saved list is found, no list is not");
        FUZZ_CHECK(list.pairs == written, "the saved pairs read back in order");
    }

    // Saving the same settings again may tidy a hand-edited file further (a line the INI library
    // cannot read is dropped, which can bring a stray byte-order mark to the front, and each load
    // consumes one leading mark), but every such save makes the file shorter, and the file
    // settles: nothing is ever added by a repeated save, and nothing changes for ever.
    constexpr int kMaxTidyingSaves = 64;
    std::string previous = saved;
    for (int save = 0;; ++save) {
        WriteSettings(entries.data(), count, timeoutSeconds, status);
        const std::string current = ReadFile(kSettingsFileName);
        if (current == previous) {
            break;
        }
        FUZZ_CHECK(current.size() < previous.size(), "a repeated save never adds to the file");
        FUZZ_CHECK(save < kMaxTidyingSaves, "repeated saves settle");
        previous = current;
    }
}

void RunInput(ByteScript& script) {
    const std::uint8_t flags = script.Byte();
    const std::size_t length = script.Word() % (kMaxFileSize + 1);
    const std::vector<std::uint8_t> bytes = script.Bytes(length);
    const std::string content(bytes.begin(), bytes.end());
    WriteFile(kSettingsFileName, content);

    CheckScalarReaders();
    const Pairs pairs = CheckAddressLists();
    if ((flags & 0x01) == 0) {
        CheckDestinationTable(pairs);
    }
    EnsureSettingsFile();
    FUZZ_CHECK(ReadFile(kSettingsFileName) == content, "an existing file is never rewritten");

    CheckRoundTrip(script, (flags & 0x02) == 0);
}

}  // namespace
}  // namespace vindle

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The settings file is written in this directory, which stays the working directory.
    static vindle::ScopedTempDir directory;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vindle::ByteScript script(data, size);
    vindle::RunInput(script);
    return 0;
}
