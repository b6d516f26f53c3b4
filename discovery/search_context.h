#pragma once

#include <cstdint>
#include <memory>

#include "discovery/search_observer.h"
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

// The specified search's destination table: entry 0 is the local /24 subnet, then up to 20
// pairs from the settings file.
constexpr int kDestinationCount = 21;
using DestinationText = char[16];

struct RequestState;
class Settings;

// One search: created zero-filled when a search starts, handed to the worker, which owns it until
// the search ends. It holds what the search owns (slots and counters, socket, destination table)
// and where it reports: the list and, when given, an observer of its progress and end.
// `requests` is the program's long-lived request state, `network` where sockets are opened and
// `settings` the file its values are read from; all three outlive the search.
struct SearchContext {
    ListView* listControl = nullptr;
    DeviceSlot deviceSlots[kDeviceSlotCount] = {};
    Network* network = nullptr;
    RequestState* requests = nullptr;
    SearchObserver* observer = nullptr;
    const Settings* settings = nullptr;

    // Slots in use, and the slot being processed.
    std::int32_t deviceCount = 0;
    std::int32_t slotCursor = 0;
    // Rows this search added to the list, and the last progress reported.
    int devicesListed = 0;
    SearchProgress progress;

    std::unique_ptr<UdpSocket> socket;
    DestinationText destinationAddresses[kDestinationCount] = {};
    DestinationText destinationMasks[kDestinationCount] = {};
};

}  // namespace vindle
