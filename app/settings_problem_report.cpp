#include "app/settings_problem_report.h"

#include "settings/settings_file.h"

namespace vindle {

std::optional<SettingsProblem> StartupSettingsProblem(const SettingsStatus& status) {
    if (status.Ok()) {
        return std::nullopt;
    }
    return SettingsProblem{"The settings file can be neither opened nor created (" +
                               status.Reason() + "): searches cannot start",
                           "The settings file " + SettingsFilePath() +
                               " can be neither opened nor created:\n" + status.Reason() +
                               "\nSearches cannot start until it can be read."};
}

std::optional<SettingsProblem> RetrieveSettingsProblem(const SettingsStatus& status) {
    if (status.Ok()) {
        return std::nullopt;
    }
    return SettingsProblem{
        "The settings file cannot be read (" + status.Reason() + "): no search was started",
        "The settings file " + SettingsFilePath() + " cannot be read:\n" + status.Reason() +
            "\nNo search was started."};
}

}  // namespace vindle
