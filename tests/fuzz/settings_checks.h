#pragma once

// What the settings harnesses share: their input, the document made of it, and a checked read of
// the address list.
//
// Input: one flag byte, a two-byte length L, L bytes of file content, then the settings to save.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/byte_script.h"
#include "fuzz/fuzz_check.h"
#include "settings/profile_file.h"
#include "settings/settings_file.h"

namespace vindle {

constexpr char kOperatorText[] = "198.51.100.2";
constexpr std::size_t kMaxFileSize = 4096;
constexpr int kUnchanged = -7;

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct SettingsInput {
    std::uint8_t flags = 0;
    std::string content;
};

inline SettingsInput ReadSettingsInput(ByteScript& script) {
    SettingsInput input;
    input.flags = script.Byte();
    const std::size_t length = script.Word() % (kMaxFileSize + 1);
    const std::vector<std::uint8_t> bytes = script.Bytes(length);
    input.content.assign(bytes.begin(), bytes.end());
    return input;
}

// The settings file's bytes as a document, as every reader and save sees them; it is never
// committed.
inline ProfileDocument Parse(const std::string& text) {
    return ProfileDocument(kSettingsFileName, text);
}

struct ListResult {
    int result = 0;
    Pairs pairs;  // the file's entries, after the caller's own
};

// ReadAddressList into exactly `slotCount` heap slots (so ASan sees any write past them), with
// or without the caller's own first entry, checking everything it may and may not touch.
inline ListResult ReadListInto(const ProfileDocument& document, int slotCount, bool callerEntry) {
    const auto addresses = std::make_unique<char[][16]>(static_cast<std::size_t>(slotCount));
    const auto masks = std::make_unique<char[][16]>(static_cast<std::size_t>(slotCount));
    if (callerEntry) {
        std::snprintf(addresses[0], sizeof addresses[0], "%s", kOperatorText);
        std::snprintf(masks[0], sizeof masks[0], "255.255.255.0");
    }
    const int first = callerEntry ? 1 : 0;
    int count = kUnchanged;
    ListResult list;
    list.result = ReadAddressList(document, count, addresses.get(), masks.get(), slotCount);
    FUZZ_CHECK(list.result == 0 || list.result == 1, "ReadAddressList returns 0 or 1");
    if (callerEntry) {
        FUZZ_CHECK(std::strcmp(addresses[0], kOperatorText) == 0 &&
                       std::strcmp(masks[0], "255.255.255.0") == 0,
                   "the caller's own entry is kept");
    }
    int used = first;
    if (list.result == 0) {
        FUZZ_CHECK(count == kUnchanged, "count unchanged when there is no list");
    } else {
        FUZZ_CHECK(count > first && count <= slotCount, "count within the caller's slots");
        used = count;
    }
    for (int i = first; i < slotCount; ++i) {
        const bool terminated = std::memchr(addresses[i], '\0', 16) != nullptr &&
                                std::memchr(masks[i], '\0', 16) != nullptr;
        FUZZ_CHECK(terminated, "every slot zero-terminated within 16 bytes");
        const std::string address = addresses[i];
        const std::string mask = masks[i];
        if (i < used) {
            FUZZ_CHECK(!address.empty() && !mask.empty(), "a slot in use holds an entry");
            FUZZ_CHECK(
                address.find(',') == std::string::npos && mask.find(',') == std::string::npos,
                "an entry holds no separator");
            list.pairs.emplace_back(address, mask);
        } else {
            const auto zero = [](const char(&slot)[16]) {
                return std::all_of(slot, slot + 16, [](char c) { return c == '\0'; });
            };
            FUZZ_CHECK(zero(addresses[i]) && zero(masks[i]), "slots past count stay zero-filled");
        }
    }
    return list;
}

}  // namespace vindle
