#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace vindle {

// An INI ("profile") file held in memory: read once, changed by any number of writes, committed
// to disk once. Reads and writes follow the Windows profile functions: a missing file, section or
// key reads as ""; a value is cut to the caller's buffer size less one; section and key names
// match without regard to case; a write creates or replaces; a section can be emptied and then
// keeps its header and its place. Lines are written `key=value`, new sections and keys after the
// existing ones; comments and keys added by hand survive a rewrite.
class ProfileDocument {
  public:
    // Reads `path`. A missing file gives an empty document; a file that exists but cannot be read
    // gives a document that reads as empty and refuses to commit, so it is never overwritten.
    explicit ProfileDocument(std::string path);
    // A document for `path` made from `contents` as that file's bytes, without reading the file.
    ProfileDocument(std::string path, std::string contents);
    ~ProfileDocument();
    ProfileDocument(ProfileDocument&&) noexcept;
    ProfileDocument& operator=(ProfileDocument&&) noexcept;

    // The value cut to `bufferSize` - 1 bytes; "" when missing or when bufferSize is 0.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::size_t bufferSize) const;

    // Creates or replaces a value. Refuses names and values that would break the line format
    // (line breaks, NUL, a "]" in a section name, a "=" in a key, empty names).
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Removes every key of the section; the section's header stays (it is created if missing).
    bool EmptySection(std::string_view section);

    // The file's text as it would be written.
    std::string Serialize() const;

    // "" when the file was read (or is missing), otherwise the system's text for the failed read.
    std::string ReadError() const;

    // Writes the document to its file atomically. False when nothing could be written or the
    // file could not be read at the start; then `errorText`, when given, receives the system's
    // text for the failure (the read's when the file could not be read).
    bool Commit(std::string* errorText = nullptr) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Single-call forms, like GetPrivateProfileStringA / WritePrivateProfileStringA /
// WritePrivateProfileSectionA with an empty key list. Each write is its own atomic commit.
std::string ReadProfileString(std::string_view section, std::string_view key,
                              std::size_t bufferSize, const std::string& path);
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path);
bool EmptyProfileSection(std::string_view section, const std::string& path);

}  // namespace vindle
