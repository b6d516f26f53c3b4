#include "tools/printer-sim/sim_printer.h"
#include "tools/printer-sim/sim_safety.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace vindle::sim {
namespace {

constexpr Ipv4Address Ip(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return Ipv4Address{a} << 24 | Ipv4Address{b} << 16 | Ipv4Address{c} << 8 | d;
}

std::vector<SimPrinter> Parse(const std::string& text) {
    std::string error;
    auto printers = ParsePrinterConfig(text, error);
    EXPECT_TRUE(printers.has_value()) << error;
    return printers.value_or(std::vector<SimPrinter>{});
}

std::string ErrorOf(const std::string& text) {
    std::string error;
    EXPECT_FALSE(ParsePrinterConfig(text, error).has_value()) << text;
    return error;
}

template <std::size_t N>
std::string Text(const std::array<std::uint8_t, N>& field) {
    return std::string(field.begin(), field.end());
}

TEST(SimPrinterConfigTest, ReadsAddressesPrefixesTextsAndMisbehaviours) {
    const auto printers = Parse(
        "# comment line\n"
        "\n"
        "198.51.100.10 model=\"QV 2200 # Pro\" serial=ABCDEFGHIJK mac=02:1A:2b:0c:4d:5e\n"
        "  203.0.113.7/28\tdelay=250 detail-delay=500 silent=2,3 twice=1   # trailing comment\r\n"
        "198.18.0.30/15 serial=\"\" wrong-head=1 short=2 oversize=3 extra=00112233445566778899");
    ASSERT_EQ(printers.size(), 3u);

    EXPECT_EQ(printers[0].address, Ip(198, 51, 100, 10));
    EXPECT_EQ(printers[0].prefixLength, 24);
    EXPECT_EQ(Text(printers[0].model), std::string("QV 2200 # Pro\0\0\0\0", 17));
    EXPECT_EQ(Text(printers[0].serial), "ABCDEFGHIJK");
    EXPECT_EQ(printers[0].mac, (std::array<std::uint8_t, 6>{0x02, 0x1a, 0x2b, 0x0c, 0x4d, 0x5e}));

    EXPECT_EQ(printers[1].prefixLength, 28);
    EXPECT_EQ(printers[1].discoveryDelayMs, 250);
    EXPECT_EQ(printers[1].detailDelayMs, 500);
    EXPECT_EQ(printers[1].AnswerFor(1), Answer::kNormal);
    EXPECT_EQ(printers[1].AnswerFor(2), Answer::kSilent);
    EXPECT_EQ(printers[1].AnswerFor(3), Answer::kSilent);
    EXPECT_TRUE(printers[1].TwiceFor(1));
    EXPECT_FALSE(printers[1].TwiceFor(2));
    EXPECT_NE(printers[1].model[0], 0) << "a missing model number is generated";

    EXPECT_EQ(printers[2].serial, (std::array<std::uint8_t, 11>{}));
    EXPECT_EQ(printers[2].AnswerFor(1), Answer::kWrongHead);
    EXPECT_EQ(printers[2].AnswerFor(2), Answer::kShort);
    EXPECT_EQ(printers[2].AnswerFor(3), Answer::kOversize);
    EXPECT_EQ(printers[2].extra[9], 0x99);
}

TEST(SimPrinterConfigTest, RefusesFaultsNamingTheLine) {
    EXPECT_EQ(ErrorOf("198.51.100.10\n10.0.0.1\n").substr(0, 7), "line 2:");
    EXPECT_NE(ErrorOf("198.51.100.10/16").find("outside"), std::string::npos);
    EXPECT_NE(ErrorOf("198.18.0.1/14").find("outside"), std::string::npos);
    EXPECT_NE(ErrorOf("192.168.1.1").find("outside"), std::string::npos);
    EXPECT_NE(ErrorOf("198.51.100.10\n198.51.100.10 model=x").find("twice"), std::string::npos);
    EXPECT_NE(ErrorOf("198.51.100.10 model=ABCDEFGHIJKLMNOPQR").find("longer"), std::string::npos);
    EXPECT_NE(ErrorOf("198.51.100.10 serial=ABCDEFGHIJKL").find("longer"), std::string::npos);
    EXPECT_NE(ErrorOf("198.51.100.10 silent=2 short=2").find("two"), std::string::npos);
    EXPECT_NE(ErrorOf("198.51.100.10 model=\"open").find("quote"), std::string::npos);
    EXPECT_NE(ErrorOf("198.51.100.10 colour=red").find("unknown"), std::string::npos);
    for (const char* bad :
         {"198.51.100.256", "198.51.100", "198.51.100.10/33", "198.51.100.10/",
          "198.51.100.10 silent=4", "198.51.100.10 silent=", "198.51.100.10 x",
          "198.51.100.10 mac=02:00:00:00:00", "198.51.100.10 mac=02:00:00:00:00:0g",
          "198.51.100.10 mac=02:00:00:00:00:00:00", "198.51.100.10 delay=-1",
          "198.51.100.10 detail-delay=600001", "198.51.100.10 extra=00", "# only comments\n", ""}) {
        ErrorOf(bad);
    }
}

TEST(SimPrinterConfigTest, ExampleFileIsValid) {
    std::ifstream file(VINDLE_EXAMPLE_PRINTERS_CONF);
    ASSERT_TRUE(file) << VINDLE_EXAMPLE_PRINTERS_CONF;
    std::ostringstream text;
    text << file.rdbuf();
    EXPECT_EQ(Parse(text.str()).size(), 5u);
}

TEST(SimPrinterGenerationTest, GeneratesDistinctPrintersFromTheFirstAddress) {
    const auto printers = GeneratePrinters(3);
    ASSERT_EQ(printers.size(), 3u);
    EXPECT_EQ(printers[0].address, Ip(198, 51, 100, 10));
    EXPECT_EQ(printers[2].address, Ip(198, 51, 100, 12));
    EXPECT_NE(printers[0].serial, printers[1].serial);
    EXPECT_NE(printers[0].mac, printers[1].mac);
    for (const SimPrinter& printer : printers) {
        EXPECT_EQ(printer.mac[0] & 0x03, 0x02) << "locally administered unicast";
        EXPECT_EQ(printer.serial[10] != 0, true) << "serial numbers use the full 11 bytes";
    }
    EXPECT_EQ(GeneratePrinters(500).size(), static_cast<std::size_t>(kMaxGeneratedPrinters));
    EXPECT_TRUE(IsSimulatorAddress(GeneratePrinters(kMaxGeneratedPrinters).back().address));
}

TEST(SimPrinterGenerationTest, DirectedBroadcastAndAddressList) {
    auto printers = Parse("203.0.113.7/28\n198.18.0.30/15\n198.51.100.9/32\n");
    EXPECT_EQ(DirectedBroadcastOf(printers[0]), Ip(203, 0, 113, 15));
    EXPECT_EQ(DirectedBroadcastOf(printers[1]), Ip(198, 19, 255, 255));
    EXPECT_EQ(DirectedBroadcastOf(printers[2]), std::nullopt);
    EXPECT_EQ(ListAddresses(printers), "203.0.113.7/28\n198.18.0.30/15\n198.51.100.9/32\n");
}

// Outside the sandbox only the host's own addresses are answered; inside it the test ranges too,
// and nothing else, however the namespace is wired.
TEST(SimSafetyTest, AnswersLocalRequestersAndInsideTheSandboxOnlyTheTestRanges) {
    const std::set<Ipv4Address> local = {Ip(127, 0, 0, 1), Ip(198, 51, 100, 10)};
    for (bool sandbox : {false, true}) {
        EXPECT_TRUE(MayAnswer(Ip(127, 0, 0, 9), local, sandbox));
        EXPECT_TRUE(MayAnswer(Ip(198, 51, 100, 10), local, sandbox));
        EXPECT_FALSE(MayAnswer(Ip(192, 0, 2, 1), local, sandbox));
        EXPECT_FALSE(MayAnswer(Ip(10, 0, 0, 1), local, sandbox));
        EXPECT_FALSE(MayAnswer(Ip(198, 20, 0, 1), local, sandbox));
        EXPECT_FALSE(MayAnswer(Ip(203, 0, 114, 2), local, sandbox));
    }
    for (Ipv4Address remote : {Ip(198, 51, 100, 2), Ip(203, 0, 113, 2), Ip(198, 19, 255, 1)}) {
        EXPECT_FALSE(MayAnswer(remote, local, false));
        EXPECT_TRUE(MayAnswer(remote, local, true));
    }
}

TEST(SimSafetyTest, SandboxNeedsItsMarkerAndOnlyTestAddresses) {
    const std::set<Ipv4Address> sandboxed = {Ip(127, 0, 0, 1), Ip(198, 18, 0, 50)};
    EXPECT_TRUE(IsSandboxNetwork("1", sandboxed));
    EXPECT_FALSE(IsSandboxNetwork(nullptr, sandboxed));
    EXPECT_FALSE(IsSandboxNetwork("0", sandboxed));
    EXPECT_FALSE(IsSandboxNetwork("1", {Ip(198, 18, 0, 50), Ip(192, 168, 1, 20)}));
}

}  // namespace
}  // namespace vindle::sim
