#pragma once

#include <filesystem>
#include <string>

#include "settings/settings.h"

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

// The folder of UserSettingsFolder (from the environment; AppDataSettingsFolder on Windows) for
// this user, or why there is none.
struct UserSettingsFolderResult {
    std::filesystem::path folder;
    // The reason there is no folder (its path in UTF-8 on Windows); "" when there is one.
    std::string errorText;

    bool Ok() const { return errorText.empty(); }
};
// With `create`, the folder is created when needed, and failing to create it is an error.
UserSettingsFolderResult FindUserSettingsFolder(bool create);

// The settings a program starts with: with `userFolderOnly` (the desktop's launch), the file in
// the user's folder, made when needed; otherwise the working directory's file, with the user's
// folder to fall back to. `errorText` says why there are none (the user's folder is required but
// there is none); `settings` is then not to be used.
struct SettingsChoice {
    Settings settings;
    std::string errorText;

    bool Ok() const { return errorText.empty(); }
};
SettingsChoice ChooseSettings(bool userFolderOnly);

}  // namespace vindle
