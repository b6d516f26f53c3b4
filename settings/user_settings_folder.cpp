#include "settings/user_settings_folder.h"

#include <cstdlib>
#include <system_error>

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

std::optional<std::string> EnterUserSettingsFolder() {
    const std::filesystem::path folder =
        UserSettingsFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    if (folder.empty()) {
        return "Neither XDG_CONFIG_HOME nor HOME names a folder for the settings.";
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error) {
        std::filesystem::current_path(folder, error);
    }
    if (error) {
        return "The settings folder " + folder.string() + " cannot be used: " + error.message();
    }
    return std::nullopt;
}

}  // namespace vindle
