#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vindle {

// The program's own settings folder under the user's configuration directory:
// $XDG_CONFIG_HOME/qarv-vindle, or $HOME/.config/qarv-vindle when XDG_CONFIG_HOME is unset, empty
// or relative. Empty when neither gives an absolute folder. Null pointers stand for unset.
std::filesystem::path UserSettingsFolder(const char* xdgConfigHome, const char* home);

// Creates the folder of UserSettingsFolder (from the environment) when needed and makes it the
// working directory, where the settings file is kept. Returns an error text when that fails; the
// working directory is then unchanged.
std::optional<std::string> EnterUserSettingsFolder();

}  // namespace vindle
