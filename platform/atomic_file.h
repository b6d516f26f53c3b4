#pragma once

#include <string>
#include <string_view>

namespace vindle {

// Line end of text files as the system's own tools write them: "\n" on POSIX, "\r\n" on Windows.
extern const char kNativeLineEnd[];

// Reads the whole file at `path` into `contents`. A missing file reads as empty and counts as
// success; any other failure (a folder, no read permission) returns false and, when `errorText`
// is given, stores the system's text for it there.
bool ReadWholeFile(const std::string& path, std::string& contents, bool& exists,
                   std::string* errorText = nullptr);

// Replaces the file at `path` with `contents` so that a reader sees either the old or the new
// file and a crash never leaves half of it. On failure `errorText`, when given, receives the
// system's text for the step that failed.
// On POSIX:
// - a symbolic link is followed, and its target is replaced;
// - the new file is written beside the old one, flushed to disk and renamed over it, keeping the
//   old file's permission bits (a new file gets 0666 less the umask);
// - a file that may not be written (no write permission, or no write bit at all even for root)
//   is never replaced: the call fails and the file stays as it was;
// - when no new file can be made in the folder but the old file is writable, it is rewritten in
//   place.
// On Windows the same, except that the new file is moved over the old one in one step
// (MoveFileExW, write-through) with the access rights the folder hands down, a file is writable
// when it opens for writing (no read-only attribute, write access granted), and links are not
// followed.
// On both, temporary files that saves of processes no longer running left behind are removed.
bool ReplaceFileContents(const std::string& path, std::string_view contents,
                         std::string* errorText = nullptr);

}  // namespace vindle
