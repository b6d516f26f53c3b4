#include "settings/settings_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "settings/profile_file.h"

namespace vindle {
namespace {

constexpr char kBroadcastSection[] = "BroadCast";
constexpr char kSpecifiedSection[] = "SearchSpecifiedAddress";
constexpr char kTimeoutSection[] = "TimeOut";
constexpr char kStatusKey[] = "Status";
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

void WriteStatusPair(ProfileDocument& document, bool specified) {
    document.WriteString(kBroadcastSection, kStatusKey, specified ? kDisabled : kEnabled);
    document.WriteString(kSpecifiedSection, kStatusKey, specified ? kEnabled : kDisabled);
}

}  // namespace

void EnsureSettingsFile() {
    // Only a file that is really absent gets the defaults: one that exists but cannot be opened
    // would otherwise be replaced and its settings lost.
    std::error_code error;
    if (std::filesystem::status(kSettingsFileName, error).type() !=
        std::filesystem::file_type::not_found) {
        return;
    }
    ProfileDocument document(kSettingsFileName);
    document.WriteString(kBroadcastSection, kStatusKey, kEnabled);
    document.WriteString(kSpecifiedSection, kStatusKey, kDisabled);
    document.WriteString(kTimeoutSection, kTimeoutKey, "6");
    document.Commit();
}

SearchMode ReadSearchMode() {
    const ProfileDocument document(kSettingsFileName);
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

std::string ReadBroadcastStatus() {
    return ReadProfileString(kBroadcastSection, kStatusKey, kStatusBuffer, kSettingsFileName);
}

void ReadTimeout(int& seconds) {
    // At most three characters, so the conversion cannot overflow.
    seconds = std::atoi(ReadTimeoutText().c_str());
}

std::string ReadTimeoutText() {
    return ReadProfileString(kTimeoutSection, kTimeoutKey, kTimeoutBuffer, kSettingsFileName);
}

int ReadAddressList(int& count, char (*addresses)[16], char (*masks)[16], int slotCount) {
    if (addresses == nullptr || masks == nullptr || slotCount <= 0) {
        return 0;
    }
    // Both lists come from one reading of the file, so they always belong together.
    const ProfileDocument document(kSettingsFileName);
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

int WriteAddressList(ProfileDocument& document, const AddressEntry* entries, int count,
                     const char* statusText) {
    std::string joined;
    for (int i = 0; entries != nullptr && i < ClampCount(count); ++i) {
        if (i > 0) {
            joined += ',';
        }
        joined += FieldText(entries[i].address);
    }
    if (!joined.empty()) {
        document.WriteString(kSpecifiedSection, kAddressKey, joined);
        return 1;
    }
    document.EmptySection(kSpecifiedSection);
    WriteStatusPair(document, statusText != nullptr && std::strcmp(statusText, kEnabled) == 0);
    return 0;
}

int WriteSubnetList(ProfileDocument& document, const AddressEntry* entries, int count) {
    std::string joined;
    for (int i = 0; entries != nullptr && i < ClampCount(count); ++i) {
        if (i > 0) {
            joined += ',';
        }
        joined += FieldText(entries[i].mask);
    }
    document.WriteString(kSpecifiedSection, kSubnetKey, joined);
    return 1;
}

void WriteSettings(ProfileDocument& document, const AddressEntry* entries, int count,
                   int timeoutSeconds, const char* statusText) {
    char timeoutText[4] = {};
    std::snprintf(timeoutText, sizeof timeoutText, "%d", timeoutSeconds);
    const std::string_view status = statusText != nullptr ? statusText : "";

    if (status == kDisabled) {
        if (WriteAddressList(document, entries, count, kDisabled) == 1 &&
            WriteSubnetList(document, entries, count) == 1) {
            WriteStatusPair(document, false);
        }
    } else if (status == kEnabled) {
        WriteStatusPair(document, true);
        if (WriteAddressList(document, entries, count, kEnabled) == 1) {
            WriteSubnetList(document, entries, count);
        }
    }
    document.WriteString(kTimeoutSection, kTimeoutKey, timeoutText);
}

void WriteSettings(const AddressEntry* entries, int count, int timeoutSeconds,
                   const char* statusText) {
    ProfileDocument document(kSettingsFileName);
    WriteSettings(document, entries, count, timeoutSeconds, statusText);
    document.Commit();
}

int WriteAddressList(const AddressEntry* entries, int count, const char* statusText) {
    ProfileDocument document(kSettingsFileName);
    const int result = WriteAddressList(document, entries, count, statusText);
    document.Commit();
    return result;
}

int WriteSubnetList(const AddressEntry* entries, int count) {
    ProfileDocument document(kSettingsFileName);
    const int result = WriteSubnetList(document, entries, count);
    document.Commit();
    return result;
}

}  // namespace vindle
