#include "tools/printer-sim/sim_reply.h"

#include <gtest/gtest.h>

namespace vindle::sim {
namespace {

constexpr Ipv4Address kPrinter = 0xCB007114u;  // 203.0.113.20

SimPrinter MakePrinter() {
    SimPrinter printer;
    printer.address = kPrinter;
    printer.prefixLength = 24;
    printer.model = {'M', 'O', 'D'};
    printer.serial = {'S', 'N'};
    printer.mac = {0x02, 0x1a, 0x2b, 0x0c, 0x4d, 0x5e};
    printer.extra = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    return printer;
}

Request RequestOf(int kind, std::uint8_t sequence = 0x42) {
    static constexpr std::uint8_t kSelectors[] = {0x22, 0x21, 0x23};
    const std::uint8_t bytes[] = {
        static_cast<std::uint8_t>(kind), sequence, 0, 0, 0x1B, 0x6E, kSelectors[kind - 1]};
    return ParseRequest(bytes, sizeof bytes).value();
}

TEST(SimRequestTest, AcceptsOnlyTheThreeExactRequests) {
    EXPECT_EQ(RequestOf(3, 0xFF).head, (std::array<std::uint8_t, 4>{3, 0xFF, 0, 0}));
    const std::uint8_t good[] = {1, 0, 0, 0, 0x1B, 0x6E, 0x22, 0};
    EXPECT_TRUE(ParseRequest(good, 7).has_value());
    EXPECT_FALSE(ParseRequest(good, 8).has_value());
    for (std::size_t size = 0; size < 7; ++size) {
        EXPECT_FALSE(ParseRequest(good, size).has_value()) << size;
    }
    EXPECT_FALSE(ParseRequest(nullptr, 7).has_value());
    const std::uint8_t wrongSelector[] = {2, 0, 0, 0, 0x1B, 0x6E, 0x22};
    const std::uint8_t kindZero[] = {0, 0, 0, 0, 0x1B, 0x6E, 0x22};
    const std::uint8_t paddingSet[] = {1, 0, 0, 9, 0x1B, 0x6E, 0x22};
    EXPECT_FALSE(ParseRequest(wrongSelector, 7).has_value());
    EXPECT_FALSE(ParseRequest(kindZero, 7).has_value());
    EXPECT_FALSE(ParseRequest(paddingSet, 7).has_value());
}

TEST(SimReplyTest, NormalRepliesHaveTheProtocolsLayouts) {
    const SimPrinter printer = MakePrinter();
    const auto discovery = BuildReply(printer, RequestOf(1));
    ASSERT_EQ(discovery.size(), 21u);
    EXPECT_EQ(discovery[1], 0x42);
    EXPECT_EQ(std::string(discovery.begin() + 4, discovery.begin() + 8), std::string("MOD\0", 4));

    const auto serial = BuildReply(printer, RequestOf(2));
    ASSERT_EQ(serial.size(), 15u);
    EXPECT_EQ(std::vector<std::uint8_t>(serial.begin(), serial.begin() + 6),
              (std::vector<std::uint8_t>{2, 0x42, 0, 0, 'S', 'N'}));

    const auto mac = BuildReply(printer, RequestOf(3));
    EXPECT_EQ(mac, (std::vector<std::uint8_t>{3, 0x42, 0, 0, 0x02, 0x1a, 0x2b, 0x0c, 0x4d, 0x5e, 1,
                                              2, 3,    4, 5, 6,    7,    8,    9,    10,   0}));
}

TEST(SimReplyTest, MisbehavioursShapeTheReply) {
    SimPrinter printer = MakePrinter();
    printer.answers = {Answer::kSilent, Answer::kOversize, Answer::kShort};
    EXPECT_TRUE(BuildReply(printer, RequestOf(1)).empty());
    EXPECT_GT(BuildReply(printer, RequestOf(2)).size(), ReceiveSizeOf(2));
    EXPECT_EQ(BuildReply(printer, RequestOf(3)), (std::vector<std::uint8_t>{3, 0x42, 0, 0}));

    printer.answers = {Answer::kOversize, Answer::kWrongHead, Answer::kWrongHead};
    EXPECT_GT(BuildReply(printer, RequestOf(1)).size(), ReceiveSizeOf(1));
    const auto wrong = BuildReply(printer, RequestOf(2, 0xFF));
    ASSERT_EQ(wrong.size(), 15u);
    EXPECT_NE(wrong[1], 0xFF);
    EXPECT_EQ(wrong[0], 2);
}

TEST(SimReplyTest, KindOneReachesBroadcastsOtherKindsOnlyTheOwnAddress) {
    SimPrinter printer = MakePrinter();
    const Ipv4Address subnetBroadcast = 0xCB0071FFu;
    const Ipv4Address neighbour = 0xCB007115u;
    EXPECT_TRUE(RequestReachesPrinter(printer, 1, kLimitedBroadcast));
    EXPECT_TRUE(RequestReachesPrinter(printer, 1, subnetBroadcast));
    EXPECT_TRUE(RequestReachesPrinter(printer, 1, kPrinter));
    EXPECT_FALSE(RequestReachesPrinter(printer, 1, neighbour));
    EXPECT_FALSE(RequestReachesPrinter(printer, 1, 0xC63364FFu));  // another subnet's broadcast
    for (const int kind : {2, 3}) {
        EXPECT_TRUE(RequestReachesPrinter(printer, kind, kPrinter));
        EXPECT_FALSE(RequestReachesPrinter(printer, kind, kLimitedBroadcast));
        EXPECT_FALSE(RequestReachesPrinter(printer, kind, subnetBroadcast));
    }
    printer.prefixLength = 32;
    EXPECT_FALSE(RequestReachesPrinter(printer, 1, subnetBroadcast));
}

}  // namespace
}  // namespace vindle::sim
