#pragma once

#include <string>

class QWidget;

namespace vindle {

struct SettingsStatus;

// The texts that report a settings file that cannot be used; "" when `status` is Ok.
// At start-up: the file can be neither opened nor created.
std::string StartupSettingsProblemText(const SettingsStatus& status);
// At "Retrieve": no search mode could be read because the file cannot be read.
std::string RetrieveSettingsProblemText(const SettingsStatus& status);

// Creates the settings file when it is missing and, when it can be neither opened nor created,
// reports that in a non-blocking message once `window` has been shown.
void EnsureSettingsFileOrReport(QWidget* window);

// Reports, in the same way, that the settings file cannot be read now; does nothing when it can.
void ReportUnreadableSettings(QWidget* window);

}  // namespace vindle
