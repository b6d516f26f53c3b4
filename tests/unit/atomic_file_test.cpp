#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fakes/temp_dir.h"

namespace vindle {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
  protected:
    ScopedTempDir m_dir;
};

TEST_F(AtomicFileTest, AFailedSaveReportsTheSystemsReason) {
    fs::create_directory("settings.ini");
    std::string reason;
    EXPECT_FALSE(ReplaceFileContents("settings.ini", "[S]\n", &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(fs::is_directory("settings.ini"));
}

TEST_F(AtomicFileTest, ASaveRemovesTemporaryFilesOfEndedProcessesOnly) {
    // No system hands out this process number, so its owner has ended.
    const std::string ended = ".settings.ini.tmp-2147483646-0";
    const std::string notATemp = ".settings.ini.tmp-backup";
    WriteFile(ended, "[S]\n");
    WriteFile(notATemp, "[S]\n");
    ASSERT_TRUE(ReplaceFileContents("settings.ini", "[S]\n"));
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_TRUE(fs::exists(notATemp));
    EXPECT_EQ(ReadRawFile("settings.ini"), "[S]\n");
}

}  // namespace
}  // namespace vindle
