#pragma once

#include <optional>
#include <string>

namespace vindle {

struct SettingsStatus;

// A settings file the window cannot use, said briefly for the status line and in full (with the
// file's path) for its tooltip.
struct SettingsProblem {
    std::string brief;
    std::string full;
};

// At start-up: the file can be neither opened nor created. Nothing when `status` is Ok.
std::optional<SettingsProblem> StartupSettingsProblem(const SettingsStatus& status);
// At "Retrieve": no search mode could be read because the file cannot be read.
std::optional<SettingsProblem> RetrieveSettingsProblem(const SettingsStatus& status);

}  // namespace vindle
