#include "platform/stale_temp_files.h"

#include <charconv>
#include <string>

namespace vindle {

void RemoveStaleTemps(const std::filesystem::path& folder, std::string_view prefix,
                      std::uint64_t self, bool (*isGone)(std::uint64_t processId)) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (!name.starts_with(prefix)) {
            continue;
        }
        const char* digits = name.c_str() + prefix.size();
        std::uint64_t owner = 0;
        const auto [next, status] = std::from_chars(digits, name.c_str() + name.size(), owner);
        if (status != std::errc() || next == digits || *next != '-' || owner == 0 ||
            owner == self) {
            continue;
        }
        if (isGone(owner)) {
            std::error_code ignored;
            fs::remove(entry->path(), ignored);
        }
    }
}

}  // namespace vindle
