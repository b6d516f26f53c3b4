#include "settings/settings.h"

#include <system_error>

#include "settings/settings_file.h"

namespace vindle {

Settings Settings::InWorkingDirectory(std::filesystem::path fallbackFolder) {
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(kSettingsFileName, error);
    return Settings(error ? std::filesystem::path(kSettingsFileName) : file,
                    std::move(fallbackFolder));
}

Settings Settings::InFolder(const std::filesystem::path& folder) {
    return Settings(folder / kSettingsFileName);
}

std::string PathText(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

std::string Settings::Path() const {
    return PathText(m_file);
}

SettingsStartup PrepareSettings(Settings& settings) {
    SettingsStartup startup;
    startup.status = EnsureSettingsFile(settings);
    if (startup.status.Ok() || settings.FallbackFolder().empty()) {
        return startup;
    }
    std::error_code error;
    std::filesystem::create_directories(settings.FallbackFolder(), error);
    Settings fallback = Settings::InFolder(settings.FallbackFolder());
    const SettingsStatus status =
        error ? SettingsStatus{error.message(), fallback.Path()} : EnsureSettingsFile(fallback);
    if (status.Ok()) {
        startup.abandoned = startup.status;
        startup.status = status;
        settings = std::move(fallback);
    }
    return startup;
}

}  // namespace vindle
