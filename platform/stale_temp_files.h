#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace vindle {

// A save writes "<prefix><process id>-<n>" beside its target and then renames it over the
// target, so a save killed in between leaves that file behind. Removes from `folder` those of
// processes other than `self` that no longer run (`isGone`), so crashes never pile them up;
// those of a live process (another save under way) are left alone.
void RemoveStaleTemps(const std::filesystem::path& folder, std::string_view prefix,
                      std::uint64_t self, bool (*isGone)(std::uint64_t processId));

}  // namespace vindle
