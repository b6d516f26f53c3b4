// Inputs found by the fuzz harnesses (tests/fuzz), kept as tests of the behaviour they broke.

#include <gtest/gtest.h>

#include <string>

#include "fakes/temp_dir.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

// A hand-edited section header that lost its "]": the INI library filed the key below it under a
// section named by both lines, and every save wrote that name back as two lines, one more each
// time ("[BroadCast", "Status]", "Status]", ...). The header must end at its line however the
// line ends: the library also ends a line at a lone carriage return (an old Macintosh line end),
// and it skips a UTF-8 byte-order mark (as Notepad writes) before the first line, also when the
// file holds two.
TEST(FuzzRegressionTest, HeaderWithoutClosingBracketEndsAtItsLineAndSavesSettle) {
    for (const char* text :
         {"[BroadCast\nStatus=Enabled\n[TimeOut]\nTimeVal=6\n",
          "[BroadCast\rStatus=Enabled\n[TimeOut]\nTimeVal=6\n",
          "\xEF\xBB\xBF[BroadCast\nStatus=Enabled\n[TimeOut]\nTimeVal=6\n",
          "\xEF\xBB\xBF\xEF\xBB\xBF[BroadCast\nStatus=Enabled\n[TimeOut]\nTimeVal=6\n"}) {
        SCOPED_TRACE(text);
        ScopedTempDir directory;
        WriteFile(kSettingsFileName, text);
        EXPECT_EQ(ReadBroadcastStatus(Settings::InWorkingDirectory()), "Enabled");

        const AddressEntry entries[] = {{"198.51.100.0", "255.255.255.0"}};

        WriteSettings(Settings::InWorkingDirectory(), entries, 1, 10, "Enabled");
        const std::string firstSave = ReadFile(kSettingsFileName);
        WriteSettings(Settings::InWorkingDirectory(), entries, 1, 10, "Enabled");
        WriteSettings(Settings::InWorkingDirectory(), entries, 1, 10, "Enabled");

        EXPECT_EQ(ReadFile(kSettingsFileName), firstSave);
        EXPECT_EQ(ReadSearchMode(Settings::InWorkingDirectory()), SearchMode::Specified);
        int seconds = 0;
        ReadTimeout(Settings::InWorkingDirectory(), seconds);
        EXPECT_EQ(seconds, 10);
    }
}

// The settings fuzzer's input: after a blank line, two byte-order marks and a header without its
// "]" read as a key, which the first save wrote at the very front of the file. The next load
// then met both marks, and the header hidden behind the second one named a section
// "4us=EDnabled\nIPAddress" and made the file grow.
TEST(FuzzRegressionTest, ByteOrderMarksSavedToTheFrontOfTheFileHideNoHeader) {
    ScopedTempDir directory;
    WriteFile(
        kSettingsFileName,
        std::string("\n\xEF\xBB\xBF\xEF\xBB\xBF[4us=EDnabled\r\nIPAddress=192.16Ena\0=0", 44));
    WriteSettings(Settings::InWorkingDirectory(), nullptr, 0, 6, "Disabled");
    std::string previous = ReadFile(kSettingsFileName);
    for (int save = 0; save < 3; ++save) {
        WriteSettings(Settings::InWorkingDirectory(), nullptr, 0, 6, "Disabled");
        const std::string current = ReadFile(kSettingsFileName);
        EXPECT_LE(current.size(), previous.size()) << current;
        previous = current;
    }
    EXPECT_TRUE(previous.starts_with("[4us=EDnabled]\nIPAddress=192.16Ena=0\n")) << previous;
    EXPECT_EQ(ReadSearchMode(Settings::InWorkingDirectory()), SearchMode::Broadcast);
}

}  // namespace
}  // namespace vindle
