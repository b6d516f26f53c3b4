// The simulator over real sockets inside the LAN sandbox: who answers which request, from which
// address, and that no datagram upsets it.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>

#include "platform/posix/posix_network.h"
#include "tests/net/lan_test_support.h"

namespace vindle::lan_test {
namespace {

using namespace std::chrono_literals;

const Ipv4Address kGood = Ip(198, 51, 100, 10);
const Ipv4Address kSilentOnMac = Ip(198, 51, 100, 11);
const Ipv4Address kWrongSerialHead = Ip(198, 51, 100, 12);
const Ipv4Address kOversizeSerial = Ip(198, 51, 100, 13);
const Ipv4Address kShortSerial = Ip(198, 51, 100, 14);
const Ipv4Address kWrongMacHead = Ip(198, 51, 100, 15);
const Ipv4Address kSilentOnDiscovery = Ip(198, 51, 100, 16);
const Ipv4Address kTwice = Ip(203, 0, 113, 20);
const Ipv4Address kSlow = Ip(203, 0, 113, 21);
const Ipv4Address kFullWidth = Ip(198, 18, 0, 30);

class PrinterSimLanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_socket = m_network.OpenUdpSocket();
        ASSERT_NE(m_socket, nullptr);
    }

    std::vector<Reply> Ask(Ipv4Address destination, int kind,
                           std::chrono::milliseconds window = 400ms) {
        const std::vector<std::uint8_t> request = RequestOfKind(kind);
        EXPECT_TRUE(m_socket->SendTo(destination, kPrinterPort, request.data(), request.size()));
        return CollectReplies(*m_socket, window);
    }

    static std::map<Ipv4Address, int> CountBySender(const std::vector<Reply>& replies) {
        std::map<Ipv4Address, int> counts;
        for (const Reply& reply : replies) {
            ++counts[reply.sender];
        }
        return counts;
    }

    PosixNetwork m_network;
    std::unique_ptr<UdpSocket> m_socket;
};

TEST_F(PrinterSimLanTest, BroadcastReachesEveryPrinterOnceFromItsOwnAddress) {
    ASSERT_TRUE(m_socket->EnableBroadcast());
    const auto replies = Ask(kLimitedBroadcast, 1, 1200ms);

    const std::map<Ipv4Address, int> expected = {
        {kGood, 1},           {kSilentOnMac, 1}, {kWrongSerialHead, 1},
        {kOversizeSerial, 1}, {kShortSerial, 1}, {kWrongMacHead, 1},
        {kTwice, 2},          {kSlow, 1},        {kFullWidth, 1}};
    EXPECT_EQ(CountBySender(replies), expected);
    for (const Reply& reply : replies) {
        ASSERT_EQ(reply.bytes.size(), 21u);
        EXPECT_EQ(std::vector<std::uint8_t>(reply.bytes.begin(), reply.bytes.begin() + 4),
                  (std::vector<std::uint8_t>{1, 0, 0, 0}));
        if (reply.sender == kSlow) {
            EXPECT_GE(reply.arrival, 550ms);
        } else {
            EXPECT_LT(reply.arrival, 550ms);
        }
        if (reply.sender == kGood) {
            const std::string model(reply.bytes.begin() + 4, reply.bytes.end());
            EXPECT_EQ(model, std::string("QV-2200 Color\0\0\0\0", 17));
        }
        if (reply.sender == kFullWidth) {
            EXPECT_EQ(std::string(reply.bytes.begin() + 4, reply.bytes.end()), "ABCDEFGHIJKLMNOPQ");
        }
    }
}

// The limited broadcast is offered to vindle-op alone: vindle-peer is up but has no IPv4 address.
TEST_F(PrinterSimLanTest, BroadcastNeedsPermissionAndItsReportNamesTheInterfaces) {
    const std::vector<std::uint8_t> request = RequestOfKind(1);
    EXPECT_FALSE(m_socket->SendTo(kLimitedBroadcast, kPrinterPort, request.data(), request.size()));
    const SendReport refused = m_socket->LastSendReport();
    EXPECT_EQ(refused.interfacesTried, 1);
    EXPECT_TRUE(refused.interfacesSent.empty());
    EXPECT_EQ(refused.interfacesFailed, std::vector<std::string>{"vindle-op"});
    EXPECT_EQ(refused.errorText, std::strerror(EACCES));

    ASSERT_TRUE(m_socket->EnableBroadcast());
    ASSERT_TRUE(m_socket->SendTo(kLimitedBroadcast, kPrinterPort, request.data(), request.size()));
    const SendReport sent = m_socket->LastSendReport();
    EXPECT_EQ(sent.interfacesTried, 1);
    EXPECT_EQ(sent.interfacesSent, std::vector<std::string>{"vindle-op"});
    EXPECT_TRUE(sent.interfacesFailed.empty());
    EXPECT_EQ(sent.errorText, "");

    ASSERT_TRUE(m_socket->SendTo(kGood, kPrinterPort, request.data(), request.size()));
    EXPECT_EQ(m_socket->LastSendReport().interfacesTried, 0);
}

TEST_F(PrinterSimLanTest, DirectedBroadcastReachesOnlyItsSubnet) {
    ASSERT_TRUE(m_socket->EnableBroadcast());
    EXPECT_EQ(CountBySender(Ask(Ip(203, 0, 113, 255), 1, 900ms)),
              (std::map<Ipv4Address, int>{{kTwice, 2}, {kSlow, 1}}));
    EXPECT_EQ(CountBySender(Ask(Ip(198, 19, 255, 255), 1)),
              (std::map<Ipv4Address, int>{{kFullWidth, 1}}));
    EXPECT_EQ(CountBySender(Ask(Ip(198, 51, 100, 255), 1)),
              (std::map<Ipv4Address, int>{{kGood, 1},
                                          {kSilentOnMac, 1},
                                          {kWrongSerialHead, 1},
                                          {kOversizeSerial, 1},
                                          {kShortSerial, 1},
                                          {kWrongMacHead, 1}}));
}

TEST_F(PrinterSimLanTest, UnicastDiscoveryReachesOnePrinter) {
    EXPECT_EQ(CountBySender(Ask(kFullWidth, 1)), (std::map<Ipv4Address, int>{{kFullWidth, 1}}));
    EXPECT_TRUE(Ask(kSilentOnDiscovery, 1).empty());
}

TEST_F(PrinterSimLanTest, DetailRequestsAreAnsweredOnlyAtThePrintersOwnAddress) {
    ASSERT_TRUE(m_socket->EnableBroadcast());
    EXPECT_TRUE(Ask(kLimitedBroadcast, 2).empty());
    EXPECT_TRUE(Ask(Ip(198, 51, 100, 255), 3).empty());

    const auto serial = Ask(kGood, 2);
    ASSERT_EQ(serial.size(), 1u);
    EXPECT_EQ(serial[0].sender, kGood);
    EXPECT_EQ(serial[0].bytes, (std::vector<std::uint8_t>{2, 0, 0, 0, 'Q', 'V', '2', '2', 'A', '0',
                                                          '0', '0', '1', '1', '7'}));

    const auto mac = Ask(kGood, 3);
    ASSERT_EQ(mac.size(), 1u);
    EXPECT_EQ(mac[0].bytes, (std::vector<std::uint8_t>{3,    0,    0,    0,    0x02, 0x1a, 0x2b,
                                                       0x0c, 0x4d, 0x5e, 0x10, 0x11, 0x12, 0x13,
                                                       0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x00}));
}

TEST_F(PrinterSimLanTest, MisbehavingPrintersAnswerAsConfigured) {
    const auto wrongHead = Ask(kWrongSerialHead, 2);
    ASSERT_EQ(wrongHead.size(), 1u);
    EXPECT_EQ(wrongHead[0].bytes.size(), 15u);
    EXPECT_NE(wrongHead[0].bytes[1], 0);

    const auto oversize = Ask(kOversizeSerial, 2);
    ASSERT_EQ(oversize.size(), 1u);
    EXPECT_GT(oversize[0].bytes.size(), 15u);

    const auto shortReply = Ask(kShortSerial, 2);
    ASSERT_EQ(shortReply.size(), 1u);
    EXPECT_EQ(shortReply[0].bytes, (std::vector<std::uint8_t>{2, 0, 0, 0}));

    EXPECT_TRUE(Ask(kSilentOnMac, 3).empty());
}

TEST_F(PrinterSimLanTest, HeadIsEchoedWithTheRequestsSequenceByte) {
    const std::vector<std::uint8_t> request = {2, 0xA7, 0, 0, 0x1B, 0x6E, 0x21};
    ASSERT_TRUE(m_socket->SendTo(kGood, kPrinterPort, request.data(), request.size()));
    const auto replies = CollectReplies(*m_socket, 400ms);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(replies[0].bytes.begin(), replies[0].bytes.begin() + 4),
              (std::vector<std::uint8_t>{2, 0xA7, 0, 0}));
}

TEST_F(PrinterSimLanTest, SurvivesArbitraryDatagrams) {
    std::vector<std::uint8_t> junk(65'507);
    for (std::size_t i = 0; i < junk.size(); ++i) {
        junk[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    for (const std::size_t size : {0, 1, 3, 4, 6, 7, 8, 21, 22, 1500, 65'507}) {
        EXPECT_TRUE(m_socket->SendTo(kGood, kPrinterPort, junk.data(), size)) << size;
    }
    // Near-requests: a wrong selector, a kind out of range, non-zero padding.
    for (const std::vector<std::uint8_t>& nearMiss :
         {std::vector<std::uint8_t>{1, 0, 0, 0, 0x1B, 0x6E, 0x21},
          std::vector<std::uint8_t>{4, 0, 0, 0, 0x1B, 0x6E, 0x22},
          std::vector<std::uint8_t>{0, 0, 0, 0, 0x1B, 0x6E, 0x22},
          std::vector<std::uint8_t>{1, 0, 1, 0, 0x1B, 0x6E, 0x22}}) {
        EXPECT_TRUE(m_socket->SendTo(kGood, kPrinterPort, nearMiss.data(), nearMiss.size()));
    }
    EXPECT_TRUE(CollectReplies(*m_socket, 300ms).empty());
    EXPECT_EQ(CountBySender(Ask(kGood, 1)), (std::map<Ipv4Address, int>{{kGood, 1}}));
}

}  // namespace
}  // namespace vindle::lan_test
