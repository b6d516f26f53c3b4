#include "platform/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/stale_temp_files.h"

namespace vindle {

const char kNativeLineEnd[] = "\n";

namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kMaxTempAttempts = 100;

std::string ParentDirectory(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links to the path that is finally written; a dangling link resolves to the
// missing target, so the write creates it.
bool ResolveLinks(const std::string& path, std::string& resolved) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                return false;
            }
            resolved = current;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            resolved = current;
            return true;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = readlink(current.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
            return false;
        }
        target.resize(static_cast<std::size_t>(length));
        current = target.front() == '/' ? target : ParentDirectory(current) + "/" + target;
    }
    return false;
}

// Permission alone is not enough for root, who may write anything: a path without any write
// bit is treated as read-only for everyone, as a read-only file attribute would be.
bool MayWrite(const std::string& path, const struct stat& st) {
    return (st.st_mode & 0222) != 0 && access(path.c_str(), W_OK) == 0;
}

bool WriteAll(int fd, std::string_view contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t written = write(fd, contents.data() + done, contents.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

std::string TempPrefix(const std::string& target) {
    return "." + BaseName(target) + ".tmp-";
}

// Whether no process `processId` exists any more (one of another user's still counts as alive).
bool ProcessIsGone(std::uint64_t processId) {
    const auto pid = static_cast<pid_t>(processId);
    return static_cast<std::uint64_t>(pid) == processId && pid > 0 && kill(pid, 0) != 0 &&
           errno == ESRCH;
}

int CreateTempBeside(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> s_counter{0};
    RemoveStaleTemps(ParentDirectory(target), TempPrefix(target), getpid(), ProcessIsGone);
    const std::string prefix =
        ParentDirectory(target) + "/" + TempPrefix(target) + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < kMaxTempAttempts; ++attempt) {
        tempPath = prefix + std::to_string(s_counter.fetch_add(1));
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool RewriteInPlace(const std::string& target, std::string_view contents) {
    const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = WriteAll(fd, contents) &&
                    ftruncate(fd, static_cast<off_t>(contents.size())) == 0 && fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

void SyncDirectory(const std::string& directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Keeps the system's text for the current errno and fails.
bool Failed(std::string* errorText, int error = errno) {
    if (errorText != nullptr) {
        *errorText = std::strerror(error);
    }
    return false;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& contents, bool& exists,
                   std::string* errorText) {
    contents.clear();
    exists = false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || Failed(errorText);
    }
    exists = true;
    struct stat st {};
    int readError = 0;
    if (fstat(fd, &st) != 0) {
        readError = errno;
    } else if (!S_ISREG(st.st_mode)) {
        readError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    char buffer[4096];
    while (readError == 0) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            readError = errno;
        }
        if (got <= 0) {
            break;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    if (readError != 0) {
        contents.clear();
        return Failed(errorText, readError);
    }
    return true;
}

bool ReplaceFileContents(const std::string& path, std::string_view contents,
                         std::string* errorText) {
    std::string target;
    if (path.empty()) {
        return Failed(errorText, ENOENT);
    }
    if (!ResolveLinks(path, target)) {
        return Failed(errorText);
    }
    struct stat old {};
    const bool exists = stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) {
        return Failed(errorText);
    }
    if (exists && !S_ISREG(old.st_mode)) {
        return Failed(errorText, EISDIR);
    }
    if (exists && !MayWrite(target, old)) {
        return Failed(errorText, EACCES);
    }

    // A renamed file belongs to whoever made it; only root can hand it back to another owner, so
    // anyone else rewrites a foreign file in place rather than take it over.
    const bool keepsOwner = !exists || geteuid() == 0 || old.st_uid == geteuid();
    const std::string directory = ParentDirectory(target);
    struct stat dir {};
    const bool directoryWritable = stat(directory.c_str(), &dir) == 0 && MayWrite(directory, dir);

    std::string tempPath;
    const int fd = keepsOwner && directoryWritable ? CreateTempBeside(target, tempPath) : -1;
    if (fd < 0) {
        const int createError = directoryWritable ? errno : EACCES;
        if (!exists) {
            return Failed(errorText, createError);
        }
        return RewriteInPlace(target, contents) || Failed(errorText);
    }

    bool ok = true;
    if (exists) {
        ok = fchmod(fd, old.st_mode & 07777) == 0;
        if (ok && geteuid() == 0) {
            ok = fchown(fd, old.st_uid, old.st_gid) == 0;
        }
    }
    ok = ok && WriteAll(fd, contents) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        unlink(tempPath.c_str());
        return Failed(errorText, error);
    }
    SyncDirectory(directory);
    return true;
}

}  // namespace vindle
