#include "discovery/thorough_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "discovery/broadcast_search.h"
#include "discovery/detail_probe.h"
#include "discovery/search_status_text.h"
#include "discovery/unicast_sweep.h"
#include "fakes/search_harness.h"
#include "platform/ipv4_text.h"

namespace vindle {
namespace {

using Texts = std::vector<std::string>;
using Sends = std::vector<FakeNetwork::SendRecord>;

constexpr std::int64_t kSecond = 1000000;

Ipv4Address Address(const char* text) {
    return ParseIpv4(text).value();
}

// The sends of request kind `kind`, optionally only those to `to`.
Sends SendsOfKind(const Sends& sends, int kind, std::optional<Ipv4Address> to = std::nullopt) {
    Sends kept;
    for (const auto& send : sends) {
        if (!send.bytes.empty() && send.bytes[0] == kind && (!to || send.destination == *to)) {
            kept.push_back(send);
        }
    }
    return kept;
}

// Printer number `n` of a fleet at `first` + n, each with its own serial number.
FakePrinter FleetPrinter(Ipv4Address first, int n) {
    char serial[12];
    std::snprintf(serial, sizeof serial, "SN%05d", n);
    return MakeFakePrinter(
        FormatIpv4(first + static_cast<Ipv4Address>(n)), "QV-1", serial,
        {2, 0, 0, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
}

TEST(UnicastSweepTest, HostsOfASubnetUpToASlash16AndWhatIsAttached) {
    EXPECT_EQ(SweepHosts(Address("203.0.113.77"), Address("255.255.255.0")),
              (HostRange{Address("203.0.113.1"), Address("203.0.113.254")}));
    EXPECT_EQ(SweepHosts(Address("10.9.3.4"), Address("255.255.0.0"))->Count(), 65534u);
    EXPECT_EQ(SweepHosts(Address("10.9.3.4"), Address("255.255.255.254")),
              (HostRange{Address("10.9.3.4"), Address("10.9.3.5")}));
    EXPECT_FALSE(SweepHosts(Address("10.8.0.0"), Address("255.254.0.0")));      // /15
    EXPECT_FALSE(SweepHosts(Address("10.9.3.4"), Address("255.255.255.255")));  // one address
    EXPECT_FALSE(SweepHosts(Address("10.9.3.4"), Address("255.0.255.0")));      // gaps

    const std::vector<Ipv4Subnet> local = {{Address("172.16.5.2"), Address("255.255.0.0")}};
    EXPECT_TRUE(IsOnLocalInterface(Address("172.16.9.0"), Address("255.255.255.0"), local));
    EXPECT_TRUE(IsOnLocalInterface(Address("172.16.0.0"), Address("255.255.0.0"), local));
    // Wider than the interface's subnet: part of it lies beyond a router.
    EXPECT_FALSE(IsOnLocalInterface(Address("172.16.0.0"), Address("255.254.0.0"), local));
    EXPECT_FALSE(IsOnLocalInterface(Address("172.17.0.0"), Address("255.255.255.0"), local));
}

class ThoroughSearchTest : public ::testing::Test {
  protected:
    void Add(const FakePrinter& printer) { h.network.AddPrinter(printer); }

    SearchOutcome RunBroadcast(int timeoutSeconds) {
        h.WriteBroadcastSettings(timeoutSeconds);
        return ThoroughBroadcastSearchThread(h.NewContext());
    }
    SearchOutcome RunTargets(std::vector<SearchTarget> targets, int timeoutSeconds) {
        auto context = h.NewContext();
        context->options = {true, std::move(targets), timeoutSeconds};
        return ThoroughSpecifiedSearchThread(std::move(context));
    }
    Sends SearchSocketSends() {
        Sends kept;
        for (const auto& send : h.network.Sends()) {
            if (send.sourcePort == h.network.PortOfSocket(0)) {
                kept.push_back(send);
            }
        }
        return kept;
    }

    SearchHarness h;
};

TEST_F(ThoroughSearchTest, SweepsASubnetBehindARouterHostByHostAtItsPace) {
    h.network.SetRoutersDropDirectedBroadcasts(true);
    FakePrinter near = MakeFakePrinter("203.0.113.7", "QV-1", "SN7", {2, 0, 0, 0, 0, 7});
    Add(near);
    Add(MakeFakePrinter("203.0.113.40", "QV-1", "SN40", {2, 0, 0, 0, 0, 40}));
    const SearchOutcome outcome =
        RunTargets({{Address("203.0.113.0"), Address("255.255.255.0")}}, 3);

    EXPECT_EQ(h.list.ColumnTexts(0), (Texts{"203.0.113.7", "203.0.113.40"}));
    EXPECT_TRUE(outcome.unattachedSubnets.empty());
    const Sends requests = SendsOfKind(SearchSocketSends(), 1);
    ASSERT_GE(requests.size(), 255u);
    EXPECT_EQ(requests[0].destination, Address("203.0.113.255"));
    for (std::size_t host = 1; host <= 254; ++host) {
        EXPECT_EQ(requests[host].destination, Address("203.0.113.0") + host);
        EXPECT_EQ(
            requests[host].timeMicros,
            requests[1].timeMicros + static_cast<std::int64_t>(host - 1) * kSweepIntervalMicros);
    }
    // One request, one sequence byte, for the whole destination, repeats included.
    for (const auto& request : requests) {
        EXPECT_EQ(request.bytes, RequestBytes(1, 1));
    }
    // Replies are taken while the sweep goes on.
    const Sends nearProbe = SendsOfKind(h.network.Sends(), 2, near.address);
    ASSERT_FALSE(nearProbe.empty());
    EXPECT_LT(nearProbe[0].timeMicros, requests[254].timeMicros);
    EXPECT_LE(h.network.Now(), (3 + 2) * kSecond);
}

TEST_F(ThoroughSearchTest, AttachedAndTooWideSubnetsGetTheirBroadcastOnly) {
    h.network.SetLocalSubnets({{Address("198.51.100.2"), Address("255.255.255.0")},
                               {Address("172.16.5.2"), Address("255.255.0.0")}});
    h.WriteSpecifiedSettings(6, {"172.16.9.0", "10.0.0.0"}, {"255.255.255.0", "255.254.0.0"});
    const SearchOutcome outcome = ThoroughSpecifiedSearchThread(h.NewContext());

    std::vector<Ipv4Address> destinations;
    for (const auto& send : SendsOfKind(SearchSocketSends(), 1)) {
        if (std::find(destinations.begin(), destinations.end(), send.destination) ==
            destinations.end()) {
            destinations.push_back(send.destination);
        }
    }
    EXPECT_EQ(destinations,
              (std::vector<Ipv4Address>{Address("198.51.100.255"), Address("172.16.9.255"),
                                        Address("10.1.255.255")}));
    EXPECT_EQ(SendsOfKind(SearchSocketSends(), 1).size(), 3u * (1 + kDiscoveryRepeats));
    EXPECT_EQ(outcome.unsweptSubnets, Texts{"10.0.0.0/255.254.0.0"});
    ASSERT_EQ(OutcomeHints(outcome).size(), 1u);
    EXPECT_NE(OutcomeHints(outcome)[0].find("10.0.0.0/255.254.0.0"), std::string::npos);
}

TEST_F(ThoroughSearchTest, RepeatsSendTheSameBytesAndAdvanceNothing) {
    // Details answered only after their first repeat: the second serial number answer comes
    // while the MAC address is asked for, and is skipped.
    FakePrinter slow = MakeFakePrinter("198.51.100.9", "QV-1", "SN9", {2, 0x1a, 0, 0, 0, 9});
    slow.serialNo.delayMicros = 400'000;
    slow.macAddress.delayMicros = 300'000;
    Add(slow);
    const SearchOutcome outcome = RunBroadcast(3);

    EXPECT_EQ(h.list.ColumnTexts(0), Texts{"198.51.100.9"});
    EXPECT_EQ(h.list.ColumnTexts(1), Texts{"02:1a:00:00:00:09"});
    const Sends discovery = SendsOfKind(h.network.Sends(), 1);
    ASSERT_EQ(discovery.size(), 1u + kDiscoveryRepeats);
    for (std::size_t i = 0; i < discovery.size(); ++i) {
        EXPECT_EQ(discovery[i].bytes, RequestBytes(1, 0));
        EXPECT_EQ(discovery[i].timeMicros, static_cast<std::int64_t>(i) * kDiscoveryRepeatMicros);
    }
    // The printer answered all four discovery requests and was probed once: two serial number
    // requests (the first and one repeat) and two MAC address requests, each pair alike.
    const Sends serial = SendsOfKind(h.network.Sends(), 2);
    const Sends mac = SendsOfKind(h.network.Sends(), 3);
    ASSERT_EQ(serial.size(), 2u);
    ASSERT_EQ(mac.size(), 2u);
    EXPECT_EQ(serial[1].bytes, RequestBytes(2, 1));
    EXPECT_EQ(serial[1].timeMicros - serial[0].timeMicros, DetailProbe::kDetailRepeatMicros);
    EXPECT_EQ(serial[1].sourcePort, serial[0].sourcePort);
    EXPECT_EQ(mac[0].bytes, RequestBytes(3, 1));
    EXPECT_EQ(mac[1].bytes, RequestBytes(3, 1));
    EXPECT_EQ(h.requests.discoveryRequest[1], 0);
    // As for any probe: the serial send given back, the MAC send never.
    EXPECT_EQ(h.requests.pendingSends, 1);
    EXPECT_TRUE(outcome.silentPrinters.empty());
}

TEST_F(ThoroughSearchTest, AWrongHeadStillFailsAndASilentPrinterIsNamed) {
    FakePrinter wrong = MakeFakePrinter("198.51.100.7", "QV-1", "SN7", {2, 0, 0, 0, 0, 7});
    wrong.serialNo.behaviour = ReplyBehaviour::WrongHead;
    FakePrinter silent = MakeFakePrinter("198.51.100.8", "QV-1", "SN8", {2, 0, 0, 0, 0, 8});
    silent.serialNo.behaviour = ReplyBehaviour::Silent;
    Add(wrong);
    Add(silent);
    Add(MakeFakePrinter("198.51.100.9", "QV-1", "SN9", {2, 0, 0, 0, 0, 9}));
    const SearchOutcome outcome = RunBroadcast(3);

    EXPECT_EQ(h.list.ColumnTexts(0), Texts{"198.51.100.9"});
    EXPECT_EQ(SendsOfKind(h.network.Sends(), 2, silent.address).size(),
              1u + DetailProbe::kDetailRepeats);
    EXPECT_EQ(outcome.silentPrinters, Texts{"198.51.100.8"});
}

TEST_F(ThoroughSearchTest, SlowPrintersAreProbedInParallelUpToTheBound) {
    const Ipv4Address first = Address("198.51.100.20");
    for (int n = 39; n >= 0; --n) {
        FakePrinter printer = FleetPrinter(first, n);
        printer.serialNo.delayMicros = 500'000;
        printer.macAddress.delayMicros = 500'000;
        Add(printer);
    }
    RunBroadcast(3);

    const Texts rows = h.list.ColumnTexts(0);
    ASSERT_EQ(rows.size(), 40u);
    for (int n = 0; n < 40; ++n) {
        EXPECT_EQ(rows[n], FormatIpv4(first + static_cast<Ipv4Address>(n)));
    }
    EXPECT_EQ(h.network.MostSocketsOpen(), static_cast<int>(kProbesAtOnce) + 1);
    EXPECT_LE(h.network.Now(), 3 * kSecond + 1'500'000);
}

TEST_F(ThoroughSearchTest, RowsStayInDestinationBlocksWhenProbesOverlap) {
    h.network.SetLocalSubnets({{Address("198.51.100.2"), Address("255.255.255.0")},
                               {Address("10.1.0.2"), Address("255.255.0.0")}});
    // The local subnet's printers finish their probes while the next destination is searched.
    for (const char* address : {"198.51.100.20", "198.51.100.10"}) {
        FakePrinter printer = MakeFakePrinter(address, "QV-1", "SN", {2, 0, 0, 0, 0, 1});
        printer.serialNo.delayMicros = 900'000;
        printer.macAddress.delayMicros = 900'000;
        Add(printer);
    }
    FakePrinter behindNothing = MakeFakePrinter("10.1.2.3", "QV-1", "SN", {2, 0, 0, 0, 0, 2});
    behindNothing.prefixLength = 16;
    Add(behindNothing);
    h.WriteSpecifiedSettings(3, {"10.1.0.0"}, {"255.255.0.0"});
    ThoroughSpecifiedSearchThread(h.NewContext());

    EXPECT_EQ(h.list.ColumnTexts(0), (Texts{"198.51.100.10", "198.51.100.20", "10.1.2.3"}));
}

TEST_F(ThoroughSearchTest, MeetsTheLossAndFleetGoalsInVirtualTime) {
    const Ipv4Address first = Address("198.18.0.1");
    for (int n = 0; n < 1000; ++n) {
        Add(FleetPrinter(first, n));
    }
    // No loss: the rows of the plain search, within T + 1 s.
    h.WriteBroadcastSettings(3);
    BroadcastSearchThread(h.NewContext());
    const Texts plainRows = h.list.ColumnTexts(0);
    ASSERT_EQ(plainRows.size(), 1000u);
    std::int64_t start = h.network.Now();
    RunBroadcast(3);
    EXPECT_EQ(h.list.ColumnTexts(0), plainRows);
    EXPECT_LE(h.network.Now() - start, 4 * kSecond);

    h.network.SetLoss(0.01, 0.01, 25);
    start = h.network.Now();
    RunBroadcast(3);
    EXPECT_EQ(h.list.ItemCount(), 1000);
    EXPECT_LE(h.network.Now() - start, 6 * kSecond);
}

TEST_F(ThoroughSearchTest, FiftyPrintersOnALossyLinkAreListedInTwentySearches) {
    const Ipv4Address first = Address("198.51.100.100");
    for (int n = 0; n < 50; ++n) {
        Add(FleetPrinter(first, n));
    }
    h.network.SetLoss(0.05, 0.05, 7);
    int listed = 0;
    for (int search = 0; search < 20; ++search) {
        const std::int64_t start = h.network.Now();
        RunBroadcast(3);
        listed += h.list.ItemCount();
        EXPECT_LE(h.network.Now() - start, 5 * kSecond);
    }
    EXPECT_GE(listed, 995);
}

}  // namespace
}  // namespace vindle
