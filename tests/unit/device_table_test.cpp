#include "discovery/device_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "discovery/protocol.h"
#include "fakes/search_harness.h"
#include "platform/ipv4_text.h"

namespace vindle {
namespace {

using Texts = std::vector<std::string>;

TEST(AddressOrderTest, ParseOctetsReadsLikeStrtokAndAtoi) {
    EXPECT_EQ(ParseOctets("192.168.1.23"), (std::array<int, 4>{192, 168, 1, 23}));
    EXPECT_EQ(ParseOctets("..10..0.0.9"), (std::array<int, 4>{10, 0, 0, 9}));
    EXPECT_EQ(ParseOctets("10.x.3"), (std::array<int, 4>{10, 0, 3, 0}));
    EXPECT_EQ(ParseOctets(" 7.-1.+2.99999999999"), (std::array<int, 4>{7, -1, 2, 2147483647}));
    EXPECT_EQ(ParseOctets(""), (std::array<int, 4>{0, 0, 0, 0}));
}

TEST(AddressOrderTest, AddressesCompareNumericallyOctetByOctet) {
    EXPECT_LT(CompareAddressTexts("10.0.0.9", "10.0.0.10"), 0);
    EXPECT_LT(CompareAddressTexts("10.0.0.10", "10.0.1.2"), 0);
    EXPECT_LT(CompareAddressTexts("10.0.0.200", "10.0.1.0"), 0);
    EXPECT_GT(CompareAddressTexts("9.255.255.255", "1.0.0.0"), 0);
    EXPECT_EQ(CompareAddressTexts("10.0.0.1", "10.0.0.1"), 0);
}

TEST(MacTextTest, SixLowercasePairsWithLeadingZeros) {
    const std::uint8_t first[] = {0x02, 0x1A, 0x2B, 0x0C, 0x4D, 0x5E, 0x77};
    const std::uint8_t second[] = {0x02, 0x1A, 0x0B, 0xC3, 0x04, 0xFF};
    const std::uint8_t zeros[6] = {};
    EXPECT_EQ(FormatMacAddress(first), "02:1a:2b:0c:4d:5e");
    EXPECT_EQ(FormatMacAddress(second), "02:1a:0b:c3:04:ff");
    EXPECT_EQ(FormatMacAddress(zeros), "00:00:00:00:00:00");
}

TEST(SlotTest, ModelAndSerialMustBothBePresent) {
    DeviceSlot slot{};
    EXPECT_FALSE(HasModelAndSerial(slot));
    std::strcpy(slot.modelNumber, "M");
    EXPECT_FALSE(HasModelAndSerial(slot));
    std::strcpy(slot.serialNumber, "S");
    EXPECT_TRUE(HasModelAndSerial(slot));
    slot.modelNumber[0] = '\0';
    EXPECT_FALSE(HasModelAndSerial(slot));
}

TEST(SlotTest, SlotTextStopsAtTheFieldEnd) {
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(SlotText(full), "abcd");
    char shortText[4] = {'a', '\0', 'c', 'd'};
    EXPECT_EQ(SlotText(shortText), "a");
}

// Drives ProcessAcceptedReply the way the searches do: accept a kind-1 reply from `address`,
// then process it.
class DeviceTableTest : public ::testing::Test {
  protected:
    void SetUp() override { h.WriteBroadcastSettings(6); }

    void AddPrinter(const char* address, const char* model = "MODEL", const char* serial = "SER",
                    std::array<std::uint8_t, 6> mac = {0x02, 0x1A, 0x2B, 0x0C, 0x4D, 0x5E}) {
        h.network.AddPrinter(MakeFakePrinter(address, model, serial, mac));
    }

    void ReplyFrom(const char* address, bool inBlock = false, int blockFirstRow = 0,
                   const std::string& model = "MODEL") {
        DiscoveryReply reply{};
        std::memcpy(reply.data(), h.requests.discoveryRequest, 4);
        std::memcpy(reply.data() + 4, model.data(), std::min<std::size_t>(model.size(), 17));
        ASSERT_TRUE(AcceptDiscoveryReply(reply, ParseIpv4(address).value(), context));
        ProcessAcceptedReply(context, inBlock, blockFirstRow);
    }

    SearchHarness h;
    std::unique_ptr<SearchContext> m_search = h.NewContext();
    SearchContext& context = *m_search;
};

TEST_F(DeviceTableTest, RowHoldsAddressMacModelAndSerial) {
    AddPrinter("198.51.100.20", "unused", "SERIAL-0001");
    ReplyFrom("198.51.100.20", false, 0, "ABCDEFGHIJKLMNOPQ");
    const auto rows = h.list.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].texts, (std::array<std::string, 4>{"198.51.100.20", "02:1a:2b:0c:4d:5e",
                                                         "ABCDEFGHIJKLMNOPQ", "SERIAL-0001"}));
    EXPECT_EQ(rows[0].state, ListRowState{});
    EXPECT_EQ(context.deviceCount, 1);
    EXPECT_EQ(context.slotCursor, 1);
}

TEST_F(DeviceTableTest, BroadcastPlacementIsNumericAddressOrder) {
    for (const char* address : {"10.0.1.2", "10.0.0.10", "10.0.0.9", "10.0.0.200"}) {
        AddPrinter(address);
    }
    ReplyFrom("10.0.1.2");
    ReplyFrom("10.0.0.10");
    ReplyFrom("10.0.0.9");
    ReplyFrom("10.0.0.200");
    EXPECT_EQ(h.list.ColumnTexts(0), (Texts{"10.0.0.9", "10.0.0.10", "10.0.0.200", "10.0.1.2"}));
}

TEST_F(DeviceTableTest, PlacementReadsTheRowsAsTheyStandNow) {
    AddPrinter("10.0.0.5");
    h.list.AppendRow({"10.0.0.9", "", "", ""});
    h.list.AppendRow({"10.0.0.1", "", "", ""});  // rows reordered by a sort, say
    ReplyFrom("10.0.0.5");
    EXPECT_EQ(h.list.ColumnTexts(0), (Texts{"10.0.0.5", "10.0.0.9", "10.0.0.1"}));
}

TEST_F(DeviceTableTest, BlocksNeverMoveRowsOfEarlierDestinations) {
    h.WriteSettingsText("[BroadCast]\nStatus=Disabled\n");
    for (const char* address : {"10.0.0.3", "10.0.0.1", "10.0.0.2"}) {
        AddPrinter(address);
    }
    h.list.AppendRow({"192.168.1.4", "", "", ""});
    h.list.AppendRow({"192.168.1.9", "", "", ""});
    ReplyFrom("10.0.0.3", true, 2);
    ReplyFrom("10.0.0.1", true, 2);
    ReplyFrom("10.0.0.2", true, 2);
    EXPECT_EQ(h.list.ColumnTexts(0),
              (Texts{"192.168.1.4", "192.168.1.9", "10.0.0.1", "10.0.0.2", "10.0.0.3"}));

    // Outside a block the row goes to the end, whatever its address.
    AddPrinter("1.1.1.1");
    ReplyFrom("1.1.1.1", false, 0);
    EXPECT_EQ(h.list.ColumnTexts(0).back(), "1.1.1.1");
}

TEST_F(DeviceTableTest, BroadcastStatusIsReadForEveryReply) {
    for (const char* address : {"10.0.0.5", "10.0.0.1", "10.0.0.3", "10.0.0.2"}) {
        AddPrinter(address);
    }
    ReplyFrom("10.0.0.5");
    ReplyFrom("10.0.0.1");
    h.WriteSettingsText("[BroadCast]\nStatus=Disabled\n");
    ReplyFrom("10.0.0.3");
    EXPECT_EQ(h.list.ColumnTexts(0), (Texts{"10.0.0.1", "10.0.0.5", "10.0.0.3"}));

    // Any other value (case matters): probed, not listed, slot kept.
    h.WriteSettingsText("[BroadCast]\nStatus=enabled\n");
    ReplyFrom("10.0.0.2");
    EXPECT_EQ(h.list.ItemCount(), 3);
    EXPECT_EQ(context.deviceCount, 4);
    EXPECT_STREQ(context.deviceSlots[3].ipText, "10.0.0.2");
}

TEST_F(DeviceTableTest, DuplicateIsProbedTwiceListedOnceAndItsSlotReused) {
    AddPrinter("10.0.0.7", "M", "S7", {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
    FakePrinter quiet = MakeFakePrinter("10.0.0.8", "M", "S8", {});
    quiet.macAddress.behaviour = ReplyBehaviour::Silent;
    h.network.AddPrinter(quiet);

    ReplyFrom("10.0.0.7");
    ReplyFrom("10.0.0.7");
    EXPECT_EQ(h.list.ItemCount(), 1);
    EXPECT_EQ(context.deviceCount, 1);
    EXPECT_EQ(context.slotCursor, 1);
    int serialRequests = 0;
    for (const auto& send : h.network.Sends()) {
        serialRequests += send.bytes[0] == 2 ? 1 : 0;
    }
    EXPECT_EQ(serialRequests, 2);

    // The next device fills the freed slot and shows none of the dropped device's MAC bytes.
    ReplyFrom("10.0.0.8");
    EXPECT_STREQ(context.deviceSlots[1].ipText, "10.0.0.8");
    EXPECT_EQ(h.list.ColumnTexts(0), (Texts{"10.0.0.7", "10.0.0.8"}));
    EXPECT_EQ(h.list.ColumnTexts(1), (Texts{"aa:bb:cc:dd:ee:ff", "00:00:00:00:00:00"}));
}

TEST_F(DeviceTableTest, IncompleteDevicesAreNotListedButKeepTheirSlots) {
    AddPrinter("10.0.0.1", "M", "");  // empty serial number
    FakePrinter tooLong = MakeFakePrinter("10.0.0.2", "M", "S", {});
    tooLong.serialNo.behaviour = ReplyBehaviour::TooLong;  // failed receive blanks the address
    h.network.AddPrinter(tooLong);
    FakePrinter noMac = MakeFakePrinter("10.0.0.3", "M", "S3", {});
    noMac.macAddress.behaviour = ReplyBehaviour::Silent;
    h.network.AddPrinter(noMac);

    ReplyFrom("10.0.0.1");
    ReplyFrom("10.0.0.2");
    ReplyFrom("10.0.0.3");
    EXPECT_EQ(h.list.ColumnTexts(0), (Texts{"10.0.0.3"}));
    EXPECT_EQ(h.list.ColumnTexts(1), (Texts{"00:00:00:00:00:00"}));
    EXPECT_EQ(context.deviceCount, 3);
    EXPECT_EQ(context.slotCursor, 3);
}

TEST_F(DeviceTableTest, WrongHeadAnswerGivesTheSlotBack) {
    FakePrinter liar = MakeFakePrinter("10.0.0.1", "M", "S", {});
    liar.macAddress.behaviour = ReplyBehaviour::WrongHead;
    h.network.AddPrinter(liar);
    ReplyFrom("10.0.0.1");
    EXPECT_EQ(h.list.ItemCount(), 0);
    EXPECT_EQ(context.deviceCount, 0);
    EXPECT_EQ(context.slotCursor, 0);
}

TEST_F(DeviceTableTest, TwentyFivePrintersAreAllListed) {
    std::vector<std::string> addresses;
    for (int i = 25; i >= 1; --i) {
        addresses.push_back("10.0.0." + std::to_string(i));
        AddPrinter(addresses.back().c_str());
    }
    for (const std::string& address : addresses) {
        ReplyFrom(address.c_str());
        ASSERT_LE(context.deviceCount, kDeviceSlotCount);
    }
    const Texts listed = h.list.ColumnTexts(0);
    ASSERT_EQ(listed.size(), 25u);
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(listed[i], "10.0.0." + std::to_string(i + 1));
    }
    EXPECT_EQ(context.deviceCount, 20);
}

}  // namespace
}  // namespace vindle
