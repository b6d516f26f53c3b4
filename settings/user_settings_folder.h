#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vindle {

// The program's own settings folder under the user's configuration directory:
// $XDG_CONFIG_HOME/qarv-vindle, or $HOME/.config/qarv-vindle when XDG_CONFIG_HOME is unset, empty
// or relative. Empty when neither gives an absolute folder. Null pointers stand for unset.
std::filesystem::path UserSettingsFolder(const char* xdgConfigHome, const char* home);

#ifdef _WIN32
// On Windows: "Qarv Vindle" in the user's roaming application data folder as the shell knows it
// (not from the environment); empty when the shell names none.
std::filesystem::path AppDataSettingsFolder();
#endif

// Creates the folder of UserSettingsFolder (from the environment; AppDataSettingsFolder on
// Windows) when needed and makes it the working directory, where the settings file is kept.
// Returns an error text when that fails (its folder in UTF-8 on Windows); the working directory
// is then unchanged.
std::optional<std::string> EnterUserSettingsFolder();

}  // namespace vindle
