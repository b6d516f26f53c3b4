#include "fakes/fake_network.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "fakes/search_harness.h"
#include "platform/ipv4_text.h"

namespace vindle {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

Ipv4Address Address(const char* text) {
    return ParseIpv4(text).value();
}

bool Send(UdpSocket& socket, const char* to, const Bytes& bytes) {
    return socket.SendTo(Address(to), 3001, bytes.data(), bytes.size());
}

// The fake's own rules, which every search test leans on; what every network promises is in
// tests/contract.
TEST(FakeNetworkTest, WaitsAdvanceVirtualTimeToAnArrivalOrTheirLimit) {
    FakeNetwork network;
    auto socket = network.OpenUdpSocket();
    network.InjectDatagram(0, {1, 2}, Address("10.0.0.1"), 2500000);
    EXPECT_EQ(socket->WaitReadable({0, 1500000}), 0);
    EXPECT_EQ(network.Now(), 1500000);
    EXPECT_EQ(socket->WaitReadable({1, 0}), 1);  // ends at the arrival, not at the limit
    EXPECT_EQ(network.Now(), 2500000);
    EXPECT_EQ(socket->WaitReadable({0, 0}), 1);
    EXPECT_EQ(socket->WaitReadable({-1, 0}), -1);
    EXPECT_EQ(network.Now(), 2500000);  // no time passes for a ready or failed wait
}

TEST(FakeNetworkTest, RepliesReachOnlyTheAskingSocketAndTheRightDestinations) {
    FakeNetwork network;
    FakePrinter printer = MakeFakePrinter("198.51.100.20", "M", "S", {});
    printer.prefixLength = 16;
    network.AddPrinter(printer);
    auto asking = network.OpenUdpSocket();
    auto other = network.OpenUdpSocket();
    asking->EnableBroadcast();

    EXPECT_TRUE(Send(*asking, "198.51.255.255", RequestBytes(1, 5)));
    EXPECT_TRUE(Send(*asking, "198.51.100.255", RequestBytes(1, 6)));   // not its /16 broadcast
    EXPECT_TRUE(Send(*asking, "255.255.255.255", RequestBytes(2, 1)));  // kind 2 not broadcast
    EXPECT_TRUE(Send(*asking, "198.51.100.20", RequestBytes(3, 9)));
    EXPECT_EQ(other->WaitReadable({0, 0}), 0);

    std::uint8_t buffer[64] = {};
    Ipv4Address sender = 0;
    ASSERT_EQ(asking->ReceiveFrom(buffer, sizeof buffer, sender), 21);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{1, 5, 0, 0}));
    EXPECT_EQ(buffer[4], 'M');
    EXPECT_EQ(sender, Address("198.51.100.20"));
    ASSERT_EQ(asking->ReceiveFrom(buffer, sizeof buffer, sender), 21);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{3, 9, 0, 0}));
    EXPECT_EQ(asking->WaitReadable({0, 0}), 0);
}

TEST(FakeNetworkTest, HeldWaitBlocksForRealUntilReleased) {
    FakeNetwork network;
    auto socket = network.OpenUdpSocket();
    network.SetHold(true);
    int result = -2;
    std::thread worker([&] { result = socket->WaitReadable({2, 0}); });
    ASSERT_TRUE(network.WaitUntilBlocked(5s));
    network.SetHold(false);
    worker.join();
    EXPECT_EQ(result, 0);  // released: the ordinary virtual-time rules apply
    EXPECT_EQ(network.Now(), 2000000);
}

}  // namespace
}  // namespace vindle
