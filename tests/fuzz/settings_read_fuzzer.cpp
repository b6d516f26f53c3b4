// Reads arbitrary bytes as QarvVindle.ini with every reader of the settings file and turns the
// list read into the specified search's destinations and wait budget. The readers run on a
// document held in memory, as they see the file's bytes.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "discovery/device_table.h"
#include "discovery/specified_search.h"
#include "fuzz/byte_script.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/settings_checks.h"
#include "platform/ipv4_text.h"
#include "settings/profile_file.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

// One slot, the dialog's 20 rows and the search's 21 destinations.
constexpr int kSlotCounts[] = {1, 20, 21};
constexpr std::int64_t kMicrosPerSecond = 1000000;

// Every slot count and first-entry choice sees the same entries, cut at its own capacity.
Pairs CheckAddressLists(const ProfileDocument& document) {
    const ListResult reference = ReadListInto(document, 21, false);
    for (const int slotCount : kSlotCounts) {
        for (const bool callerEntry : {false, true}) {
            if (slotCount == 21 && !callerEntry) {
                continue;  // the reference itself
            }
            const ListResult list = ReadListInto(document, slotCount, callerEntry);
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

void CheckScalarReaders(const ProfileDocument& document) {
    const SearchMode mode = ReadSearchMode(document);
    const std::string status = ReadBroadcastStatus(document);
    FUZZ_CHECK(status.size() <= 8 && status.find('\0') == std::string::npos,
               "broadcast status at most 8 characters");
    if (mode == SearchMode::Broadcast) {
        FUZZ_CHECK(status == "Enabled", "broadcast mode means BroadCast/Status Enabled");
    } else if (mode == SearchMode::Specified) {
        FUZZ_CHECK(status == "Disabled", "specified mode means BroadCast/Status Disabled");
    }
    const std::string timeoutText = ReadTimeoutText(document);
    FUZZ_CHECK(timeoutText.size() <= 3, "time-out text at most 3 characters");
    int seconds = kUnchanged;
    ReadTimeout(document, seconds);
    FUZZ_CHECK(seconds >= -99 && seconds <= 999, "time-out from at most 3 characters");
}

// --- The specified search's destinations ---------------------------------------------------

std::int64_t Micros(const WaitTime& wait) {
    // A wait with a negative part fails at once.
    if (wait.seconds < 0 || wait.microseconds < 0) {
        return 0;
    }
    return static_cast<std::int64_t>(wait.seconds) * kMicrosPerSecond + wait.microseconds;
}

// The pairs read behind the local subnet become directed broadcasts; the waits of a search that
// nobody answers stay within the time-out and one second more.
void CheckDestinations(const ProfileDocument& document, const Pairs& pairs) {
    int timeoutSeconds = 0;
    ReadTimeout(document, timeoutSeconds);

    DestinationText addresses[kDestinationCount] = {};
    DestinationText masks[kDestinationCount] = {};
    std::snprintf(addresses[0], sizeof addresses[0], "%s", kOperatorText);
    std::snprintf(masks[0], sizeof masks[0], "255.255.255.0");
    int count = 1;
    ReadAddressList(document, count, addresses, masks, kDestinationCount);

    // The search keeps only the pairs of two strict addresses (any other text could turn into a
    // send somewhere else) and turns those into directed broadcasts.
    DestinationText destinations[kDestinationCount] = {};
    int valid = 0;
    for (int i = 0; i < count; ++i) {
        const std::optional<Ipv4Address> host = ParseIpv4(SlotText(addresses[i]));
        const std::optional<Ipv4Address> mask = ParseIpv4(SlotText(masks[i]));
        if (!host || !mask) {
            continue;
        }
        DestinationText& address = destinations[valid++];
        std::memcpy(address, addresses[i], sizeof address);
        ToDirectedBroadcast(address, masks[i]);
        FUZZ_CHECK(SlotText(address) == FormatIpv4(*host | ~*mask),
                   "the directed broadcast of a pair is address OR NOT mask");
    }
    FUZZ_CHECK(valid >= 1 && valid <= 1 + static_cast<int>(pairs.size()),
               "the local subnet and at most one destination per pair");

    const WaitBudget budget = SplitWaitBudget(timeoutSeconds, destinations, valid);
    FUZZ_CHECK(budget.singleCount + budget.subnetCount == valid && budget.singleCount >= 0 &&
                   budget.subnetCount >= 1,
               "every destination is a subnet or a single address, the local subnet a subnet");
    const std::int64_t total = budget.subnetCount * Micros(budget.subnetWait) +
                               budget.singleCount * Micros(budget.singleWait);
    const std::int64_t limit =
        (static_cast<std::int64_t>(std::max(timeoutSeconds, 0)) + 1) * kMicrosPerSecond + 1000;
    FUZZ_CHECK(total <= limit, "the waits share the time-out");
}

void RunInput(ByteScript& script) {
    const SettingsInput input = ReadSettingsInput(script);
    const ProfileDocument document = Parse(input.content);
    CheckScalarReaders(document);
    CheckDestinations(document, CheckAddressLists(document));
}

}  // namespace

void FuzzInput(ByteScript& script) {
    RunInput(script);
}

}  // namespace vindle
