#include "discovery/specified_search.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "discovery/broadcast_search.h"
#include "discovery/device_table.h"
#include "discovery/protocol.h"
#include "platform/ipv4_text.h"
#include "settings/settings_file.h"

namespace vindle {

LocalAddressSources g_localAddressSources = {&QueryInterfaceAddress, &ResolveHostAddress};

namespace {

constexpr char kLocalSubnetMask[] = "255.255.255.0";
constexpr Ipv4Address kLoopbackAddress = 0x7F000001u;

void WriteText(DestinationText& field, const std::string& text) {
    std::snprintf(field, sizeof field, "%s", text.c_str());
}

void FinishSearch(std::unique_ptr<SearchContext> context) {
    if (context->retrieveButton != nullptr) {
        context->retrieveButton->SetEnabled(true);
    }
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

std::optional<Ipv4Address> QueryInterfaceAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return std::nullopt;
    }
    std::optional<Ipv4Address> found;
    for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        found = ntohl(address.sin_addr.s_addr);
    }
    freeifaddrs(list);
    return found;
}

std::optional<Ipv4Address> ResolveHostAddress() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &result) != 0) {
        return std::nullopt;
    }
    std::optional<Ipv4Address> found;
    for (const addrinfo* entry = result; entry != nullptr && !found; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            sockaddr_in address{};
            std::memcpy(&address, entry->ai_addr, sizeof address);
            found = ntohl(address.sin_addr.s_addr);
        }
    }
    freeaddrinfo(result);
    return found;
}

void GetLocalAddressText(DestinationText& text) {
    std::optional<Ipv4Address> address;
    if (g_localAddressSources.interfaceAddress != nullptr) {
        address = g_localAddressSources.interfaceAddress();
    }
    if (!address && g_localAddressSources.resolvedAddress != nullptr) {
        address = g_localAddressSources.resolvedAddress();
    }
    WriteText(text, FormatIpv4(address.value_or(kLoopbackAddress)));
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

int SpecifiedSearchThread(SearchContext* rawContext) {
    if (rawContext == nullptr) {
        return 0;
    }
    std::unique_ptr<SearchContext> context(rawContext);
    std::unique_ptr<UdpSocket> socket;
    if (context->network != nullptr) {
        socket = context->network->OpenUdpSocket();
    }
    if (!socket) {
        FinishSearch(std::move(context));
        return 0;
    }
    // Directed subnet broadcasts need the permission too.
    socket->EnableBroadcast();

    DestinationText addresses[kDestinationCount] = {};
    DestinationText masks[kDestinationCount] = {};

    ListView& list = *context->listControl;
    if (list.ItemCount() > 0) {
        list.DeleteAllItems();
    }

    GetLocalAddressText(addresses[0]);
    WriteText(masks[0], kLocalSubnetMask);

    int count = 1;
    if (ReadAddressList(count, addresses, masks, kDestinationCount) == 0) {
        g_deviceCount = 0;
        socket.reset();
        FinishSearch(std::move(context));
        return 0;
    }
    count = KeepValidPairs(addresses, masks, count < kDestinationCount ? count : kDestinationCount);

    int timeoutSeconds = 0;
    ReadTimeout(timeoutSeconds);

    for (int i = 0; i < count; ++i) {
        ToDirectedBroadcast(addresses[i], masks[i]);
    }
    const WaitBudget budget = SplitWaitBudget(timeoutSeconds, addresses, count);

    for (int i = 0; i < count; ++i) {
        const std::optional<Ipv4Address> destination = ParseIpv4(SlotText(addresses[i]));
        if (!destination || !SendRequestInSequence(*socket, *destination, g_discoveryRequest)) {
            break;
        }
        if (IsSubnetDestination(addresses[i])) {
            // The first wait only tells whether anything came; it reads nothing.
            int waitResult = socket->WaitReadable(budget.subnetWait);
            const int blockFirstRow = list.ItemCount();
            if (waitResult <= 0) {
                continue;
            }
            do {
                waitResult = socket->WaitReadable(budget.subnetWait);
            } while (ReceiveOneReply(*context, *socket, waitResult, true, blockFirstRow) != 0);
        } else {
            const int waitResult = socket->WaitReadable(budget.singleWait);
            ReceiveOneReply(*context, *socket, waitResult, false, 0);
        }
    }

    g_deviceCount = 0;
    g_slotCursor = 0;
    socket.reset();
    FinishSearch(std::move(context));
    return 1;
}

}  // namespace vindle
