#include "discovery/broadcast_search.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "discovery/protocol.h"
#include "fakes/recording_observer.h"
#include "fakes/search_harness.h"
#include "platform/ipv4_text.h"

namespace vindle {
namespace {

using Texts = std::vector<std::string>;
using namespace std::chrono_literals;

constexpr std::int64_t kSecond = 1000000;

Ipv4Address Address(const char* text) {
    return ParseIpv4(text).value();
}

class BroadcastSearchTest : public ::testing::Test {
  protected:
    void SetUp() override { h.WriteBroadcastSettings(6); }

    FakePrinter& Printer(const char* address, std::int64_t delayMicros = 0) {
        printers.push_back(MakeFakePrinter(address, "MODEL", "SER", {0, 1, 2, 3, 4, 5}));
        printers.back().discovery.delayMicros = delayMicros;
        return printers.back();
    }

    SearchOutcome Run() {
        for (const FakePrinter& printer : printers) {
            h.network.AddPrinter(printer);
        }
        const SearchOutcome outcome = BroadcastSearchThread(h.NewContext(&observer));
        // The outcome is reported once, as returned.
        EXPECT_EQ(observer.Outcomes(), std::vector<SearchOutcome>{outcome});
        return outcome;
    }

    SearchHarness h;
    RecordingObserver observer;
    std::vector<FakePrinter> printers;
};

TEST_F(BroadcastSearchTest, QuietNetworkEmptiesTheListAndEndsAfterTheTimeout) {
    h.list.AppendRow({"10.9.9.9", "old", "old", "old"});
    const SearchOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SearchEnd::Searched);
    EXPECT_EQ(outcome.devicesListed, 0);
    EXPECT_EQ(outcome.timeoutSeconds, 6);
    EXPECT_EQ(h.list.ItemCount(), 0);
    EXPECT_EQ(h.network.Now(), 6 * kSecond);
    EXPECT_EQ(h.network.OpenSocketCount(), 0);

    const auto sends = h.network.Sends();
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0].destination, kLimitedBroadcast);
    EXPECT_EQ(sends[0].destinationPort, 3001);
    EXPECT_EQ(sends[0].bytes, RequestBytes(1, 0));
    EXPECT_TRUE(sends[0].accepted);  // the broadcast permission was switched on
    const auto waits = h.network.Waits();
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].limit, (WaitTime{6, 0}));
}

TEST_F(BroadcastSearchTest, RequestGoesOutBeforeTheOldRowsAreCleared) {
    h.list.AppendRow({"10.9.9.9", "", "", ""});
    std::size_t sendsAtClear = 0;
    h.list.SetBeforeOperation([&](const char* operation) {
        if (std::string(operation) == "DeleteAllItems") {
            sendsAtClear = h.network.Sends().size();
        }
    });
    Printer("10.0.0.1");
    Run();
    EXPECT_EQ(sendsAtClear, 1u);
    EXPECT_EQ(h.list.ColumnTexts(0), Texts{"10.0.0.1"});
}

TEST_F(BroadcastSearchTest, ReplyWithinTheTimeoutIsListedAndALaterOneMissed) {
    Printer("10.0.0.5", 5 * kSecond);
    Run();
    EXPECT_EQ(h.list.ColumnTexts(0), Texts{"10.0.0.5"});
    // Listed at 5 s; the quiet period then starts afresh.
    EXPECT_EQ(h.network.Now(), 11 * kSecond);

    SearchHarness late;
    late.WriteBroadcastSettings(6);
    FakePrinter printer = MakeFakePrinter("10.0.0.7", "M", "S", {});
    printer.discovery.delayMicros = 7 * kSecond;
    late.network.AddPrinter(printer);
    BroadcastSearchThread(late.NewContext());
    EXPECT_EQ(late.list.ItemCount(), 0);
    EXPECT_EQ(late.network.Now(), 6 * kSecond);
}

TEST_F(BroadcastSearchTest, RepliesAreListedInAddressOrderAndEachRowIsReported) {
    Printer("10.0.1.2", 100);
    Printer("10.0.0.10", 200);
    Printer("10.0.0.9", 300);
    EXPECT_EQ(Run().devicesListed, 3);
    EXPECT_EQ(h.list.ColumnTexts(0), (Texts{"10.0.0.9", "10.0.0.10", "10.0.1.2"}));
    std::vector<int> listed;
    for (const SearchProgress& progress : observer.Progress()) {
        EXPECT_EQ(progress.destination, "255.255.255.255");
        EXPECT_EQ(progress.timeoutSeconds, 6);
        listed.push_back(progress.devicesListed);
    }
    EXPECT_EQ(listed, (std::vector<int>{0, 1, 2, 3}));
    // The probes used sockets of their own, never the search socket.
    const std::uint16_t searchPort = h.network.PortOfSocket(0);
    for (const auto& send : h.network.Sends()) {
        EXPECT_EQ(send.sourcePort == searchPort, send.bytes[0] == 1);
    }
}

TEST_F(BroadcastSearchTest, TwentyFivePrintersInOneSearchAreAllListed) {
    for (int i = 1; i <= 25; ++i) {
        const std::string address = "198.51.100." + std::to_string(100 - i);
        Printer(address.c_str(), i * 1000);
    }
    Run();
    const Texts listed = h.list.ColumnTexts(0);
    ASSERT_EQ(listed.size(), 25u);
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(listed[i], "198.51.100." + std::to_string(75 + i));
    }
}

TEST_F(BroadcastSearchTest, StrayDatagramsKeepTheSearchAlive) {
    const std::vector<std::uint8_t> garbage = {0x42, 0x42};
    for (int t : {4, 8, 12}) {
        h.network.InjectDatagram(0, garbage, Address("10.0.0.66"), t * kSecond);
    }
    Printer("10.0.0.1", 11 * kSecond);
    Run();
    EXPECT_EQ(h.list.ColumnTexts(0), Texts{"10.0.0.1"});
    EXPECT_EQ(h.network.Now(), 18 * kSecond);
}

TEST_F(BroadcastSearchTest, DatagramsOfAnySizeAreHandledSafely) {
    std::int64_t arrival = kSecond;
    for (std::size_t size : {0u, 1u, 3u, 4u, 20u, 21u, 22u, 100u, 65507u, 65536u}) {
        std::vector<std::uint8_t> bytes(size, 0xFF);
        if (size >= 4) {
            bytes[0] = 1;
            bytes[1] = 0;
            bytes[2] = 0;
            bytes[3] = 0;
        }
        h.network.InjectDatagram(0, bytes, Address("10.0.0.200"), arrival);
        arrival += kSecond;
    }
    FakePrinter& printer = Printer("10.0.0.200");
    printer.discovery.behaviour = ReplyBehaviour::Silent;
    Run();
    // Shorter heads are compared against zero bytes; 22 bytes and more are failed receives.
    // The 4-byte reply is accepted with an empty model (not listed), the 20-byte one listed
    // with a 16-byte model, and the 21-byte one dropped as the same address.
    EXPECT_EQ(h.list.ColumnTexts(0), Texts{"10.0.0.200"});
    EXPECT_EQ(h.list.ColumnTexts(2), Texts{std::string(16, '\xFF')});
    EXPECT_EQ(h.network.Now(), 16 * kSecond);
}

TEST_F(BroadcastSearchTest, WaitFailureEndsTheCollectionWithoutAReceive) {
    Printer("10.0.0.1", kSecond);
    h.network.FailNextWaits(1);
    EXPECT_EQ(Run().end, SearchEnd::Searched);
    EXPECT_EQ(h.list.ItemCount(), 0);
    EXPECT_TRUE(h.network.Receives().empty());
}

TEST_F(BroadcastSearchTest, ZeroTimeoutReadsOnlyWhatIsAlreadyQueued) {
    h.WriteSettingsText("[BroadCast]\nStatus=Enabled\n");
    Printer("10.0.0.1", 0);
    Printer("10.0.0.2", 1);
    Run();
    EXPECT_EQ(h.list.ColumnTexts(0), Texts{"10.0.0.1"});
}

TEST_F(BroadcastSearchTest, SocketThatCannotOpenStillGivesRetrieveBack) {
    h.list.AppendRow({"10.9.9.9", "", "", ""});
    h.network.SetOpenFails(true);
    EXPECT_EQ(Run().end, SearchEnd::NoSocket);
    EXPECT_TRUE(h.network.Sends().empty());
    EXPECT_EQ(h.list.ColumnTexts(0), Texts{"10.9.9.9"});
}

TEST_F(BroadcastSearchTest, RequestThatCannotLeaveIsReportedWithTheReasonAfterTheWait) {
    h.network.FailSendsAfter(0);
    const SearchOutcome outcome = Run();
    EXPECT_EQ(outcome.end, SearchEnd::NotSent);
    EXPECT_EQ(outcome.reason, FakeNetwork::kSendFailureText);
    EXPECT_EQ(h.network.Now(), 6 * kSecond);
}

TEST_F(BroadcastSearchTest, ShutdownEndsASearchBlockedOnAnotherThread) {
    h.network.SetHold(true);
    auto worker = std::async(std::launch::async, [this] { Run(); });
    ASSERT_TRUE(h.network.WaitUntilBlocked(5s));
    EXPECT_TRUE(observer.Outcomes().empty());
    h.network.Shutdown();
    EXPECT_EQ(worker.wait_for(5s), std::future_status::ready);
    worker.get();
    const auto waits = h.network.Waits();
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].result, -1);
}

}  // namespace
}  // namespace vindle
