#include "platform/atomic_file.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/stale_temp_files.h"
#include "platform/win/win_error.h"

namespace vindle {

const char kNativeLineEnd[] = "\r\n";

namespace {

constexpr int kMaxTempAttempts = 100;
// A virus scanner or an indexer may hold the old file open for a moment; the move is retried
// for about half a second before the save gives up.
constexpr int kMoveAttempts = 25;
constexpr DWORD kMoveRetryMilliseconds = 20;

std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}

std::string ParentDirectory(const std::string& path) {
    const auto separator = LastSeparator(path);
    return separator == std::string::npos ? "." : path.substr(0, separator == 0 ? 1 : separator);
}

std::string BaseName(const std::string& path) {
    const auto separator = LastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string TempPrefix(const std::string& target) {
    return "." + BaseName(target) + ".tmp-";
}

bool Failed(std::string* errorText, DWORD error = GetLastError()) {
    if (errorText != nullptr) {
        *errorText = SystemErrorText(error);
    }
    return false;
}

bool ProcessIsGone(std::uint64_t processId) {
    if (processId > MAXDWORD) {
        return false;
    }
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
    if (process == nullptr) {
        // No such process; a process we may not open (another user's) still counts as alive.
        return GetLastError() == ERROR_INVALID_PARAMETER;
    }
    DWORD exitCode = 0;
    const bool ended = GetExitCodeProcess(process, &exitCode) != 0 && exitCode != STILL_ACTIVE;
    CloseHandle(process);
    return ended;
}

HANDLE CreateTempBeside(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> s_counter{0};
    RemoveStaleTemps(std::filesystem::u8path(ParentDirectory(target)), TempPrefix(target),
                     GetCurrentProcessId(), ProcessIsGone);
    const std::string prefix = ParentDirectory(target) + "\\" + TempPrefix(target) +
                               std::to_string(GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < kMaxTempAttempts; ++attempt) {
        tempPath = prefix + std::to_string(s_counter.fetch_add(1));
        const HANDLE file = CreateFileW(Wide(tempPath).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, std::string_view contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(contents.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, contents.data() + done, chunk, &written, nullptr)) {
            return false;
        }
        done += written;
    }
    return true;
}

// Saves through an existing file when no new file can be made beside it.
bool RewriteInPlace(const std::wstring& target, std::string_view contents) {
    const HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool ok = WriteAll(file, contents) && SetEndOfFile(file) && FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

bool MayWrite(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

bool MoveOver(const std::wstring& from, const std::wstring& to) {
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = GetLastError();
        if (attempt == kMoveAttempts ||
            (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)) {
            return false;
        }
        Sleep(kMoveRetryMilliseconds);
    }
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& contents, bool& exists,
                   std::string* errorText) {
    contents.clear();
    exists = false;
    // Others may replace or delete the file while it is read, as a save does.
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
               Failed(errorText, error);
    }
    exists = true;
    DWORD readError = GetFileType(file) == FILE_TYPE_DISK ? ERROR_SUCCESS : ERROR_DIRECTORY;
    bool ok = readError == ERROR_SUCCESS;
    char buffer[4096];
    while (ok) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            readError = GetLastError();
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        contents.append(buffer, got);
    }
    CloseHandle(file);
    if (!ok) {
        contents.clear();
        return Failed(errorText, readError);
    }
    return true;
}

bool ReplaceFileContents(const std::string& path, std::string_view contents,
                         std::string* errorText) {
    if (path.empty()) {
        return Failed(errorText, ERROR_INVALID_NAME);
    }
    const std::wstring target = Wide(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return Failed(errorText);
    }
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Failed(errorText, ERROR_DIRECTORY);
    }
    // A file that may not be written (read-only attribute, or no write access) is never
    // replaced, although the folder would let a new file be moved over it.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return Failed(errorText, ERROR_ACCESS_DENIED);
    }
    if (exists && !MayWrite(target)) {
        return Failed(errorText);
    }

    std::string tempPath;
    const HANDLE file = CreateTempBeside(path, tempPath);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD createError = GetLastError();
        if (!exists) {
            return Failed(errorText, createError);
        }
        return RewriteInPlace(target, contents) || Failed(errorText);
    }
    bool ok = WriteAll(file, contents) && FlushFileBuffers(file);
    DWORD error = GetLastError();
    ok = CloseHandle(file) && ok;
    const std::wstring wideTemp = Wide(tempPath);
    if (ok && !MoveOver(wideTemp, target)) {
        ok = false;
        error = GetLastError();
    }
    if (!ok) {
        DeleteFileW(wideTemp.c_str());
        return Failed(errorText, error);
    }
    return true;
}

}  // namespace vindle
