#include "platform/console.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace vindle {

bool WriteStandardOutput(std::string_view text, std::string& reason) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) == 0 && written && std::ferror(stdout) == 0) {
        return true;
    }
    reason = std::generic_category().message(errno != 0 ? errno : EIO);
    return false;
}

}  // namespace vindle
