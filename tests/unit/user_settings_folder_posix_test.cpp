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

TEST(UserSettingsFolderPosixTest, FindingCreatesTheFolderOrSaysWhyThereIsNone) {
    ScopedTempDir dir;
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = previous != nullptr ? previous : "";

    const std::filesystem::path config = dir.Path() / "new" / "config";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_EQ(FindUserSettingsFolder(false).folder, config / "qarv-vindle");
    EXPECT_FALSE(std::filesystem::exists(config));
    // The working directory's file first, the user's folder to fall back to.
    const SettingsChoice fromShell = ChooseSettings(false);
    EXPECT_EQ(fromShell.settings.File(), dir.Path() / "QarvVindle.ini");
    EXPECT_EQ(fromShell.settings.FallbackFolder(), config / "qarv-vindle");
    EXPECT_FALSE(std::filesystem::exists(config));
    EXPECT_EQ(ChooseSettings(true).settings.File(), config / "qarv-vindle" / "QarvVindle.ini");
    EXPECT_TRUE(std::filesystem::is_directory(config / "qarv-vindle"));

    // A file where the folder should be: an error, and no folder.
    WriteFile(dir.Path() / "file", "");
    ::setenv("XDG_CONFIG_HOME", (dir.Path() / "file").c_str(), 1);
    const UserSettingsFolderResult blocked = FindUserSettingsFolder(true);
    EXPECT_NE(blocked.errorText.find("cannot be used: Not a directory"), std::string::npos);
    EXPECT_TRUE(blocked.folder.empty());
    EXPECT_EQ(ChooseSettings(true).errorText, blocked.errorText);

    if (previous != nullptr) {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
}  // namespace vindle
