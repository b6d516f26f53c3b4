#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace vindle {

// Creates a fresh, empty directory under the system's temporary folder, makes it the current
// working directory, and on destruction goes back to the previous directory and removes it with
// everything in it. Settings tests use it so that QarvVindle.ini is their own.
class ScopedTempDir {
  public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
    std::filesystem::path m_previous;
};

// Writes `content` byte for byte (no line-end translation), replacing any existing file.
void WriteFile(const std::filesystem::path& path, std::string_view content);
// The whole file as bytes; "" when it cannot be read.
std::string ReadRawFile(const std::filesystem::path& path);
// The same with the system's line ends ("\r\n" on Windows) read as "\n", so that expected file
// contents are written once for every system.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace vindle

namespace vindle {

// True when `reason` is what a failed file operation reports for the POSIX error `posixError`:
// the system's text. Windows words its own texts (a folder in the way is "access denied"
// there), so on Windows any text will do.
inline bool IsSystemReason(const std::string& reason, int posixError) {
#ifdef _WIN32
    static_cast<void>(posixError);
    return !reason.empty();
#else
    return reason == std::generic_category().message(posixError);
#endif
}

}  // namespace vindle
