#include "discovery/specified_search.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "discovery/device_table.h"
#include "discovery/protocol.h"
#include "discovery/search_steps.h"
#include "discovery/unicast_sweep.h"
#include "platform/ipv4_text.h"
#include "settings/settings_file.h"

namespace vindle {

namespace {

constexpr char kLocalSubnetMask[] = "255.255.255.0";
constexpr Ipv4Address kLoopbackAddress = 0x7F000001u;

void WriteText(DestinationText& field, const std::string& text) {
    std::snprintf(field, sizeof field, "%s", text.c_str());
}

// Moves the pairs of entries 1 to count-1 that are strict dotted-decimal texts to the front,
// dropping the others: bad text must never turn into a send to some other address.
int KeepValidPairs(DestinationText* addresses, DestinationText* masks, int count) {
    int kept = 1;
    for (int i = 1; i < count; ++i) {
        if (!ParseIpv4(SlotText(addresses[i])) || !ParseIpv4(SlotText(masks[i]))) {
            continue;
        }
        if (kept != i) {
            std::memcpy(addresses[kept], addresses[i], sizeof(DestinationText));
            std::memcpy(masks[kept], masks[i], sizeof(DestinationText));
        }
        ++kept;
    }
    for (int i = kept; i < count; ++i) {
        std::memset(addresses[i], 0, sizeof(DestinationText));
        std::memset(masks[i], 0, sizeof(DestinationText));
    }
    return kept;
}

}  // namespace

void GetLocalAddressText(Network& network, DestinationText& text) {
    WriteText(text, FormatIpv4(network.LocalAddress().value_or(kLoopbackAddress)));
}

void ToDirectedBroadcast(DestinationText& address, const DestinationText& mask) {
    const std::array<int, 4> host = ParseOctets(SlotText(address));
    const std::array<int, 4> net = ParseOctets(SlotText(mask));
    Ipv4Address result = 0;
    for (std::size_t i = 0; i < host.size(); ++i) {
        // Octets are 0 to 255 for the texts that reach here; the mask keeps any other within one.
        const unsigned octet = static_cast<unsigned>(host[i] | (255 - net[i])) & 0xFFu;
        result = (result << 8) | octet;
    }
    WriteText(address, FormatIpv4(result));
}

bool IsSubnetDestination(const DestinationText& address) {
    return SlotText(address).find("255") != std::string::npos;
}

WaitBudget SplitWaitBudget(int timeoutSeconds, const DestinationText* addresses, int count) {
    WaitBudget budget;
    for (int i = 0; i < count; ++i) {
        if (!IsSubnetDestination(addresses[i])) {
            ++budget.singleCount;
        }
    }
    budget.subnetCount = count - budget.singleCount;
    if (budget.subnetCount > 0) {
        const long seconds = (timeoutSeconds - 1) / budget.subnetCount;
        long micros = 0;
        if (seconds == 0) {
            const float share =
                static_cast<float>(timeoutSeconds) / static_cast<float>(budget.subnetCount);
            micros = static_cast<long>(share * 1000000.0f);
        }
        budget.subnetWait = WaitTime{seconds, micros};
    }
    if (budget.singleCount <= 1) {
        budget.singleWait = WaitTime{1, 0};
    } else {
        const float share = 1.0f / static_cast<float>(budget.singleCount);
        budget.singleWait = WaitTime{0, static_cast<long>(share * 1000000.0f)};
    }
    return budget;
}

int PrepareDestinations(SearchContext& context, std::vector<std::string>& labels) {
    const std::vector<SearchTarget>& targets = context.options.targets;
    int count = 0;
    if (!targets.empty()) {
        const int size = static_cast<int>(targets.size());
        if (size > context.destinationCapacity) {
            context.destinationCapacity = size;
            context.destinationAddresses = std::make_unique<DestinationText[]>(size);
            context.destinationMasks = std::make_unique<DestinationText[]>(size);
        }
        for (const SearchTarget& target : targets) {
            WriteText(context.destinationAddresses[count], FormatIpv4(target.address));
            WriteText(context.destinationMasks[count], FormatIpv4(target.mask));
            ++count;
        }
    } else {
        DestinationText* addresses = context.destinationAddresses.get();
        DestinationText* masks = context.destinationMasks.get();
        GetLocalAddressText(*context.network, addresses[0]);
        WriteText(masks[0], kLocalSubnetMask);
        count = 1;
        if (ReadAddressList(*context.settings, count, addresses, masks, kDestinationCount) == 0) {
            return 0;
        }
        count =
            KeepValidPairs(addresses, masks, count < kDestinationCount ? count : kDestinationCount);
    }
    // The pairs as the operator wrote them, for progress reports.
    labels.clear();
    for (int i = 0; i < count; ++i) {
        labels.push_back(SlotText(context.destinationAddresses[i]) + "/" +
                         SlotText(context.destinationMasks[i]));
        ToDirectedBroadcast(context.destinationAddresses[i], context.destinationMasks[i]);
    }
    return count;
}

bool IsUnattachedSubnet(const SearchContext& context, int index,
                        const std::vector<Ipv4Subnet>& local) {
    // The settings' first entry is the local /24 itself.
    if (index == 0 && context.options.targets.empty()) {
        return false;
    }
    const auto address = ParseIpv4(SlotText(context.destinationAddresses[index]));
    const auto mask = ParseIpv4(SlotText(context.destinationMasks[index]));
    return address && mask && *mask != 0xFFFFFFFFu &&
           !IsOnLocalInterface(*address & *mask, *mask, local);
}

std::vector<std::string> UnattachedSubnets(SearchContext& context,
                                           const std::vector<std::string>& labels) {
    std::vector<std::string> unattached;
    const std::vector<Ipv4Subnet> local = context.network->LocalSubnets();
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (IsUnattachedSubnet(context, static_cast<int>(i), local)) {
            unattached.push_back(labels[i]);
        }
    }
    return unattached;
}

int BeginSpecifiedSearch(SearchContext& context, std::vector<std::string>& labels,
                         int& timeoutSeconds, SearchEnd& end) {
    if (!OpenSearchSocket(context)) {
        end = SearchEnd::NoSocket;
        return 0;
    }
    ListView& list = *context.listControl;
    if (list.ItemCount() > 0) {
        list.DeleteAllItems();
    }
    const int count = PrepareDestinations(context, labels);
    if (count == 0) {
        end = SearchEnd::NoAddressList;
        return 0;
    }
    timeoutSeconds = SearchTimeout(context);
    return count;
}

SearchOutcome SpecifiedSearchThread(std::unique_ptr<SearchContext> context) {
    if (!context) {
        return Outcome(SearchEnd::NoSocket);
    }
    std::vector<std::string> labels;
    int timeoutSeconds = 0;
    SearchEnd end = SearchEnd::Searched;
    const int count = BeginSpecifiedSearch(*context, labels, timeoutSeconds, end);
    if (count == 0) {
        return FinishSearch(std::move(context), Outcome(end));
    }
    SearchOutcome outcome;
    outcome.timeoutSeconds = timeoutSeconds;
    const DestinationText* addresses = context->destinationAddresses.get();
    const WaitBudget budget = SplitWaitBudget(timeoutSeconds, addresses, count);
    outcome.unattachedSubnets = UnattachedSubnets(*context, labels);

    UdpSocket& socket = *context->socket;
    RequestState& requests = *context->requests;
    for (int i = 0; i < count; ++i) {
        const std::optional<Ipv4Address> destination = ParseIpv4(SlotText(addresses[i]));
        if (!destination ||
            !requests.SendRequestInSequence(socket, *destination, requests.discoveryRequest)) {
            // The remaining destinations get no request; a search that sent nothing says why.
            outcome.reason = socket.LastSendReport().errorText;
            if (i == 0) {
                outcome.end = SearchEnd::NotSent;
            }
            outcome.unsentDestinations.push_back({labels[i], outcome.reason});
            outcome.destinationsNotTried = count - i - 1;
            break;
        }
        ReportProgress(*context,
                       {SearchKind::Specified, labels[i], i + 1, count, 0, timeoutSeconds});
        if (IsSubnetDestination(addresses[i])) {
            // The first wait only tells whether anything came; it reads nothing.
            int waitResult = socket.WaitReadable(budget.subnetWait);
            const int blockFirstRow = context->listControl->ItemCount();
            if (waitResult <= 0) {
                continue;
            }
            do {
                waitResult = socket.WaitReadable(budget.subnetWait);
            } while (ReceiveOneReply(*context, waitResult, true, blockFirstRow) != 0);
        } else {
            const int waitResult = socket.WaitReadable(budget.singleWait);
            ReceiveOneReply(*context, waitResult, false, 0);
        }
    }
    return FinishSearch(std::move(context), std::move(outcome));
}

}  // namespace vindle
