#include "settings/user_settings_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace vindle {
namespace {

// The folder comes from the shell, so a changed or missing APPDATA does not move it.
TEST(UserSettingsFolderWindowsTest, FromTheShellNotTheEnvironment) {
    const std::filesystem::path folder = AppDataSettingsFolder();
    ASSERT_TRUE(folder.is_absolute());
    EXPECT_EQ(folder.filename(), L"Qarv Vindle");

    const wchar_t* previous = _wgetenv(L"APPDATA");
    const std::wstring saved = previous != nullptr ? previous : L"";
    _wputenv_s(L"APPDATA", L"");
    EXPECT_EQ(AppDataSettingsFolder(), folder);
    const UserSettingsFolderResult found = FindUserSettingsFolder(false);
    EXPECT_TRUE(found.Ok());
    EXPECT_EQ(found.folder, folder);
    _wputenv_s(L"APPDATA", saved.c_str());
}

}  // namespace
}  // namespace vindle
