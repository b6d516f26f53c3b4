// The detail probe over real sockets against simulated printers in the LAN sandbox.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "discovery/protocol.h"
#include "platform/ipv4_text.h"
#include "platform/posix/posix_network.h"
#include "tests/net/lan_test_support.h"

namespace vindle::lan_test {
namespace {

using Clock = std::chrono::steady_clock;

class ProbeLanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_context.network = &m_network;
        m_context.requests = &m_requests;
    }

    // Slot 0 as an accepted discovery reply leaves it.
    int Probe(Ipv4Address printer) {
        const std::string address = FormatIpv4(printer);
        std::strncpy(m_context.deviceSlots[0].ipText, address.c_str(),
                     sizeof m_context.deviceSlots[0].ipText - 1);
        std::strncpy(m_context.deviceSlots[0].modelNumber, "QV-MODEL",
                     sizeof m_context.deviceSlots[0].modelNumber - 1);
        m_context.deviceCount = 1;
        m_context.slotCursor = 0;
        const auto start = Clock::now();
        const int result = ProbeDeviceDetails(m_context);
        m_seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return result;
    }

    const DeviceSlot& Slot() const { return m_context.deviceSlots[0]; }

    std::vector<std::uint8_t> MacField() const {
        return {Slot().macField, Slot().macField + sizeof Slot().macField};
    }

    PosixNetwork m_network;
    RequestState m_requests;
    SearchContext m_context{};
    double m_seconds = 0;
};

TEST_F(ProbeLanTest, PrinterAnsweringBothKindsFillsSerialAndMac) {
    EXPECT_EQ(Probe(Ip(198, 51, 100, 10)), 1);
    EXPECT_STREQ(Slot().serialNumber, "QV22A000117");
    EXPECT_EQ(MacField(),
              (std::vector<std::uint8_t>{0x02, 0x1a, 0x2b, 0x0c, 0x4d, 0x5e, 0x10, 0x11, 0x12, 0x13,
                                         0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x00}));
    EXPECT_STREQ(Slot().ipText, "198.51.100.10");
    EXPECT_STREQ(Slot().modelNumber, "QV-MODEL");
    EXPECT_EQ(m_context.deviceCount, 1);
    EXPECT_LT(m_seconds, 1.0);  // no answer was waited out
}

TEST_F(ProbeLanTest, PrinterSilentOnMacKeepsSerialAndEmptyMacAfterOneSecond) {
    EXPECT_EQ(Probe(Ip(198, 51, 100, 11)), 1);
    EXPECT_STREQ(Slot().serialNumber, "QV33B000042");
    EXPECT_EQ(MacField(), std::vector<std::uint8_t>(17, 0));
    EXPECT_EQ(m_context.deviceCount, 1);
    EXPECT_GE(m_seconds, 1.0);
    EXPECT_LT(m_seconds, 2.0);  // the serial answer was not
}

TEST_F(ProbeLanTest, WrongSerialHeadGivesTheSlotBack) {
    EXPECT_EQ(Probe(Ip(198, 51, 100, 12)), 0);
    EXPECT_STREQ(Slot().ipText, "");
    EXPECT_STREQ(Slot().modelNumber, "");
    EXPECT_STREQ(Slot().serialNumber, "");
    EXPECT_EQ(m_context.deviceCount, 0);
}

TEST_F(ProbeLanTest, OversizeSerialReplyIsAFailedReceive) {
    EXPECT_EQ(Probe(Ip(198, 51, 100, 13)), 1);
    EXPECT_STREQ(Slot().ipText, "");
    EXPECT_STREQ(Slot().modelNumber, "");
    EXPECT_STREQ(Slot().serialNumber, "");
    EXPECT_EQ(m_context.deviceCount, 1);
}

TEST_F(ProbeLanTest, FourByteSerialReplyLeavesSerialEmptyAndGoesOnToMac) {
    EXPECT_EQ(Probe(Ip(198, 51, 100, 14)), 1);
    EXPECT_STREQ(Slot().serialNumber, "");
    EXPECT_STREQ(Slot().ipText, "198.51.100.14");
    EXPECT_EQ(MacField()[0], 0x02);  // generated, locally administered
    EXPECT_EQ(m_context.deviceCount, 1);
}

TEST_F(ProbeLanTest, WrongMacHeadBlanksTheWholeSlot) {
    EXPECT_EQ(Probe(Ip(198, 51, 100, 15)), 0);
    EXPECT_STREQ(Slot().ipText, "");
    EXPECT_STREQ(Slot().modelNumber, "");
    EXPECT_STREQ(Slot().serialNumber, "");
    EXPECT_EQ(MacField(), std::vector<std::uint8_t>(17, 0));
    EXPECT_EQ(m_context.deviceCount, 0);
}

TEST_F(ProbeLanTest, AbsentPrinterTimesOutWithNothingStored) {
    EXPECT_EQ(Probe(Ip(198, 51, 100, 99)), 1);
    EXPECT_STREQ(Slot().serialNumber, "");
    EXPECT_STREQ(Slot().ipText, "198.51.100.99");
    EXPECT_EQ(m_context.deviceCount, 1);
    EXPECT_GE(m_seconds, 1.0);
}

TEST_F(ProbeLanTest, ShutDownNetworkFailsTheProbeWithoutSending) {
    m_network.Shutdown();
    EXPECT_EQ(Probe(Ip(198, 51, 100, 10)), 0);
    EXPECT_STREQ(Slot().serialNumber, "");
    EXPECT_EQ(m_context.deviceCount, 1);
}

}  // namespace
}  // namespace vindle::lan_test
