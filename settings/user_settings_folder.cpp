#include "settings/user_settings_folder.h"

#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
// After windows.h.
#include <knownfolders.h>
#include <shlobj.h>
#endif

namespace vindle {

std::filesystem::path UserSettingsFolder(const char* xdgConfigHome, const char* home) {
    std::filesystem::path base;
    if (xdgConfigHome != nullptr && std::filesystem::path(xdgConfigHome).is_absolute()) {
        base = xdgConfigHome;
    } else if (home != nullptr && std::filesystem::path(home).is_absolute()) {
        base = std::filesystem::path(home) / ".config";
    } else {
        return {};
    }
    return base / "qarv-vindle";
}

#ifdef _WIN32
std::filesystem::path AppDataSettingsFolder() {
    wchar_t* roaming = nullptr;
    std::filesystem::path folder;
    if (SUCCEEDED(
            SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &roaming))) {
        folder = std::filesystem::path(roaming) / L"Qarv Vindle";
    }
    CoTaskMemFree(roaming);
    return folder;
}
#endif

UserSettingsFolderResult FindUserSettingsFolder(bool create) {
    UserSettingsFolderResult result;
#ifdef _WIN32
    result.folder = AppDataSettingsFolder();
    if (result.folder.empty()) {
        result.errorText = "The system names no application data folder for the settings.";
        return result;
    }
#else
    result.folder = UserSettingsFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    if (result.folder.empty()) {
        result.errorText = "Neither XDG_CONFIG_HOME nor HOME names a folder for the settings.";
        return result;
    }
#endif
    std::error_code error;
    if (create) {
        std::filesystem::create_directories(result.folder, error);
    }
    if (error) {
        result.errorText = "The settings folder " + PathText(result.folder) +
                           " cannot be used: " + error.message();
        result.folder.clear();
    }
    return result;
}

SettingsChoice ChooseSettings(bool userFolderOnly) {
    const UserSettingsFolderResult userFolder = FindUserSettingsFolder(userFolderOnly);
    if (!userFolderOnly) {
        return {Settings::InWorkingDirectory(userFolder.folder), ""};
    }
    return {Settings::InFolder(userFolder.folder), userFolder.errorText};
}

}  // namespace vindle
