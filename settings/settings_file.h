#pragma once

#include <string>
#include <string_view>

#include "settings/settings.h"

namespace vindle {

class ProfileDocument;

// The settings file's name; Settings says in which folder.
constexpr char kSettingsFileName[] = "QarvVindle.ini";

enum class SearchMode { Broadcast, Specified, Undefined };

constexpr int kMaxAddressEntries = 20;

// One pair of the specified-address list; each text has at most 15 characters.
struct AddressEntry {
    char address[16];
    char mask[16];
};

// Writes the defaults (broadcast mode, a 6-second time-out) when no settings file exists.
// Fails when the file exists but cannot be read, or is missing and cannot be created.
SettingsStatus EnsureSettingsFile(const Settings& settings);

// Whether the settings file can be read now; a missing file fails with ENOENT.
SettingsStatus CheckSettingsReadable(const Settings& settings);

// The mode selected by the two "Status" values (each read as at most 8 characters).
SearchMode ReadSearchMode(const Settings& settings);

// [BroadCast] Status, at most 8 characters; "" when missing.
std::string ReadBroadcastStatus(const Settings& settings);

// [TimeOut] TimeVal (at most 3 characters) converted like atoi; no range check.
void ReadTimeout(const Settings& settings, int& seconds);

// [Search] Thorough is exactly "Enabled"; a missing key or any other value keeps the plain search.
bool ReadThoroughSearch(const Settings& settings);

// [TimeOut] TimeVal as stored, at most 3 characters; "" when missing.
std::string ReadTimeoutText(const Settings& settings);

// Reads the IPAddress/Subnet pairs into the caller's `slotCount` zero-filled 16-byte slots.
// When address slot 0 already holds text, the file's pairs start at slot 1. Returns 1 and the
// number of slots in use in `count`, or 0 (count unchanged) when either list is missing or empty.
// Hand-edited lists are read safely: a pair with an entry longer than 15 characters is skipped
// whole, pairs beyond the slots are dropped, and a list yielding no pair counts as no list.
int ReadAddressList(const Settings& settings, int& count, char (*addresses)[16], char (*masks)[16],
                    int slotCount);

// Entries of the file's lists that the configuration dialog does not show (pairs beyond those
// ReadAddressList fills, pairs with an overlong entry, entries without a partner), joined with
// commas in their order. Saving writes them back after the dialog's rows, so none is lost.
struct UnshownPairs {
    std::string addresses;
    std::string masks;
};

// The entries a ReadAddressList into `slotCount` empty slots would leave out, from the file as
// it is now.
UnshownPairs ReadUnshownAddressPairs(const Settings& settings, int slotCount);

// The configuration dialog's save: mode, address list (then `unshown`) and time-out, committed
// to the file at once. `statusText` is "Enabled" (search specified addresses) or "Disabled".
// When the file cannot be written (or could not be read) it stays as it was and the status says
// why.
SettingsStatus WriteSettings(const Settings& settings, const AddressEntry* entries, int count,
                             int timeoutSeconds, const char* statusText,
                             const UnshownPairs& unshown = {});

// Writes the joined addresses as [SearchSpecifiedAddress] IPAddress and returns 1; with no
// entries, empties that section, writes the status pair for `statusText` and returns 0.
int WriteAddressList(const Settings& settings, const AddressEntry* entries, int count,
                     const char* statusText);

// Writes the joined masks as [SearchSpecifiedAddress] Subnet; returns 1.
int WriteSubnetList(const Settings& settings, const AddressEntry* entries, int count);

// The readers above applied to a document held in memory (the file versions read the file into
// one and call these).
SearchMode ReadSearchMode(const ProfileDocument& document);
std::string ReadBroadcastStatus(const ProfileDocument& document);
void ReadTimeout(const ProfileDocument& document, int& seconds);
bool ReadThoroughSearch(const ProfileDocument& document);
// Writes [Search] Thorough: "Enabled" when `enabled`; otherwise "Disabled", but only where the key
// is already present, so that a file whose user never turned the thorough search on stays as it
// was.
void WriteThoroughSearch(ProfileDocument& document, bool enabled);
std::string ReadTimeoutText(const ProfileDocument& document);
int ReadAddressList(const ProfileDocument& document, int& count, char (*addresses)[16],
                    char (*masks)[16], int slotCount);
UnshownPairs ReadUnshownAddressPairs(const ProfileDocument& document, int slotCount);

// The same steps applied to a document held in memory, so that a sequence commits at once.
// The unshown entries are appended to the joined lists.
void WriteSettings(ProfileDocument& document, const AddressEntry* entries, int count,
                   int timeoutSeconds, const char* statusText, const UnshownPairs& unshown = {});
int WriteAddressList(ProfileDocument& document, const AddressEntry* entries, int count,
                     const char* statusText, std::string_view unshownAddresses = {});
int WriteSubnetList(ProfileDocument& document, const AddressEntry* entries, int count,
                    std::string_view unshownMasks = {});

}  // namespace vindle
