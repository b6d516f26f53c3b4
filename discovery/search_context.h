#pragma once

#include <cstdint>

#include "platform/control.h"
#include "platform/list_view.h"
#include "platform/network.h"

namespace vindle {

constexpr int kDeviceSlotCount = 20;

// One device found in a search: four fixed-width, zero-terminated byte fields.
struct DeviceSlot {
    char ipText[16];
    char modelNumber[18];
    char serialNumber[12];
    char macField[17];
};
static_assert(sizeof(DeviceSlot) == 63);

// The record of one search, created zero-filled by "Retrieve" and owned (and freed) by the
// worker. `network` is where the worker opens its sockets.
struct SearchContext {
    ListView* listControl = nullptr;
    Control* retrieveButton = nullptr;
    DeviceSlot slots[kDeviceSlotCount] = {};
    Network* network = nullptr;
};

// Slots in use in the running search, and the slot being processed; 0 between searches.
extern std::int32_t g_deviceCount;
extern std::int32_t g_slotCursor;

}  // namespace vindle
