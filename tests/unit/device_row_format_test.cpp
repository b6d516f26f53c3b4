#include "discovery/device_row_format.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace vindle {
namespace {

const std::vector<DeviceRow> kRows = {
    {"198.51.100.10", "02:1a:2b:0c:4d:5e", "QV-2000", "SN0001"},
    {"198.51.100.9", "02:00:00:00:00:01", "Say \"hi\", ok", "line1\nline2"},
};

TEST(DeviceRowFormatTest, Latin1BytesBecomeUtf8) {
    EXPECT_EQ(Latin1ToUtf8("A\xe9\xff\x7f"), "A\xc3\xa9\xc3\xbf\x7f");
    EXPECT_EQ(Latin1ToUtf8(""), "");
}

TEST(DeviceRowFormatTest, TableAlignsColumnsUnderTheHeadings) {
    const std::string table = FormatTable({kRows[0]});
    EXPECT_EQ(table,
              "IP Address     MAC Address        Model number  Serial number\n"
              "198.51.100.10  02:1a:2b:0c:4d:5e  QV-2000       SN0001\n");
}

TEST(DeviceRowFormatTest, TableShowsControlBytesEscapedAndCountsWideBytesOnce) {
    const std::string table = FormatTable({{"1.2.3.4", "m", "\x1b[2J\xe9", "s\r"}});
    EXPECT_NE(table.find("\\x1b[2J\xc3\xa9"), std::string::npos);
    EXPECT_NE(table.find("s\\x0d"), std::string::npos);
    EXPECT_EQ(table.find('\x1b'), std::string::npos);
}

TEST(DeviceRowFormatTest, CsvQuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(FormatCsv(kRows),
              "IP Address,MAC Address,Model number,Serial number\r\n"
              "198.51.100.10,02:1a:2b:0c:4d:5e,QV-2000,SN0001\r\n"
              "198.51.100.9,02:00:00:00:00:01,\"Say \"\"hi\"\", ok\",\"line1\nline2\"\r\n");
}

TEST(DeviceRowFormatTest, CsvQuotesControlCharacters) {
    EXPECT_EQ(FormatCsv({{"1.2.3.4", "m", "a\x1b[0m", "tab\there"}}),
              "IP Address,MAC Address,Model number,Serial number\r\n"
              "1.2.3.4,m,\"a\x1b[0m\",\"tab\there\"\r\n");
}

// A device text that a spreadsheet would run as a formula is written as text; JSON and the
// other outputs keep the bytes as they came.
TEST(DeviceRowFormatTest, CsvDefusesCellsThatStartLikeFormulas) {
    const std::vector<DeviceRow> rows = {{"1.2.3.4", "-m", "=HYPERLINK(\"x\")", "@SUM(A1)"},
                                         {"1.2.3.4", "+1", "\tcmd", "\rx"},
                                         {"1.2.3.4", "a=b", "x-1", "'quoted"}};
    EXPECT_EQ(FormatCsv(rows),
              "IP Address,MAC Address,Model number,Serial number\r\n"
              "1.2.3.4,'-m,\"'=HYPERLINK(\"\"x\"\")\",'@SUM(A1)\r\n"
              "1.2.3.4,'+1,\"'\tcmd\",\"'\rx\"\r\n"
              "1.2.3.4,a=b,x-1,'quoted\r\n");
    EXPECT_EQ(nlohmann::json::parse(FormatJson(rows))[0]["model"], "=HYPERLINK(\"x\")");
    EXPECT_EQ(FormatTabSeparated({rows[0]}).substr(FormatTabSeparated({}).size()),
              "1.2.3.4\t-m\t=HYPERLINK(\"x\")\t@SUM(A1)\n");
}

TEST(DeviceRowFormatTest, TabSeparatedKeepsEachRowOnOneLine) {
    EXPECT_EQ(FormatTabSeparated({kRows[0], {"1.2.3.4", "m", "a\tb\r\nc\x85\xe9", "s"}}),
              "IP Address\tMAC Address\tModel number\tSerial number\n"
              "198.51.100.10\t02:1a:2b:0c:4d:5e\tQV-2000\tSN0001\n"
              "1.2.3.4\tm\ta b  c \xc3\xa9\ts\n");
}

TEST(DeviceRowFormatTest, JsonRoundTripsEveryByte) {
    std::string allBytes;
    for (int c = 1; c < 256; ++c) {
        allBytes += static_cast<char>(c);
    }
    const auto parsed = nlohmann::json::parse(FormatJson({{"1.2.3.4", "m", allBytes, ""}}));
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed[0]["ip"], "1.2.3.4");
    EXPECT_EQ(parsed[0]["model"], Latin1ToUtf8(allBytes));
    EXPECT_EQ(parsed[0]["serial"], "");
    EXPECT_EQ(nlohmann::json::parse(FormatJson({})), nlohmann::json::array());
}

}  // namespace
}  // namespace vindle
