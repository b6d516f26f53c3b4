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
