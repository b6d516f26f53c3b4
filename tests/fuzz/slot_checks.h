#pragma once

// What must hold of a search's device slots whenever the search touches the network or the list,
// shared by the harnesses that drive the slots.

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "discovery/device_table.h"
#include "discovery/search_context.h"
#include "fuzz/fuzz_check.h"
#include "platform/ipv4_text.h"

namespace vindle {

template <std::size_t N>
bool IsAllZero(const char (&field)[N]) {
    return std::all_of(field, field + N, [](char c) { return c == '\0'; });
}

inline bool IsAllZero(const DeviceSlot& slot) {
    return IsAllZero(slot.ipText) && IsAllZero(slot.modelNumber) && IsAllZero(slot.serialNumber) &&
           IsAllZero(slot.macField);
}

inline bool IsCanonicalAddress(const std::string& text) {
    const std::optional<Ipv4Address> address = ParseIpv4(text);
    return address && FormatIpv4(*address) == text;
}

// The counters inside the table, every field terminated inside its width, and (while replies are
// collected) every slot past the ones in use untouched or completely cleared.
inline void CheckTable(const SearchContext* context, bool collecting = true) {
    if (context == nullptr) {
        return;
    }
    FUZZ_CHECK(context->deviceCount >= 0 && context->deviceCount <= kDeviceSlotCount,
               "deviceCount in 0..20");
    FUZZ_CHECK(context->slotCursor >= 0 && context->slotCursor <= kDeviceSlotCount,
               "slotCursor in 0..20");
    for (int i = 0; i < kDeviceSlotCount; ++i) {
        const DeviceSlot& slot = context->deviceSlots[i];
        FUZZ_CHECK(std::memchr(slot.ipText, '\0', sizeof slot.ipText) != nullptr,
                   "ipText terminated");
        FUZZ_CHECK(slot.modelNumber[sizeof slot.modelNumber - 1] == '\0', "modelNumber terminated");
        FUZZ_CHECK(slot.serialNumber[sizeof slot.serialNumber - 1] == '\0',
                   "serialNumber terminated");
        FUZZ_CHECK(slot.macField[sizeof slot.macField - 1] == '\0', "macField terminated");
        FUZZ_CHECK(slot.ipText[0] == '\0' || IsCanonicalAddress(SlotText(slot.ipText)),
                   "ipText is dotted decimal");
        if (collecting && i >= context->deviceCount) {
            FUZZ_CHECK(IsAllZero(slot), "a slot not in use holds no bytes");
        }
    }
}

}  // namespace vindle
