#include "settings/user_settings_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "fakes/temp_dir.h"

namespace vindle {
namespace {

TEST(UserSettingsFolderPosixTest, UnderXdgConfigHomeOrElseHomesConfig) {
    EXPECT_EQ(UserSettingsFolder("/x/cfg", "/home/u"), "/x/cfg/qarv-vindle");
    EXPECT_EQ(UserSettingsFolder("", "/home/u"), "/home/u/.config/qarv-vindle");
    EXPECT_EQ(UserSettingsFolder("relative", "/home/u"), "/home/u/.config/qarv-vindle");
    EXPECT_EQ(UserSettingsFolder(nullptr, "/home/u"), "/home/u/.config/qarv-vindle");
    EXPECT_TRUE(UserSettingsFolder(nullptr, nullptr).empty());
    EXPECT_TRUE(UserSettingsFolder("", "relative").empty());
}

TEST(UserSettingsFolderPosixTest, EnteringCreatesTheFolderOrLeavesTheWorkingDirectory) {
    ScopedTempDir dir;
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = previous != nullptr ? previous : "";

    const std::filesystem::path config = dir.Path() / "new" / "config";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_EQ(EnterUserSettingsFolder(), std::nullopt);
    EXPECT_EQ(std::filesystem::current_path(), config / "qarv-vindle");

    // A file where the folder should be: an error, and the working directory stays.
    WriteFile(dir.Path() / "file", "");
    ::setenv("XDG_CONFIG_HOME", (dir.Path() / "file").c_str(), 1);
    EXPECT_NE(EnterUserSettingsFolder(), std::nullopt);
    EXPECT_EQ(std::filesystem::current_path(), config / "qarv-vindle");

    if (previous != nullptr) {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
}  // namespace vindle
