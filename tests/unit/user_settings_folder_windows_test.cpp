#include "settings/user_settings_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fakes/temp_dir.h"

namespace vindle {
namespace {

TEST(UserSettingsFolderWindowsTest, UnderAppDataOrNone) {
    EXPECT_EQ(AppDataSettingsFolder(L"C:\\Users\\u\\AppData\\Roaming"),
              std::filesystem::path(L"C:\\Users\\u\\AppData\\Roaming\\Qarv Vindle"));
    EXPECT_TRUE(AppDataSettingsFolder(nullptr).empty());
    EXPECT_TRUE(AppDataSettingsFolder(L"").empty());
    EXPECT_TRUE(AppDataSettingsFolder(L"Roaming").empty());
    EXPECT_TRUE(AppDataSettingsFolder(L"\\Users\\u").empty());
}

TEST(UserSettingsFolderWindowsTest, EnteringCreatesTheFolderOrLeavesTheWorkingDirectory) {
    ScopedTempDir dir;
    const wchar_t* previous = _wgetenv(L"APPDATA");
    const std::wstring saved = previous != nullptr ? previous : L"";

    const std::filesystem::path roaming = dir.Path() / "new" / "Roaming";
    _wputenv_s(L"APPDATA", roaming.c_str());
    EXPECT_EQ(EnterUserSettingsFolder(), std::nullopt);
    EXPECT_EQ(std::filesystem::current_path(), roaming / "Qarv Vindle");

    // A file where the folder should be: an error, and the working directory stays.
    WriteFile(dir.Path() / "file", "");
    _wputenv_s(L"APPDATA", (dir.Path() / "file").c_str());
    EXPECT_NE(EnterUserSettingsFolder(), std::nullopt);
    EXPECT_EQ(std::filesystem::current_path(), roaming / "Qarv Vindle");

    _wputenv_s(L"APPDATA", L"");
    EXPECT_NE(EnterUserSettingsFolder(), std::nullopt);

    _wputenv_s(L"APPDATA", saved.c_str());
}

}  // namespace
}  // namespace vindle
