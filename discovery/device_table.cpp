#include "discovery/device_table.h"

#include <climits>

#include "discovery/protocol.h"
#include "discovery/search_steps.h"
#include "settings/settings_file.h"

namespace vindle {

namespace {

constexpr int kMacColumn = 1;
constexpr int kModelColumn = 2;
constexpr int kSerialColumn = 3;

bool IsSlotIndex(int index) {
    return index >= 0 && index < kDeviceSlotCount;
}

// atoi without its undefined overflow: the value saturates at the int range.
int ReadLeadingInteger(std::string_view piece) {
    std::size_t pos = 0;
    while (pos < piece.size() &&
           (piece[pos] == ' ' || (piece[pos] >= '\t' && piece[pos] <= '\r'))) {
        ++pos;
    }
    bool negative = false;
    if (pos < piece.size() && (piece[pos] == '+' || piece[pos] == '-')) {
        negative = piece[pos] == '-';
        ++pos;
    }
    long long value = 0;
    while (pos < piece.size() && piece[pos] >= '0' && piece[pos] <= '9') {
        if (value <= INT_MAX) {
            value = value * 10 + (piece[pos] - '0');
        }
        ++pos;
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace

void GiveBackSlot(SearchContext& context, int index) {
    if (IsSlotIndex(index)) {
        std::memset(&context.deviceSlots[index], 0, sizeof(DeviceSlot));
    }
    --context.deviceCount;
}

void ProcessAcceptedReply(SearchContext& context, bool inBlock, int blockFirstRow) {
    // Read afresh for every reply: a mode saved during the search applies from the next reply.
    const std::string status = ReadBroadcastStatus(*context.settings);
    if (IsSlotIndex(context.slotCursor) && ProbeDeviceDetails(context) != 0) {
        // The duplicate check and the placement see the rows as one unchanged whole, even when
        // the list is sorted on another thread meanwhile.
        ListUpdateScope update(*context.listControl);
        DropIfAlreadyListed(context);
        const DeviceSlot& slot = context.deviceSlots[context.slotCursor];
        if (slot.ipText[0] != '\0' && HasModelAndSerial(slot)) {
            if (status == "Enabled") {
                InsertDeviceByAddress(context);
            } else if (status == "Disabled") {
                InsertDeviceInBlock(context, inBlock, blockFirstRow);
            }
        }
    }
    context.slotCursor = context.deviceCount;
}

bool DropIfAlreadyListed(SearchContext& context) {
    if (!IsSlotIndex(context.slotCursor)) {
        return false;
    }
    const std::string address = SlotText(context.deviceSlots[context.slotCursor].ipText);
    const int rows = context.listControl->ItemCount();
    for (int row = 0; row < rows; ++row) {
        if (context.listControl->ItemText(row, 0) == address) {
            GiveBackSlot(context, context.slotCursor);
            return true;
        }
    }
    return false;
}

bool HasModelAndSerial(const DeviceSlot& slot) {
    return slot.modelNumber[0] != '\0' && slot.serialNumber[0] != '\0';
}

void InsertDeviceByAddress(SearchContext& context) {
    const std::string address = SlotText(context.deviceSlots[context.slotCursor].ipText);
    const int rows = context.listControl->ItemCount();
    for (int row = 0; row < rows; ++row) {
        if (CompareAddressTexts(address, context.listControl->ItemText(row, 0)) < 0) {
            AddDeviceRow(context, context.slotCursor, row);
            return;
        }
    }
    AddDeviceRow(context, context.slotCursor, rows);
}

void InsertDeviceInBlock(SearchContext& context, bool inBlock, int blockFirstRow) {
    const int rows = context.listControl->ItemCount();
    if (inBlock) {
        const std::string address = SlotText(context.deviceSlots[context.slotCursor].ipText);
        for (int row = blockFirstRow < 0 ? 0 : blockFirstRow; row < rows; ++row) {
            if (CompareAddressTexts(address, context.listControl->ItemText(row, 0)) < 0) {
                AddDeviceRow(context, context.slotCursor, row);
                return;
            }
        }
    }
    AddDeviceRow(context, context.slotCursor, rows);
}

void AddDeviceRow(SearchContext& context, int slotIndex, int position) {
    if (!IsSlotIndex(slotIndex)) {
        return;
    }
    const DeviceSlot& slot = context.deviceSlots[slotIndex];
    ListView& list = *context.listControl;
    const int row = list.InsertItem(position, SlotText(slot.ipText));
    if (row < 0) {
        return;
    }
    list.SetItemText(row, kMacColumn,
                     FormatMacAddress(reinterpret_cast<const std::uint8_t*>(slot.macField)));
    list.SetItemText(row, kModelColumn, SlotText(slot.modelNumber));
    list.SetItemText(row, kSerialColumn, SlotText(slot.serialNumber));
    ++context.devicesListed;
    ReportDeviceListed(context);
}

std::array<int, 4> ParseOctets(std::string_view text) {
    std::array<int, 4> octets{};
    std::size_t pos = 0;
    for (int& octet : octets) {
        while (pos < text.size() && text[pos] == '.') {
            ++pos;
        }
        if (pos >= text.size()) {
            break;
        }
        const std::size_t end = text.find('.', pos);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        octet = ReadLeadingInteger(text.substr(pos, stop - pos));
        pos = stop;
    }
    return octets;
}

int CompareAddressTexts(std::string_view a, std::string_view b) {
    const std::array<int, 4> left = ParseOctets(a);
    const std::array<int, 4> right = ParseOctets(b);
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i] != right[i]) {
            return left[i] < right[i] ? -1 : 1;
        }
    }
    return 0;
}

std::string FormatMacAddress(const std::uint8_t* bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            text += ':';
        }
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace vindle
