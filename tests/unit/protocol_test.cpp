#include "discovery/protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "discovery/device_table.h"
#include "fakes/search_harness.h"
#include "platform/ipv4_text.h"

namespace vindle {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes BufferBytes(const std::uint8_t (&buffer)[kRequestSize]) {
    return Bytes(buffer, buffer + kRequestSize);
}

DiscoveryReply ReplyWithHead(std::uint8_t sequence, const std::string& model) {
    DiscoveryReply reply{};
    reply[0] = 0x01;
    reply[1] = sequence;
    std::memcpy(reply.data() + 4, model.data(), std::min<std::size_t>(model.size(), 17));
    return reply;
}

Ipv4Address Address(const char* text) {
    return ParseIpv4(text).value();
}

class ProtocolTest : public ::testing::Test {
  protected:
    // A context holding one accepted device at `address` in slot 0, cursor on it.
    void AcceptDevice(const char* address, const char* model = "MODEL-X") {
        ASSERT_TRUE(AcceptDiscoveryReply(ReplyWithHead(h.requests.discoveryRequest[1], model),
                                         Address(address), context));
        context.slotCursor = context.deviceCount - 1;
    }

    SearchHarness h;
    std::unique_ptr<SearchContext> m_search = h.NewContext();
    SearchContext& context = *m_search;
};

TEST_F(ProtocolTest, RequestBuffersStartWithTheirFixedBytes) {
    EXPECT_EQ(BufferBytes(h.requests.discoveryRequest), (Bytes{0x01, 0, 0, 0, 0x1B, 0x6E, 0x22}));
    EXPECT_EQ(BufferBytes(h.requests.serialNumberRequest),
              (Bytes{0x02, 0, 0, 0, 0x1B, 0x6E, 0x21}));
    EXPECT_EQ(BufferBytes(h.requests.macAddressRequest), (Bytes{0x03, 0, 0, 0, 0x1B, 0x6E, 0x23}));
    EXPECT_EQ(h.requests.pendingSends, 0);
}

TEST_F(ProtocolTest, SequenceByteWrapsAfterFFAndNothingElseChanges) {
    h.requests.discoveryRequest[1] = 0xFE;
    h.requests.AdvanceSequence(h.requests.discoveryRequest);
    EXPECT_EQ(h.requests.discoveryRequest[1], 0xFF);
    h.requests.AdvanceSequence(h.requests.discoveryRequest);
    EXPECT_EQ(BufferBytes(h.requests.discoveryRequest),
              (Bytes{0x01, 0x00, 0, 0, 0x1B, 0x6E, 0x22}));
    EXPECT_EQ(h.requests.pendingSends, 2);
}

TEST_F(ProtocolTest, AtTheCeilingOfPendingSendsNoSequenceByteAdvances) {
    h.requests.pendingSends = 255;
    h.requests.AdvanceSequence(h.requests.serialNumberRequest);
    EXPECT_EQ(h.requests.serialNumberRequest[1], 1);
    EXPECT_EQ(h.requests.pendingSends, 256);
    h.requests.AdvanceSequence(h.requests.macAddressRequest);
    h.requests.AdvanceSequence(h.requests.discoveryRequest);
    EXPECT_EQ(h.requests.macAddressRequest[1], 0);
    EXPECT_EQ(h.requests.discoveryRequest[1], 0);
    EXPECT_EQ(h.requests.pendingSends, 256);
}

TEST_F(ProtocolTest, OnlyAcceptedKind1And2SendsAreGivenBack) {
    auto socket = h.network.OpenUdpSocket();
    ASSERT_TRUE(socket);
    EXPECT_TRUE(h.requests.SendRequestInSequence(*socket, Address("10.0.0.1"),
                                                 h.requests.discoveryRequest));
    EXPECT_TRUE(h.requests.SendRequestInSequence(*socket, Address("10.0.0.1"),
                                                 h.requests.serialNumberRequest));
    EXPECT_EQ(h.requests.pendingSends, 0);
    EXPECT_TRUE(h.requests.SendRequestInSequence(*socket, Address("10.0.0.1"),
                                                 h.requests.macAddressRequest));
    EXPECT_EQ(h.requests.pendingSends, 1);

    h.network.FailSendsAfter(0);
    EXPECT_FALSE(h.requests.SendRequestInSequence(*socket, Address("10.0.0.1"),
                                                  h.requests.serialNumberRequest));
    EXPECT_EQ(h.requests.pendingSends, 2);
    EXPECT_EQ(h.requests.serialNumberRequest[1], 2);

    const auto sends = h.network.Sends();
    ASSERT_EQ(sends.size(), 4u);
    EXPECT_EQ(sends[0].bytes, RequestBytes(1, 1));
    EXPECT_EQ(sends[0].destinationPort, kDiscoveryPort);
    EXPECT_EQ(sends[1].bytes, RequestBytes(2, 1));
    EXPECT_EQ(sends[2].bytes, RequestBytes(3, 1));
    EXPECT_FALSE(sends[3].accepted);
}

// Each complete probe leaves one kind-3 send pending, so after 256 probes the counter sits at the
// ceiling: from then on the kind-2 byte stays put while the kind-3 byte still moves (the kind-2
// give-back lowers the counter just enough for it).
TEST_F(ProtocolTest, ProbesOverManySearchesFollowTheKind3Rule) {
    h.network.AddPrinter(MakeFakePrinter("10.0.0.7", "M", "S", {1, 2, 3, 4, 5, 6}));
    AcceptDevice("10.0.0.7");
    for (int probe = 1; probe <= 260; ++probe) {
        ASSERT_EQ(ProbeDeviceDetails(context), 1) << "probe " << probe;
        ASSERT_STREQ(context.deviceSlots[0].serialNumber, "S") << "probe " << probe;
    }
    std::vector<int> serialBytes;
    std::vector<int> macBytes;
    for (const auto& send : h.network.Sends()) {
        (send.bytes[0] == 2 ? serialBytes : macBytes).push_back(send.bytes[1]);
    }
    ASSERT_EQ(serialBytes.size(), 260u);
    ASSERT_EQ(macBytes.size(), 260u);
    EXPECT_EQ(serialBytes[254], 255);
    EXPECT_EQ(serialBytes[255], 0);  // 256th probe: wrapped
    EXPECT_EQ(macBytes[255], 0);
    EXPECT_EQ(serialBytes[256], 0);  // counter at 256: unchanged
    EXPECT_EQ(serialBytes[259], 0);
    EXPECT_EQ(macBytes[256], 1);
    EXPECT_EQ(macBytes[259], 4);
    EXPECT_EQ(h.requests.pendingSends, 256);
}

TEST_F(ProtocolTest, DiscoveryReplyIsAcceptedByItsHeadAlone) {
    h.requests.discoveryRequest[1] = 7;
    DiscoveryReply reply = ReplyWithHead(7, "ABCDEFGHIJKLMNOPQ");
    ASSERT_TRUE(AcceptDiscoveryReply(reply, Address("203.0.113.250"), context));
    EXPECT_EQ(context.deviceCount, 1);
    EXPECT_STREQ(context.deviceSlots[0].ipText, "203.0.113.250");
    EXPECT_STREQ(context.deviceSlots[0].modelNumber, "ABCDEFGHIJKLMNOPQ");

    // A head of four matching bytes and nothing else: accepted with an empty model.
    DiscoveryReply bare{};
    bare[0] = 1;
    bare[1] = 7;
    ASSERT_TRUE(AcceptDiscoveryReply(bare, Address("10.0.0.1"), context));
    EXPECT_EQ(context.deviceSlots[1].modelNumber[0], '\0');
    EXPECT_EQ(context.deviceCount, 2);

    for (int byte = 0; byte < 4; ++byte) {
        DiscoveryReply wrong = reply;
        wrong[byte] ^= 0x40;
        EXPECT_FALSE(AcceptDiscoveryReply(wrong, Address("10.0.0.2"), context)) << byte;
    }
    EXPECT_FALSE(AcceptDiscoveryReply(ReplyWithHead(6, "OLD"), Address("10.0.0.2"), context));
    EXPECT_EQ(context.deviceCount, 2);
    EXPECT_EQ(context.deviceSlots[2].ipText[0], '\0');
}

TEST_F(ProtocolTest, FullTableGivesItsLastSlotToTheNewReply) {
    for (int i = 0; i < kDeviceSlotCount; ++i) {
        const std::string address = "10.0.0." + std::to_string(i + 1);
        ASSERT_TRUE(AcceptDiscoveryReply(ReplyWithHead(0, "M"), Address(address.c_str()), context));
    }
    context.slotCursor = context.deviceCount;
    std::memset(context.deviceSlots[19].macField, 0xAB, 16);
    std::memcpy(context.deviceSlots[19].serialNumber, "OLDSERIAL", 10);

    ASSERT_TRUE(AcceptDiscoveryReply(ReplyWithHead(0, "NEW"), Address("10.9.9.9"), context));
    EXPECT_EQ(context.deviceCount, 20);
    EXPECT_EQ(context.slotCursor, 19);
    EXPECT_STREQ(context.deviceSlots[19].ipText, "10.9.9.9");
    EXPECT_STREQ(context.deviceSlots[19].modelNumber, "NEW");
    EXPECT_EQ(context.deviceSlots[19].serialNumber[0], '\0');
    EXPECT_EQ(std::string(context.deviceSlots[19].macField, 16), std::string(16, '\0'));
    EXPECT_STREQ(context.deviceSlots[18].ipText, "10.0.0.19");
}

TEST_F(ProtocolTest, CompleteProbeFillsSerialAndMacOnItsOwnSocket) {
    FakePrinter printer = MakeFakePrinter("10.0.0.7", "M", "SERIAL-0001", {2, 0x1A, 0x2B, 0x0C});
    for (int i = 6; i < 16; ++i) {
        printer.mac[i] = static_cast<std::uint8_t>(0xE0 + i);
    }
    h.network.AddPrinter(printer);
    auto searchSocket = h.network.OpenUdpSocket();
    AcceptDevice("10.0.0.7");

    EXPECT_EQ(ProbeDeviceDetails(context), 1);
    EXPECT_STREQ(context.deviceSlots[0].serialNumber, "SERIAL-0001");
    EXPECT_EQ(std::memcmp(context.deviceSlots[0].macField, printer.mac.data(), 16), 0);
    EXPECT_EQ(context.deviceSlots[0].macField[16], '\0');
    EXPECT_EQ(context.deviceCount, 1);

    const auto sends = h.network.Sends();
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(sends[0].destination, Address("10.0.0.7"));
    EXPECT_EQ(sends[0].bytes, RequestBytes(2, 1));
    EXPECT_EQ(sends[1].bytes, RequestBytes(3, 1));
    EXPECT_NE(sends[0].sourcePort, h.network.PortOfSocket(0));
    EXPECT_EQ(sends[1].sourcePort, sends[0].sourcePort);
    EXPECT_EQ(h.network.OpenSocketCount(), 1);  // the probe's socket is closed again
    for (const auto& wait : h.network.Waits()) {
        EXPECT_EQ(wait.limit, (WaitTime{1, 0}));
    }
}

TEST_F(ProtocolTest, SerialAnswerMustComeWithinOneSecond) {
    FakePrinter printer = MakeFakePrinter("10.0.0.7", "M", "S1", {});
    printer.serialNo.delayMicros = 999999;
    h.network.AddPrinter(printer);
    AcceptDevice("10.0.0.7");
    EXPECT_EQ(ProbeDeviceDetails(context), 1);
    EXPECT_STREQ(context.deviceSlots[0].serialNumber, "S1");

    SearchHarness late;
    const std::unique_ptr<SearchContext> lateSearch = late.NewContext();
    SearchContext& lateContext = *lateSearch;
    printer.serialNo.delayMicros = 1000001;
    late.network.AddPrinter(printer);
    ASSERT_TRUE(AcceptDiscoveryReply(ReplyWithHead(0, "M"), Address("10.0.0.7"), lateContext));
    EXPECT_EQ(ProbeDeviceDetails(lateContext), 1);
    EXPECT_EQ(lateContext.deviceSlots[0].serialNumber[0], '\0');
    EXPECT_EQ(late.network.Now(), 1000000);
    EXPECT_EQ(late.network.Sends().size(), 1u);  // no kind-3 request without a serial answer
}

struct ProbeCase {
    const char* name;
    ReplyBehaviour serial;
    ReplyBehaviour mac;
    int result;
    bool addressKept;
    bool modelKept;
    const char* serialText;
    bool macStored;
    int deviceCount;
};

void PrintTo(const ProbeCase& c, std::ostream* os) {
    *os << c.name;
}

class ProbePathTest : public ProtocolTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbePathTest, LeavesSlotAndCountAsExpected) {
    const ProbeCase& c = GetParam();
    FakePrinter printer = MakeFakePrinter("10.0.0.7", "M", "SER", {9, 8, 7, 6, 5, 4});
    printer.serialNo.behaviour = c.serial;
    printer.macAddress.behaviour = c.mac;
    h.network.AddPrinter(printer);
    AcceptDevice("10.0.0.7", "MODEL");
    // Bytes from an earlier occupant show whether the MAC field was written.
    std::memset(context.deviceSlots[0].macField, 0x11, 16);

    EXPECT_EQ(ProbeDeviceDetails(context), c.result);
    const DeviceSlot& slot = context.deviceSlots[0];
    EXPECT_EQ(std::string(slot.ipText), c.addressKept ? "10.0.0.7" : "");
    EXPECT_EQ(std::string(slot.modelNumber), c.modelKept ? "MODEL" : "");
    EXPECT_EQ(std::string(slot.serialNumber), c.serialText);
    if (c.macStored) {
        EXPECT_EQ(std::memcmp(slot.macField, printer.mac.data(), 16), 0);
    } else if (c.deviceCount == 0) {
        EXPECT_EQ(std::string(slot.macField, 16), std::string(16, '\0'));
    } else {
        EXPECT_EQ(std::string(slot.macField, 16), std::string(16, '\x11'));
    }
    EXPECT_EQ(context.deviceCount, c.deviceCount);
    EXPECT_EQ(h.network.OpenSocketCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryPath, ProbePathTest,
    ::testing::Values(ProbeCase{"Complete", ReplyBehaviour::Normal, ReplyBehaviour::Normal, 1, true,
                                true, "SER", true, 1},
                      ProbeCase{"SerialSilent", ReplyBehaviour::Silent, ReplyBehaviour::Normal, 1,
                                true, true, "", false, 1},
                      ProbeCase{"SerialTooLong", ReplyBehaviour::TooLong, ReplyBehaviour::Normal, 1,
                                false, false, "", false, 1},
                      ProbeCase{"SerialWrongHead", ReplyBehaviour::WrongHead,
                                ReplyBehaviour::Normal, 0, false, false, "", false, 0},
                      ProbeCase{"SerialShort", ReplyBehaviour::Short, ReplyBehaviour::Normal, 1,
                                true, true, "", true, 1},
                      ProbeCase{"MacSilent", ReplyBehaviour::Normal, ReplyBehaviour::Silent, 1,
                                true, true, "SER", false, 1},
                      ProbeCase{"MacTooLong", ReplyBehaviour::Normal, ReplyBehaviour::TooLong, 1,
                                true, true, "SER", false, 1},
                      ProbeCase{"MacWrongHead", ReplyBehaviour::Normal, ReplyBehaviour::WrongHead,
                                0, false, false, "", false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProtocolTest, ProbeThatCannotStartLeavesTheSlotAlone) {
    h.network.AddPrinter(MakeFakePrinter("10.0.0.7", "M", "S", {}));
    AcceptDevice("10.0.0.7");

    h.network.SetOpenFails(true);
    EXPECT_EQ(ProbeDeviceDetails(context), 0);
    EXPECT_TRUE(h.network.Sends().empty());

    h.network.SetOpenFails(false);
    h.network.FailSendsAfter(0);
    EXPECT_EQ(ProbeDeviceDetails(context), 0);
    EXPECT_EQ(h.network.Sends().size(), 1u);  // the failed kind-2 send, and no kind 3

    EXPECT_STREQ(context.deviceSlots[0].ipText, "10.0.0.7");
    EXPECT_EQ(context.deviceCount, 1);
    EXPECT_EQ(h.requests.pendingSends, 1);  // a failed send is not given back
}

TEST_F(ProtocolTest, FailedProbeWaitsStoreNothing) {
    h.network.AddPrinter(MakeFakePrinter("10.0.0.7", "M", "S", {1, 2, 3, 4, 5, 6}));
    AcceptDevice("10.0.0.7");
    h.network.FailNextWaits(1);
    EXPECT_EQ(ProbeDeviceDetails(context), 1);
    EXPECT_EQ(context.deviceSlots[0].serialNumber[0], '\0');
    EXPECT_EQ(h.network.Sends().size(), 1u);
}

}  // namespace
}  // namespace vindle
