#include "discovery/specified_search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "discovery/protocol.h"
#include "fakes/recording_observer.h"
#include "fakes/search_harness.h"
#include "platform/ipv4_text.h"

namespace vindle {
namespace {

using Texts = std::vector<std::string>;

constexpr std::int64_t kSecond = 1000000;

Ipv4Address Address(const char* text) {
    return ParseIpv4(text).value();
}

// Sets the destination table's texts.
void Fill(DestinationText* table, const Texts& texts) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::memset(table[i], 0, sizeof table[i]);
        std::memcpy(table[i], texts[i].data(), texts[i].size());
    }
}

TEST(DirectedBroadcastTest, HostBitsAreSetByTheMask) {
    const DestinationText host = "255.255.255.0";
    const DestinationText single255 = "255.255.255.255";
    const DestinationText wide16 = "255.255.0.0";
    const DestinationText odd12 = "255.240.0.0";
    DestinationText address = "192.168.5.10";
    ToDirectedBroadcast(address, host);
    EXPECT_STREQ(address, "192.168.5.255");

    DestinationText single = "10.1.2.3";
    ToDirectedBroadcast(single, single255);
    EXPECT_STREQ(single, "10.1.2.3");

    DestinationText wide = "10.1.2.3";
    ToDirectedBroadcast(wide, wide16);
    EXPECT_STREQ(wide, "10.1.255.255");

    DestinationText odd = "172.16.0.1";
    ToDirectedBroadcast(odd, odd12);
    EXPECT_STREQ(odd, "172.31.255.255");
}

TEST(WaitBudgetTest, SubnetsShareTheTimeoutLessOneSecond) {
    DestinationText table[kDestinationCount] = {};
    Fill(table, {"192.168.1.255", "10.1.255.255"});
    WaitBudget budget = SplitWaitBudget(7, table, 2);
    EXPECT_EQ(budget.subnetCount, 2);
    EXPECT_EQ(budget.singleCount, 0);
    EXPECT_EQ(budget.subnetWait, (WaitTime{3, 0}));

    Fill(table, {"192.168.1.255", "10.1.255.255", "10.1.2.3", "10.1.2.4"});
    budget = SplitWaitBudget(6, table, 4);
    EXPECT_EQ(budget.subnetWait, (WaitTime{2, 0}));
    EXPECT_EQ(budget.singleWait, (WaitTime{0, 500000}));

    Fill(table, {"1.0.0.255", "2.0.0.255", "3.0.0.255", "4.0.0.255", "5.0.0.255", "6.0.0.255",
                 "7.0.0.255"});
    budget = SplitWaitBudget(6, table, 7);
    EXPECT_EQ(budget.subnetWait, (WaitTime{0, 857142}));

    budget = SplitWaitBudget(6, table, 6);  // a = T: one whole second given in microseconds
    EXPECT_EQ(budget.subnetWait, (WaitTime{0, 1000000}));

    budget = SplitWaitBudget(0, table, 1);  // fails at once
    EXPECT_EQ(budget.subnetWait, (WaitTime{-1, 0}));
}

TEST(WaitBudgetTest, SingleAddressesShareOneSecond) {
    DestinationText table[kDestinationCount] = {};
    Fill(table, {"192.168.1.255", "10.1.2.3"});
    EXPECT_EQ(SplitWaitBudget(6, table, 2).singleWait, (WaitTime{1, 0}));
    Fill(table, {"192.168.1.255", "10.1.2.3", "10.1.2.4", "10.1.2.5"});
    EXPECT_EQ(SplitWaitBudget(6, table, 4).singleWait, (WaitTime{0, 333333}));
    Texts many = {"192.168.1.255"};
    for (int i = 1; i <= 20; ++i) {
        many.push_back("10.0.0." + std::to_string(i));
    }
    Fill(table, many);
    const WaitBudget budget = SplitWaitBudget(6, table, 21);
    EXPECT_EQ(budget.singleCount, 20);
    EXPECT_EQ(budget.singleWait, (WaitTime{0, 50000}));
}

TEST(LocalAddressTest, FallsBackToLoopbackWhenTheNetworkKnowsNoAddress) {
    FakeNetwork network;
    DestinationText text = {};
    network.SetLocalAddress(Address("192.168.1.23"));
    GetLocalAddressText(network, text);
    EXPECT_STREQ(text, "192.168.1.23");
    network.SetLocalAddress(std::nullopt);
    GetLocalAddressText(network, text);
    EXPECT_STREQ(text, "127.0.0.1");
}

class SpecifiedSearchTest : public ::testing::Test {
  protected:
    void SetUp() override { h.network.SetLocalAddress(Address("192.168.1.23")); }

    FakePrinter& Printer(const char* address, std::int64_t delayMicros = 0) {
        printers.push_back(MakeFakePrinter(address, "MODEL", "SER", {0, 1, 2, 3, 4, 5}));
        printers.back().discovery.delayMicros = delayMicros;
        return printers.back();
    }

    SearchOutcome Run() {
        for (const FakePrinter& printer : printers) {
            h.network.AddPrinter(printer);
        }
        const SearchOutcome outcome = SpecifiedSearchThread(h.NewContext(&observer));
        // The outcome is reported once, as returned.
        EXPECT_EQ(observer.Outcomes(), std::vector<SearchOutcome>{outcome});
        return outcome;
    }

    // Kind-1 sends in order, as destination texts.
    Texts DiscoveryDestinations() {
        Texts destinations;
        for (const auto& send : h.network.Sends()) {
            if (send.bytes[0] == 1) {
                destinations.push_back(FormatIpv4(send.destination));
            }
        }
        return destinations;
    }

    // The limits of the waits on the search socket.
    std::vector<WaitTime> SearchWaits() {
        std::vector<WaitTime> limits;
        for (const auto& wait : h.network.Waits()) {
            if (wait.port == h.network.PortOfSocket(0)) {
                limits.push_back(wait.limit);
            }
        }
        return limits;
    }

    int SearchReceives() {
        int count = 0;
        for (const auto& receive : h.network.Receives()) {
            count += receive.port == h.network.PortOfSocket(0) ? 1 : 0;
        }
        return count;
    }

    SearchHarness h;
    RecordingObserver observer;
    std::vector<FakePrinter> printers;

  private:
};

TEST_F(SpecifiedSearchTest, LocalSubnetFirstThenTheConfiguredSubnet) {
    h.WriteSpecifiedSettings(7, {"10.1.2.3"}, {"255.255.0.0"});
    FakePrinter& remote = Printer("10.1.7.7");
    remote.prefixLength = 16;
    EXPECT_EQ(Run().devicesListed, 1);
    EXPECT_EQ(DiscoveryDestinations(), (Texts{"192.168.1.255", "10.1.255.255"}));
    // Local: one quiet wait. Remote: the first wait, the wait before the read, the quiet wait.
    EXPECT_EQ(SearchWaits(), (std::vector<WaitTime>(4, WaitTime{3, 0})));
    EXPECT_EQ(h.list.ColumnTexts(0), Texts{"10.1.7.7"});
    EXPECT_EQ(h.network.OpenSocketCount(), 0);
    // Each destination is announced as the operator wrote it, with its place.
    std::vector<std::string> announced;
    for (const SearchProgress& progress : observer.Progress()) {
        announced.push_back(progress.destination + " " + std::to_string(progress.destinationIndex) +
                            "/" + std::to_string(progress.destinationCount) + " " +
                            std::to_string(progress.devicesListed));
    }
    EXPECT_EQ(announced, (Texts{"192.168.1.23/255.255.255.0 1/2 0", "10.1.2.3/255.255.0.0 2/2 0",
                                "10.1.2.3/255.255.0.0 2/2 1"}));
}

TEST_F(SpecifiedSearchTest, SequenceByteAdvancesOncePerDestination) {
    h.WriteSpecifiedSettings(6, {"10.1.2.3", "10.1.2.4"}, {"255.255.255.255", "255.255.255.255"});
    Run();
    const auto sends = h.network.Sends();
    ASSERT_EQ(sends.size(), 3u);
    EXPECT_EQ(sends[0].bytes, RequestBytes(1, 1));
    EXPECT_EQ(sends[1].bytes, RequestBytes(1, 2));
    EXPECT_EQ(sends[2].bytes, RequestBytes(1, 3));
    EXPECT_EQ(h.requests.pendingSends, 0);
}

TEST_F(SpecifiedSearchTest, SingleAddressIsReadOnceAnd255TextIsCollected) {
    h.WriteSpecifiedSettings(6, {"10.1.255.3", "10.1.2.3"}, {"255.255.255.255", "255.255.255.255"});
    Printer("10.1.255.3").discovery.behaviour = ReplyBehaviour::Twice;
    Printer("10.1.2.3").discovery.behaviour = ReplyBehaviour::Twice;
    Run();
    EXPECT_EQ(DiscoveryDestinations(), (Texts{"192.168.1.255", "10.1.255.3", "10.1.2.3"}));
    // a = 2 (local, 10.1.255.3): 2-second subnet waits; n = 1: a 1-second single wait.
    // 10.1.255.3 is collected: the first wait, two reads, the quiet wait.
    const std::vector<WaitTime> expected = {{2, 0}, {2, 0}, {2, 0}, {2, 0}, {2, 0}, {1, 0}};
    EXPECT_EQ(SearchWaits(), expected);
    // Both copies read from the subnet-like destination, one from the single address.
    EXPECT_EQ(SearchReceives(), 3);
    EXPECT_EQ(h.list.ColumnTexts(0), (Texts{"10.1.255.3", "10.1.2.3"}));
}

TEST_F(SpecifiedSearchTest, MixedDestinationsSplitTheTimeout) {
    h.WriteSpecifiedSettings(6, {"10.1.0.0", "10.2.0.1", "10.2.0.2"},
                             {"255.255.0.0", "255.255.255.255", "255.255.255.255"});
    Run();
    const std::vector<WaitTime> expected = {{2, 0}, {2, 0}, {0, 500000}, {0, 500000}};
    EXPECT_EQ(SearchWaits(), expected);
}

TEST_F(SpecifiedSearchTest, SevenSubnetsWaitInMicroseconds) {
    h.WriteSpecifiedSettings(
        6, {"10.1.0.0", "10.2.0.0", "10.3.0.0", "10.4.0.0", "10.5.0.0", "10.6.0.0"},
        Texts(6, "255.255.0.0"));
    Run();
    EXPECT_EQ(SearchWaits(), (std::vector<WaitTime>(7, WaitTime{0, 857142})));
    EXPECT_EQ(h.network.Now(), 7 * 857142);
}

TEST_F(SpecifiedSearchTest, NoSubnetListEndsAtOnceWithAnEmptyList) {
    h.WriteSettingsText(
        "[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n"
        "IPAddress=10.1.2.3\n[TimeOut]\nTimeVal=6\n");
    h.list.AppendRow({"10.9.9.9", "", "", ""});
    EXPECT_EQ(Run().end, SearchEnd::NoAddressList);
    EXPECT_TRUE(h.network.Sends().empty());
    EXPECT_EQ(h.list.ItemCount(), 0);
    EXPECT_EQ(h.network.OpenSocketCount(), 0);
}

TEST_F(SpecifiedSearchTest, SocketThatCannotOpenStillGivesRetrieveBack) {
    h.WriteSpecifiedSettings(6, {"10.1.2.3"}, {"255.255.255.255"});
    h.list.AppendRow({"10.9.9.9", "", "", ""});
    h.network.SetOpenFails(true);
    EXPECT_EQ(Run().end, SearchEnd::NoSocket);
    EXPECT_EQ(h.list.ItemCount(), 1);
}

TEST_F(SpecifiedSearchTest, EachSubnetIsItsOwnOrderedBlockAndSinglesGoLast) {
    h.network.SetLocalAddress(Address("198.51.100.2"));
    h.WriteSpecifiedSettings(9, {"203.0.113.0", "198.18.0.9"},
                             {"255.255.255.0", "255.255.255.255"});
    Printer("198.51.100.30", 300);
    Printer("198.51.100.10", 100);
    Printer("198.51.100.20", 200);
    Printer("203.0.113.9", 100);
    Printer("203.0.113.5", 200);
    Printer("198.18.0.9", 100);
    Run();
    EXPECT_EQ(h.list.ColumnTexts(0), (Texts{"198.51.100.10", "198.51.100.20", "198.51.100.30",
                                            "203.0.113.5", "203.0.113.9", "198.18.0.9"}));
}

TEST_F(SpecifiedSearchTest, LateReplyUsesUpTheSingleAddressRead) {
    h.WriteSpecifiedSettings(6, {"10.1.2.3", "10.1.2.4"}, {"255.255.255.255", "255.255.255.255"});
    // The local subnet's wait is 5 s; this reply comes after it, during the next destination.
    Printer("192.168.1.50", 5100000);
    Printer("10.1.2.3", 300000);
    Printer("10.1.2.4").discovery.behaviour = ReplyBehaviour::Silent;
    Run();
    EXPECT_EQ(h.list.ItemCount(), 0);
    EXPECT_EQ(SearchReceives(), 2);
    // Nothing was accepted, so no device was ever probed.
    EXPECT_EQ(DiscoveryDestinations().size(), h.network.Sends().size());
}

TEST_F(SpecifiedSearchTest, FailedReceiveEndsOnlyTheCurrentSubnet) {
    h.WriteSpecifiedSettings(6, {"10.1.2.3"}, {"255.255.255.255"});
    Printer("192.168.1.40", kSecond).discovery.behaviour = ReplyBehaviour::TooLong;
    Printer("192.168.1.41", 2 * kSecond);
    Printer("10.1.2.3", 100000);
    Run();
    EXPECT_EQ(DiscoveryDestinations(), (Texts{"192.168.1.255", "10.1.2.3"}));
    EXPECT_EQ(h.list.ColumnTexts(0), Texts{"10.1.2.3"});
}

TEST_F(SpecifiedSearchTest, FailedSendEndsTheDestinationLoop) {
    h.WriteSpecifiedSettings(6, {"10.1.0.0", "10.2.0.0"}, {"255.255.0.0", "255.255.0.0"});
    h.network.FailSendsTo(Address("10.1.255.255"));
    const SearchOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SearchEnd::Searched);
    EXPECT_EQ(outcome.reason, FakeNetwork::kSendFailureText);
    const auto sends = h.network.Sends();
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_FALSE(sends[1].accepted);
    EXPECT_EQ(h.requests.pendingSends, 1);  // the failed send was not given back
    EXPECT_EQ(
        outcome.unsentDestinations,
        (std::vector<UnsentDestination>{{"10.1.0.0/255.255.0.0", FakeNetwork::kSendFailureText}}));
    EXPECT_EQ(outcome.destinationsNotTried, 1);
}

TEST_F(SpecifiedSearchTest, SaysWhichSubnetsARouterHidesAndWhichPrintersStayedSilent) {
    h.network.SetRoutersDropDirectedBroadcasts(true);
    h.WriteSpecifiedSettings(6, {"203.0.113.0", "192.168.1.0", "10.1.2.3"},
                             {"255.255.255.0", "255.255.255.0", "255.255.255.255"});
    Printer("203.0.113.40");
    Printer("192.168.1.40").serialNo.behaviour = ReplyBehaviour::Silent;
    const SearchOutcome outcome = Run();
    // Still one request per destination.
    EXPECT_EQ(DiscoveryDestinations(),
              (Texts{"192.168.1.255", "203.0.113.255", "192.168.1.255", "10.1.2.3"}));
    EXPECT_EQ(h.list.ItemCount(), 0);
    EXPECT_EQ(outcome.unattachedSubnets, Texts{"203.0.113.0/255.255.255.0"});
    // Probed twice (its subnet is searched twice), named once.
    EXPECT_EQ(outcome.silentPrinters, Texts{"192.168.1.40"});
    EXPECT_FALSE(outcome.thorough);
}

TEST_F(SpecifiedSearchTest, MalformedPairsAreSkippedNeverSentToBroadcast) {
    h.WriteSpecifiedSettings(6, {"10.1.2.300", "bogus", "10.1.2.3", "10.2.0.1", "10.10.10.1000000"},
                             {"255.255.255.255", "255.255.255.255", "255.255.255",
                              "255.255.255.255", "255.255.255.255"});
    Run();
    EXPECT_EQ(DiscoveryDestinations(), (Texts{"192.168.1.255", "10.2.0.1"}));
    for (const auto& send : h.network.Sends()) {
        EXPECT_NE(send.destination, kLimitedBroadcast);
    }
}

}  // namespace
}  // namespace vindle
