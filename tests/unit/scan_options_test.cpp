#include "tools/scan/scan_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace vindle {
namespace {

ScanOptions Parse(std::initializer_list<const char*> arguments) {
    std::vector<const char*> argv = {"qarv-vindle-scan"};
    argv.insert(argv.end(), arguments);
    return ParseScanArguments(static_cast<int>(argv.size()), argv.data());
}

TEST(ScanOptionsTest, FormatTakesEitherSpellingAndAnyCase) {
    EXPECT_EQ(Parse({}).format, OutputFormat::Table);
    EXPECT_EQ(Parse({"--format", "CSV"}).format, OutputFormat::Csv);
    EXPECT_EQ(Parse({"--format=Json"}).format, OutputFormat::Json);
    EXPECT_EQ(Parse({"--format=table"}).action, ScanOptions::Action::Search);
}

TEST(ScanOptionsTest, TargetsTimeoutAndThorough) {
    const ScanOptions options = Parse({"203.0.113.0/24", "--thorough", "198.18.0.0/255.254.0.0",
                                       "198.18.0.7", "--timeout=3", "0.0.0.0/0"});
    ASSERT_EQ(options.action, ScanOptions::Action::Search);
    EXPECT_TRUE(options.search.thorough);
    EXPECT_EQ(options.search.timeoutSeconds, 3);
    EXPECT_EQ(options.search.targets, (std::vector<SearchTarget>{{0xCB007100u, 0xFFFFFF00u},
                                                                 {0xC6120000u, 0xFFFE0000u},
                                                                 {0xC6120007u, 0xFFFFFFFFu},
                                                                 {0u, 0u}}));
    EXPECT_EQ(Parse({"--timeout", "999"}).search.timeoutSeconds, 999);
    EXPECT_FALSE(Parse({}).search.thorough);
    EXPECT_FALSE(Parse({}).search.timeoutSeconds.has_value());
}

TEST(ScanOptionsTest, RefusalsSayWhatIsWrong) {
    const struct {
        std::initializer_list<const char*> arguments;
        const char* error;
    } cases[] = {
        {{"--format"}, "--format needs a value: table, csv or json"},
        {{"--format="}, "--format needs a value: table, csv or json"},
        {{"--format", "csv", "--format=csv"}, "--format may be given only once"},
        {{"--format", "xml"}, "--format takes table, csv or json, not 'xml'"},
        {{"--formats"}, "unknown argument '--formats'"},
        {{"--timeout"}, "--timeout needs a value: seconds from 1 to 999"},
        {{"--timeout", "0"}, "--timeout takes seconds from 1 to 999, not '0'"},
        {{"--timeout=1000"}, "--timeout takes seconds from 1 to 999, not '1000'"},
        {{"--timeout", "2.5"}, "--timeout takes seconds from 1 to 999, not '2.5'"},
        {{"--timeout=3", "--timeout=3"}, "--timeout may be given only once"},
        {{"printer.local"}, "'printer.local' in target 'printer.local' is not an IPv4 address"},
        {{"203.0.113.0/33"}, "'33' in target '203.0.113.0/33' is not a prefix length from 0 to 32"},
        {{"203.0.113.0/"}, "'' in target '203.0.113.0/' is not a prefix length from 0 to 32"},
        {{"10.0.0.0/255.0.255.0"},
         "'255.0.255.0' in target '10.0.0.0/255.0.255.0' is not a contiguous subnet mask"},
        {{"10.0.0.0/255.0"}, "'255.0' in target '10.0.0.0/255.0' is not a subnet mask"},
    };
    for (const auto& c : cases) {
        const ScanOptions options = Parse(c.arguments);
        EXPECT_EQ(options.action, ScanOptions::Action::UsageError) << c.error;
        EXPECT_EQ(options.error, c.error);
    }
    // --help ends the reading: what follows it is not looked at.
    EXPECT_EQ(Parse({"--format=csv", "--help", "--bogus"}).action, ScanOptions::Action::Help);
}

}  // namespace
}  // namespace vindle
