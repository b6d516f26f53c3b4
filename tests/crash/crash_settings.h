#pragma once

#include "settings/settings_file.h"

namespace vindle {

// Two complete, distinct saves of the configuration dialog: every key of the file differs.
inline void SaveSettingsA() {
    const AddressEntry entries[] = {{"198.51.100.0", "255.255.255.0"},
                                    {"203.0.113.7", "255.255.255.255"},
                                    {"198.18.0.0", "255.254.0.0"}};
    WriteSettings(Settings::InWorkingDirectory(), entries, 3, 10, "Enabled");
}

inline void SaveSettingsB() {
    const AddressEntry entries[] = {{"203.0.113.0", "255.255.255.0"}};
    WriteSettings(Settings::InWorkingDirectory(), entries, 1, 120, "Disabled");
}

}  // namespace vindle
