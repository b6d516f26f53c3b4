// Inputs found by the fuzz harnesses (tests/fuzz), kept as tests of the behaviour they broke.

#include <gtest/gtest.h>

#include <string>

#include "fakes/temp_dir.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

// A hand-edited section header that lost its "]": the INI library filed the key below it under a
// section named by both lines, and every save wrote that name back as two lines, one more each
// time ("[BroadCast", "Status]", "Status]", ...).
TEST(FuzzRegressionTest, HeaderWithoutClosingBracketDoesNotGrowTheFileOnEverySave) {
    ScopedTempDir directory;
    WriteFile(kSettingsFileName, "[BroadCast\nStatus=Enabled\n[TimeOut]\nTimeVal=6\n");
    const AddressEntry entries[] = {{"198.51.100.0", "255.255.255.0"}};

    WriteSettings(entries, 1, 10, "Enabled");
    const std::string firstSave = ReadFile(kSettingsFileName);
    WriteSettings(entries, 1, 10, "Enabled");
    WriteSettings(entries, 1, 10, "Enabled");

    EXPECT_EQ(ReadFile(kSettingsFileName), firstSave);
    EXPECT_EQ(ReadSearchMode(), SearchMode::Specified);
    int seconds = 0;
    ReadTimeout(seconds);
    EXPECT_EQ(seconds, 10);
}

}  // namespace
}  // namespace vindle
