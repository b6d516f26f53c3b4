#pragma once

#include <filesystem>
#include <string>

namespace vindle {

// How an operation on the settings file went: the system's text for a failure, "" when it went
// well, and the file it concerned (for messages).
struct SettingsStatus {
    std::string errorText;
    std::string file;

    bool Ok() const { return errorText.empty(); }
    const std::string& Reason() const { return errorText; }
};

// A path as the file functions and messages take it: UTF-8 on Windows (whose paths are UTF-16),
// the path's own bytes on POSIX.
std::string PathText(const std::filesystem::path& path);

// The settings file a front end uses, and the folder it moves to when that file can be neither
// opened nor created. Whoever reads or writes settings is handed this object; the file's place is
// fixed when it is made (an absolute path), so nothing depends on the process's working directory
// afterwards. Only start-up moves it (PrepareSettings), before anything else reads it; after that
// it is read from any thread.
class Settings {
  public:
    explicit Settings(std::filesystem::path file, std::filesystem::path fallbackFolder = {})
        : m_file(std::move(file)), m_fallbackFolder(std::move(fallbackFolder)) {}

    // QarvVindle.ini in the process's working directory as it is now.
    static Settings InWorkingDirectory(std::filesystem::path fallbackFolder = {});
    // QarvVindle.ini in `folder`.
    static Settings InFolder(const std::filesystem::path& folder);

    const std::filesystem::path& File() const { return m_file; }
    const std::filesystem::path& FallbackFolder() const { return m_fallbackFolder; }
    // The path as the file functions and messages take it (UTF-8 on Windows).
    std::string Path() const;

  private:
    std::filesystem::path m_file;
    std::filesystem::path m_fallbackFolder;
};

// What start-up made of the settings: the state of the file in use and, when the first file
// could be neither opened nor created and the settings moved to the per-user folder, that file
// and why.
struct SettingsStartup {
    SettingsStatus status;
    SettingsStatus abandoned;

    bool MovedToUserFolder() const { return !abandoned.Ok(); }
};

// Makes sure `settings` has a file (the defaults are written when it is missing). When it can be
// neither opened nor created and `settings` names a fallback folder, it moves to the file in that
// folder (created when needed) if that one can be used; otherwise it stays where it was.
SettingsStartup PrepareSettings(Settings& settings);

}  // namespace vindle
