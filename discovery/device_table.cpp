#include "discovery/device_table.h"

#include <climits>

#include "discovery/protocol.h"
#include "settings/settings_file.h"

namespace vindle {

std::int32_t g_deviceCount = 0;
std::int32_t g_slotCursor = 0;

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
        std::memset(&context.slots[index], 0, sizeof(DeviceSlot));
    }
    --g_deviceCount;
}

void ProcessAcceptedReply(SearchContext& context, bool inBlock, int blockFirstRow) {
    // Read afresh for every reply: a mode saved during the search applies from the next reply.
    const std::string status = ReadBroadcastStatus();
    if (IsSlotIndex(g_slotCursor) && ProbeDeviceDetails(context) != 0) {
        DropIfAlreadyListed(context);
        const DeviceSlot& slot = context.slots[g_slotCursor];
        if (slot.ipText[0] != '\0' && HasModelAndSerial(slot)) {
            if (status == "Enabled") {
                InsertDeviceByAddress(context);
            } else if (status == "Disabled") {
                InsertDeviceInBlock(context, inBlock, blockFirstRow);
            }
        }
    }
    g_slotCursor = g_deviceCount;
}

bool DropIfAlreadyListed(SearchContext& context) {
    if (!IsSlotIndex(g_slotCursor)) {
        return false;
    }
    const std::string address = SlotText(context.slots[g_slotCursor].ipText);
    const int rows = context.listControl->ItemCount();
    for (int row = 0; row < rows; ++row) {
        if (context.listControl->ItemText(row, 0) == address) {
            GiveBackSlot(context, g_slotCursor);
            return true;
        }
    }
    return false;
}

bool HasModelAndSerial(const DeviceSlot& slot) {
    return slot.modelNumber[0] != '\0' && slot.serialNumber[0] != '\0';
}

void InsertDeviceByAddress(SearchContext& context) {
    const std::string address = SlotText(context.slots[g_slotCursor].ipText);
    const int rows = context.listControl->ItemCount();
    for (int row = 0; row < rows; ++row) {
        if (CompareAddressTexts(address, context.listControl->ItemText(row, 0)) < 0) {
            AddDeviceRow(context, g_slotCursor, row);
            return;
        }
    }
    AddDeviceRow(context, g_slotCursor, rows);
}

void InsertDeviceInBlock(SearchContext& context, bool inBlock, int blockFirstRow) {
    const int rows = context.listControl->ItemCount();
    if (inBlock) {
        const std::string address = SlotText(context.slots[g_slotCursor].ipText);
        for (int row = blockFirstRow < 0 ? 0 : blockFirstRow; row < rows; ++row) {
            if (CompareAddressTexts(address, context.listControl->ItemText(row, 0)) < 0) {
                AddDeviceRow(context, g_slotCursor, row);
                return;
            }
        }
    }
    AddDeviceRow(context, g_slotCursor, rows);
}

void AddDeviceRow(SearchContext& context, int slotIndex, int position) {
    if (!IsSlotIndex(slotIndex)) {
        return;
    }
    const DeviceSlot& slot = context.slots[slotIndex];
    ListView& list = *context.listControl;
    const int row = list.InsertItem(position, SlotText(slot.ipText));
    if (row < 0) {
        return;
    }
    list.SetItemText(row, kMacColumn,
                     FormatMacAddress(reinterpret_cast<const std::uint8_t*>(slot.macField)));
    list.SetItemText(row, kModelColumn, SlotText(slot.modelNumber));
    list.SetItemText(row, kSerialColumn, SlotText(slot.serialNumber));
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
