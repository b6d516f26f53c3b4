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

TEST(UserSettingsFolderWindowsTest, FindingCreatesTheFolderOrSaysWhyThereIsNone) {
    ScopedTempDir dir;
    const wchar_t* previous = _wgetenv(L"APPDATA");
    const std::wstring saved = previous != nullptr ? previous : L"";

    const std::filesystem::path roaming = dir.Path() / "new" / "Roaming";
    _wputenv_s(L"APPDATA", roaming.c_str());
    EXPECT_EQ(FindUserSettingsFolder(false).folder, roaming / "Qarv Vindle");
    EXPECT_FALSE(std::filesystem::exists(roaming));
    EXPECT_TRUE(FindUserSettingsFolder(true).Ok());
    EXPECT_TRUE(std::filesystem::is_directory(roaming / "Qarv Vindle"));

    // A file where the folder should be: an error, and no folder.
    WriteFile(dir.Path() / "file", "");
    _wputenv_s(L"APPDATA", (dir.Path() / "file").c_str());
    const UserSettingsFolderResult blocked = FindUserSettingsFolder(true);
    EXPECT_FALSE(blocked.Ok());
    EXPECT_TRUE(blocked.folder.empty());

    _wputenv_s(L"APPDATA", L"");
    EXPECT_FALSE(FindUserSettingsFolder(false).Ok());

    _wputenv_s(L"APPDATA", saved.c_str());
}

}  // namespace
}  // namespace vindle
