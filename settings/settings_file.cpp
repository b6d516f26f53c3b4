#include "settings/settings_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/atomic_file.h"
#include "settings/profile_file.h"

namespace vindle {
namespace {

constexpr char kBroadcastSection[] = "BroadCast";
constexpr char kSpecifiedSection[] = "SearchSpecifiedAddress";
constexpr char kTimeoutSection[] = "TimeOut";
constexpr char kStatusKey[] = "Status";
constexpr char kSearchSection[] = "Search";
constexpr char kThoroughKey[] = "Thorough";
constexpr char kAddressKey[] = "IPAddress";
constexpr char kSubnetKey[] = "Subnet";
constexpr char kTimeoutKey[] = "TimeVal";
constexpr char kEnabled[] = "Enabled";
constexpr char kDisabled[] = "Disabled";

// Read buffer sizes, terminating NUL included.
constexpr std::size_t kStatusBuffer = 9;
constexpr std::size_t kListBuffer = 320;
constexpr std::size_t kTimeoutBuffer = 4;
constexpr std::size_t kEntryTextMax = 15;

std::vector<std::string_view> SplitAtCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t comma = std::min(text.find(',', position), text.size());
        if (comma > position) {
            parts.push_back(text.substr(position, comma - position));
        }
        position = comma + 1;
    }
    return parts;
}

void CopyIntoSlot(char (&slot)[16], std::string_view text) {
    std::memset(slot, 0, sizeof slot);
    std::memcpy(slot, text.data(), std::min(text.size(), sizeof slot - 1));
}

// An entry's text up to its terminator, never past its 16 bytes.
std::string_view FieldText(const char (&field)[16]) {
    return std::string_view(field, strnlen(field, sizeof field));
}

int ClampCount(int count) {
    return std::clamp(count, 0, kMaxAddressEntries);
}

// Appends a comma-joined list to another.
void AppendList(std::string& joined, std::string_view more) {
    if (more.empty()) {
        return;
    }
    if (!joined.empty()) {
        joined += ',';
    }
    joined += more;
}

void WriteStatusPair(ProfileDocument& document, bool specified) {
    document.WriteString(kBroadcastSection, kStatusKey, specified ? kDisabled : kEnabled);
    document.WriteString(kSpecifiedSection, kStatusKey, specified ? kEnabled : kDisabled);
}

}  // namespace

SettingsStatus EnsureSettingsFile(const Settings& settings) {
    // Only a file that is really absent gets the defaults: one that exists but cannot be opened
    // would otherwise be replaced and its settings lost.
    std::error_code error;
    const std::filesystem::file_type type = std::filesystem::status(settings.File(), error).type();
    if (type != std::filesystem::file_type::not_found) {
        return error ? SettingsStatus{error.message(), settings.Path()}
                     : CheckSettingsReadable(settings);
    }
    ProfileDocument document(settings.Path());
    document.WriteString(kBroadcastSection, kStatusKey, kEnabled);
    document.WriteString(kSpecifiedSection, kStatusKey, kDisabled);
    document.WriteString(kTimeoutSection, kTimeoutKey, "6");
    SettingsStatus status{"", settings.Path()};
    document.Commit(&status.errorText);
    return status;
}

SettingsStatus CheckSettingsReadable(const Settings& settings) {
    std::string contents;
    bool exists = false;
    SettingsStatus status{"", settings.Path()};
    if (ReadWholeFile(status.file, contents, exists, &status.errorText) && !exists) {
        status.errorText = std::generic_category().message(ENOENT);
    }
    return status;
}

SearchMode ReadSearchMode(const Settings& settings) {
    return ReadSearchMode(ProfileDocument(settings.Path()));
}

SearchMode ReadSearchMode(const ProfileDocument& document) {
    const std::string broadcast = document.ReadString(kBroadcastSection, kStatusKey, kStatusBuffer);
    const std::string specified = document.ReadString(kSpecifiedSection, kStatusKey, kStatusBuffer);
    if (broadcast == kEnabled && specified == kDisabled) {
        return SearchMode::Broadcast;
    }
    if (broadcast == kDisabled && specified == kEnabled) {
        return SearchMode::Specified;
    }
    return SearchMode::Undefined;
}

std::string ReadBroadcastStatus(const Settings& settings) {
    return ReadBroadcastStatus(ProfileDocument(settings.Path()));
}

std::string ReadBroadcastStatus(const ProfileDocument& document) {
    return document.ReadString(kBroadcastSection, kStatusKey, kStatusBuffer);
}

void ReadTimeout(const Settings& settings, int& seconds) {
    ReadTimeout(ProfileDocument(settings.Path()), seconds);
}

void ReadTimeout(const ProfileDocument& document, int& seconds) {
    // At most three characters, so the conversion cannot overflow.
    seconds = std::atoi(ReadTimeoutText(document).c_str());
}

bool ReadThoroughSearch(const Settings& settings) {
    return ReadThoroughSearch(ProfileDocument(settings.Path()));
}

bool ReadThoroughSearch(const ProfileDocument& document) {
    return document.ReadString(kSearchSection, kThoroughKey, kStatusBuffer) == kEnabled;
}

void WriteThoroughSearch(ProfileDocument& document, bool enabled) {
    if (enabled) {
        document.WriteString(kSearchSection, kThoroughKey, kEnabled);
    } else if (!document.ReadString(kSearchSection, kThoroughKey, kStatusBuffer).empty()) {
        document.WriteString(kSearchSection, kThoroughKey, kDisabled);
    }
}

std::string ReadTimeoutText(const Settings& settings) {
    return ReadTimeoutText(ProfileDocument(settings.Path()));
}

std::string ReadTimeoutText(const ProfileDocument& document) {
    return document.ReadString(kTimeoutSection, kTimeoutKey, kTimeoutBuffer);
}

int ReadAddressList(const Settings& settings, int& count, char (*addresses)[16], char (*masks)[16],
                    int slotCount) {
    if (addresses == nullptr || masks == nullptr || slotCount <= 0) {
        return 0;
    }
    // Both lists come from one reading of the file, so they always belong together.
    return ReadAddressList(ProfileDocument(settings.Path()), count, addresses, masks, slotCount);
}

int ReadAddressList(const ProfileDocument& document, int& count, char (*addresses)[16],
                    char (*masks)[16], int slotCount) {
    if (addresses == nullptr || masks == nullptr || slotCount <= 0) {
        return 0;
    }
    const std::string addressText =
        document.ReadString(kSpecifiedSection, kAddressKey, kListBuffer);
    const std::string maskText = document.ReadString(kSpecifiedSection, kSubnetKey, kListBuffer);
    if (addressText.empty() || maskText.empty()) {
        return 0;
    }
    const auto addressParts = SplitAtCommas(addressText);
    const auto maskParts = SplitAtCommas(maskText);

    int slot = addresses[0][0] != '\0' ? 1 : 0;
    int stored = 0;
    const std::size_t pairs = std::min(addressParts.size(), maskParts.size());
    for (std::size_t i = 0; i < pairs && slot < slotCount; ++i) {
        // An overlong entry was not written by this program; cutting it would make up an address
        // nobody entered, so it is skipped with its partner.
        if (addressParts[i].size() > kEntryTextMax || maskParts[i].size() > kEntryTextMax) {
            continue;
        }
        CopyIntoSlot(addresses[slot], addressParts[i]);
        CopyIntoSlot(masks[slot], maskParts[i]);
        ++slot;
        ++stored;
    }
    if (stored == 0) {
        return 0;
    }
    count = slot;
    return 1;
}

UnshownPairs ReadUnshownAddressPairs(const Settings& settings, int slotCount) {
    return ReadUnshownAddressPairs(ProfileDocument(settings.Path()), slotCount);
}

UnshownPairs ReadUnshownAddressPairs(const ProfileDocument& document, int slotCount) {
    const std::string addressText =
        document.ReadString(kSpecifiedSection, kAddressKey, std::string::npos);
    const std::string maskText =
        document.ReadString(kSpecifiedSection, kSubnetKey, std::string::npos);
    const auto addressParts = SplitAtCommas(addressText);
    const auto maskParts = SplitAtCommas(maskText);
    // The pairs ReadAddressList shows, found the way it finds them: in the lists cut to its
    // buffer, skipping pairs with an overlong entry, up to the slots.
    std::vector<bool> shown(std::max(addressParts.size(), maskParts.size()), false);
    const std::string_view cutAddresses = std::string_view(addressText).substr(0, kListBuffer - 1);
    const std::string_view cutMasks = std::string_view(maskText).substr(0, kListBuffer - 1);
    if (!cutAddresses.empty() && !cutMasks.empty()) {
        const auto cutAddressParts = SplitAtCommas(cutAddresses);
        const auto cutMaskParts = SplitAtCommas(cutMasks);
        const std::size_t pairs = std::min(cutAddressParts.size(), cutMaskParts.size());
        int used = 0;
        for (std::size_t i = 0; i < pairs && used < slotCount; ++i) {
            if (cutAddressParts[i].size() > kEntryTextMax ||
                cutMaskParts[i].size() > kEntryTextMax) {
                continue;
            }
            ++used;
            // A pair cut short by the buffer shows as a different text: the whole one is kept.
            shown[i] = cutAddressParts[i] == addressParts[i] && cutMaskParts[i] == maskParts[i];
        }
    }
    UnshownPairs unshown;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i]) {
            continue;
        }
        if (i < addressParts.size()) {
            AppendList(unshown.addresses, addressParts[i]);
        }
        if (i < maskParts.size()) {
            AppendList(unshown.masks, maskParts[i]);
        }
    }
    return unshown;
}

int WriteAddressList(ProfileDocument& document, const AddressEntry* entries, int count,
                     const char* statusText, std::string_view unshownAddresses) {
    std::string joined;
    for (int i = 0; entries != nullptr && i < ClampCount(count); ++i) {
        if (i > 0) {
            joined += ',';
        }
        joined += FieldText(entries[i].address);
    }
    AppendList(joined, unshownAddresses);
    if (!joined.empty()) {
        document.WriteString(kSpecifiedSection, kAddressKey, joined);
        return 1;
    }
    document.EmptySection(kSpecifiedSection);
    WriteStatusPair(document, statusText != nullptr && std::strcmp(statusText, kEnabled) == 0);
    return 0;
}

int WriteSubnetList(ProfileDocument& document, const AddressEntry* entries, int count,
                    std::string_view unshownMasks) {
    std::string joined;
    for (int i = 0; entries != nullptr && i < ClampCount(count); ++i) {
        if (i > 0) {
            joined += ',';
        }
        joined += FieldText(entries[i].mask);
    }
    AppendList(joined, unshownMasks);
    document.WriteString(kSpecifiedSection, kSubnetKey, joined);
    return 1;
}

void WriteSettings(ProfileDocument& document, const AddressEntry* entries, int count,
                   int timeoutSeconds, const char* statusText, const UnshownPairs& unshown) {
    char timeoutText[4] = {};
    std::snprintf(timeoutText, sizeof timeoutText, "%d", timeoutSeconds);
    const std::string_view status = statusText != nullptr ? statusText : "";

    if (status == kDisabled) {
        if (WriteAddressList(document, entries, count, kDisabled, unshown.addresses) == 1 &&
            WriteSubnetList(document, entries, count, unshown.masks) == 1) {
            WriteStatusPair(document, false);
        }
    } else if (status == kEnabled) {
        WriteStatusPair(document, true);
        if (WriteAddressList(document, entries, count, kEnabled, unshown.addresses) == 1) {
            WriteSubnetList(document, entries, count, unshown.masks);
        }
    }
    document.WriteString(kTimeoutSection, kTimeoutKey, timeoutText);
}

SettingsStatus WriteSettings(const Settings& settings, const AddressEntry* entries, int count,
                             int timeoutSeconds, const char* statusText,
                             const UnshownPairs& unshown) {
    ProfileDocument document(settings.Path());
    WriteSettings(document, entries, count, timeoutSeconds, statusText, unshown);
    SettingsStatus status{"", settings.Path()};
    document.Commit(&status.errorText);
    return status;
}

int WriteAddressList(const Settings& settings, const AddressEntry* entries, int count,
                     const char* statusText) {
    ProfileDocument document(settings.Path());
    const int result = WriteAddressList(document, entries, count, statusText);
    document.Commit();
    return result;
}

int WriteSubnetList(const Settings& settings, const AddressEntry* entries, int count) {
    ProfileDocument document(settings.Path());
    const int result = WriteSubnetList(document, entries, count);
    document.Commit();
    return result;
}

}  // namespace vindle
