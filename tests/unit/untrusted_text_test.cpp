// Model and serial numbers are whatever bytes a printer sends: markup, control characters, bytes
// above 127, format directives, shell syntax. They must reach the list as exactly those bytes,
// stay with their own row, and never change what the address column holds.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

#include "discovery/broadcast_search.h"
#include "discovery/column_sort.h"
#include "fakes/search_harness.h"

namespace vindle {
namespace {

using namespace std::string_literals;

struct Hostile {
    const char* address;
    std::string model;   // as sent, cut to 17 bytes by the reply layout
    std::string serial;  // as sent, cut to 11 bytes
    std::string shownModel;
    std::string shownSerial;
};

// What each printer sends, and what its row must show: the bytes up to the first zero byte.
std::vector<Hostile> HostilePrinters() {
    return {
        {"10.0.0.1", "<b>x</b>", "<i>s</i>", "<b>x</b>", "<i>s</i>"},
        {"10.0.0.2", "<img src=x.png>", "&lt;&amp;", "<img src=x.png>", "&lt;&amp;"},
        {"10.0.0.3", "\x01\x07\b\t\n\r\x1b[31m", "\x1b]0;t\x07\x7f", "\x01\x07\b\t\n\r\x1b[31m",
         "\x1b]0;t\x07\x7f"},
        // Latin-1 letters, C1 controls, and byte pairs that would decode as UTF-8 if anyone
        // decoded them: each byte must stay one character.
        {"10.0.0.4", "\x80\x9b\xa0\xe9\xff", "\xc3\xa9\xef\xbb\xbf", "\x80\x9b\xa0\xe9\xff",
         "\xc3\xa9\xef\xbb\xbf"},
        {"10.0.0.5", "%s%n%x%d%p", "$(reboot)`;", "%s%n%x%d%p", "$(reboot)`;"},
        // Text that looks like an address stays in its own column.
        {"10.0.0.6", "http://10.9.9.9/", "10.0.0.99", "http://10.9.9.9/", "10.0.0.99"},
        // Full-width fields with no zero byte at all.
        {"10.0.0.7", std::string(17, '\xff'), std::string(11, '\x7f'), std::string(17, '\xff'),
         std::string(11, '\x7f')},
        {"10.0.0.8", "AB\0<b>CD"s, "S\0hidden"s, "AB", "S"},
    };
}

class UntrustedTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        h.WriteBroadcastSettings(6);
        std::uint8_t tail = 1;
        for (const Hostile& printer : HostilePrinters()) {
            h.network.AddPrinter(
                MakeFakePrinter(printer.address, printer.model, printer.serial,
                                {0x02, 0x00, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(tail++)}));
        }
        ASSERT_EQ(BroadcastSearchThread(h.NewContext()).end, SearchEnd::Searched);
    }

    // Every row as its four texts, whatever the order.
    std::multiset<std::array<std::string, 4>> RowSet() {
        std::multiset<std::array<std::string, 4>> rows;
        for (const auto& row : h.list.Rows()) {
            rows.insert(row.texts);
        }
        return rows;
    }

    SearchHarness h;
};

TEST_F(UntrustedTextTest, ListShowsExactlyTheBytesSentNextToTheSendersAddress) {
    const std::vector<Hostile> printers = HostilePrinters();
    ASSERT_EQ(h.list.ItemCount(), static_cast<int>(printers.size()));
    for (std::size_t i = 0; i < printers.size(); ++i) {
        const int row = static_cast<int>(i);
        SCOPED_TRACE(printers[i].address);
        EXPECT_EQ(h.list.ItemText(row, 0), printers[i].address);
        EXPECT_EQ(h.list.ItemText(row, 2), printers[i].shownModel);
        EXPECT_EQ(h.list.ItemText(row, 3), printers[i].shownSerial);
        // The MAC column is formatted from raw bytes, never from text.
        EXPECT_EQ(h.list.ItemText(row, 1), "02:00:00:00:00:0" + std::to_string(i + 1));
    }
}

// Sorting compares the hostile bytes as unsigned values and moves whole rows: no text ends up
// in another printer's row, and bytes above 127 sort after ASCII.
TEST_F(UntrustedTextTest, SortingMovesWholeRowsInUnsignedByteOrder) {
    const auto before = RowSet();
    for (int column : {2, 3}) {
        for (bool ascending : {true, false}) {
            SortByColumn(h.list, column, ascending);
            EXPECT_EQ(RowSet(), before);
            std::vector<std::string> texts = h.list.ColumnTexts(column);
            std::vector<std::string> expected = texts;
            std::sort(expected.begin(), expected.end(),
                      [ascending](const std::string& a, const std::string& b) {
                          // std::string compares char_traits<char>, which is unsigned order.
                          return ascending ? a < b : b < a;
                      });
            EXPECT_EQ(texts, expected) << "column " << column << (ascending ? " up" : " down");
        }
    }
    SortByColumn(h.list, 2, true);
    EXPECT_EQ(h.list.ItemText(h.list.ItemCount() - 1, 2), std::string(17, '\xff'));
}

}  // namespace
}  // namespace vindle
