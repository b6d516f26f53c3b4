#pragma once

#include <string>
#include <string_view>

namespace vindle {

// Reads the whole file at `path` into `contents`. A missing file reads as empty and counts as
// success; any other failure (a folder, no read permission) returns false and, when `error` is
// given, stores the system's error number there (EISDIR for a folder).
bool ReadWholeFile(const std::string& path, std::string& contents, bool& exists,
                   int* error = nullptr);

// Replaces the file at `path` with `contents` so that a reader sees either the old or the new
// file and a crash never leaves half of it:
// - a symbolic link is followed, and its target is replaced;
// - the new file is written beside the old one, flushed to disk and renamed over it, keeping the
//   old file's permission bits (a new file gets 0666 less the umask);
// - a file that may not be written (no write permission, or no write bit at all even for root)
//   is never replaced: the call fails and the file stays as it was;
// - when no new file can be made in the folder but the old file is writable, it is rewritten in
//   place.
// On failure, when `error` is given, the system's error number is stored there: EACCES for a
// file or folder that may not be written, EISDIR when the path names a folder.
bool ReplaceFileContents(const std::string& path, std::string_view contents, int* error = nullptr);

}  // namespace vindle
