// Drives the steps that place a probed device in the list: the duplicate check, the insertion in
// address order (broadcast search) or in a subnet's block (specified search), and row insertion
// itself, on a list of rows that may hold any texts in any order (the operator sorts the list by
// any column while a search runs). Also checks that the address order is a consistent order on
// any text.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "discovery/device_table.h"
#include "fuzz/byte_script.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/slot_checks.h"
#include "platform/ipv4_text.h"
#include "platform/memory_list_view.h"

namespace vindle {
namespace {

constexpr int kMaxRows = 24;
constexpr int kMaxSteps = 32;

using Rows = std::vector<MemoryListView::Row>;

// An address text: mostly canonical ones from a few hosts (so that duplicates and ties happen),
// sometimes any bytes of up to 15 characters, as a hand-sorted or damaged list could hold.
std::string PickAddressText(ByteScript& script) {
    const int kind = script.Below(8);
    if (kind == 0) {
        const int length = script.Below(16);
        std::string text;
        for (int i = 0; i < length; ++i) {
            const std::uint8_t byte = script.Byte();
            text += static_cast<char>(byte == 0 ? '.' : byte);
        }
        return text;
    }
    if (kind == 1) {
        const Ipv4Address address = static_cast<Ipv4Address>(script.Word()) << 16 | script.Word();
        return FormatIpv4(address);
    }
    return FormatIpv4(0xC6336400u | static_cast<Ipv4Address>(script.Below(12) * 20));
}

std::string PickText(ByteScript& script, int maxLength) {
    std::string text;
    const int length = script.Below(maxLength + 1);
    for (int i = 0; i < length; ++i) {
        const std::uint8_t byte = script.Byte();
        text += static_cast<char>(byte == 0 ? 'x' : byte);
    }
    return text;
}

template <std::size_t N>
void StoreText(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

// A device the probe finished with, in slot [slotCursor].
void FillSlot(ByteScript& script, DeviceSlot& slot) {
    std::memset(&slot, 0, sizeof slot);
    std::snprintf(slot.ipText, sizeof slot.ipText, "%s", PickAddressText(script).c_str());
    StoreText(slot.modelNumber, script.Below(8) == 0 ? "" : PickText(script, 17));
    StoreText(slot.serialNumber, script.Below(8) == 0 ? "" : PickText(script, 11));
    for (std::size_t i = 0; i < 6; ++i) {
        slot.macField[i] = static_cast<char>(script.Byte());
    }
}

bool IsAscending(const Rows& rows, std::size_t from) {
    for (std::size_t i = from + 1; i < rows.size(); ++i) {
        if (CompareAddressTexts(rows[i - 1].texts[0], rows[i].texts[0]) > 0) {
            return false;
        }
    }
    return true;
}

// The rows the slot becomes, as AddDeviceRow writes it.
MemoryListView::Row RowOf(const DeviceSlot& slot) {
    MemoryListView::Row row;
    row.texts = {SlotText(slot.ipText),
                 FormatMacAddress(reinterpret_cast<const std::uint8_t*>(slot.macField)),
                 SlotText(slot.modelNumber), SlotText(slot.serialNumber)};
    return row;
}

bool SameRow(const MemoryListView::Row& a, const MemoryListView::Row& b) {
    return a.texts == b.texts && a.state == b.state;
}

// `after` is `before` with `row` inserted at `position`.
bool InsertedAt(const Rows& before, const Rows& after, const MemoryListView::Row& row,
                std::size_t position) {
    if (after.size() != before.size() + 1 || position > before.size()) {
        return false;
    }
    for (std::size_t i = 0; i < after.size(); ++i) {
        const MemoryListView::Row& expected =
            i < position ? before[i] : (i == position ? row : before[i - 1]);
        if (!SameRow(after[i], expected)) {
            return false;
        }
    }
    return true;
}

// The first row from `from` on whose address is greater than `address`, else the end.
std::size_t FirstGreater(const Rows& rows, std::size_t from, const std::string& address) {
    for (std::size_t i = from; i < rows.size(); ++i) {
        if (CompareAddressTexts(address, rows[i].texts[0]) < 0) {
            return i;
        }
    }
    return rows.size();
}

void CheckOrder(ByteScript& script) {
    const std::string a = PickAddressText(script);
    const std::string b = PickAddressText(script);
    const std::string c = PickAddressText(script);
    FUZZ_CHECK(CompareAddressTexts(a, a) == 0, "a text equals itself");
    const int ab = CompareAddressTexts(a, b);
    FUZZ_CHECK(ab == -CompareAddressTexts(b, a) && ab >= -1 && ab <= 1,
               "the order is antisymmetric");
    const int bc = CompareAddressTexts(b, c);
    if (ab <= 0 && bc <= 0) {
        FUZZ_CHECK(CompareAddressTexts(a, c) <= 0, "the order is transitive");
    }
    const auto left = ParseIpv4(a);
    const auto right = ParseIpv4(b);
    if (left && right) {
        FUZZ_CHECK(ab == (*left < *right ? -1 : (*left > *right ? 1 : 0)),
                   "addresses compare by their numeric value");
    }
}

void RunInput(ByteScript& script) {
    MemoryListView list;
    const int rowCount = script.Below(kMaxRows + 1);
    for (int i = 0; i < rowCount; ++i) {
        list.AppendRow({PickAddressText(script), PickText(script, 17), PickText(script, 17),
                        PickText(script, 11)});
    }
    const bool sorted = script.Below(2) == 0;
    if (sorted) {
        Rows rows = list.Rows();
        std::stable_sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) {
            return CompareAddressTexts(x.texts[0], y.texts[0]) < 0;
        });
        list.DeleteAllItems();
        for (const auto& row : rows) {
            list.AppendRow(row.texts);
        }
    }

    SearchContext context;
    context.listControl = &list;
    context.deviceCount = 1 + script.Below(kDeviceSlotCount);
    context.slotCursor = context.deviceCount - 1;
    const int steps = script.Below(kMaxSteps + 1);
    for (int step = 0; step < steps && !script.AtEnd(); ++step) {
        const int operation = script.Below(6);
        if (operation == 0) {
            CheckOrder(script);
            continue;
        }
        context.deviceCount = 1 + script.Below(kDeviceSlotCount);
        context.slotCursor = context.deviceCount - 1;
        DeviceSlot& slot = context.deviceSlots[context.slotCursor];
        FillSlot(script, slot);
        const DeviceSlot placed = slot;
        const Rows before = list.Rows();
        const int listedBefore = context.devicesListed;
        const int countBefore = context.deviceCount;

        switch (operation) {
            case 1: {
                const bool dropped = DropIfAlreadyListed(context);
                const bool listed = std::any_of(before.begin(), before.end(), [&](const auto& row) {
                    return row.texts[0] == SlotText(placed.ipText);
                });
                FUZZ_CHECK(dropped == listed, "dropped exactly when its address text is listed");
                FUZZ_CHECK(
                    context.deviceCount == countBefore - (dropped ? 1 : 0) &&
                        (dropped ? IsAllZero(slot) : std::memcmp(&slot, &placed, sizeof slot) == 0),
                    "a dropped slot is given back, another one stays");
                FUZZ_CHECK(list.Rows().size() == before.size(),
                           "the duplicate check lists nothing");
                break;
            }
            case 2: {
                InsertDeviceByAddress(context);
                const std::size_t position = FirstGreater(before, 0, SlotText(placed.ipText));
                FUZZ_CHECK(InsertedAt(before, list.Rows(), RowOf(placed), position),
                           "inserted before the first greater address, with the slot's texts");
                if (IsAscending(before, 0)) {
                    FUZZ_CHECK(IsAscending(list.Rows(), 0), "a list in address order stays so");
                }
                break;
            }
            case 3:
            case 4: {
                const bool inBlock = operation == 3;
                const int blockFirstRow = script.Below(rowCount + 4) - 2;
                InsertDeviceInBlock(context, inBlock, blockFirstRow);
                const std::size_t from = static_cast<std::size_t>(std::max(blockFirstRow, 0));
                const std::size_t position =
                    inBlock ? FirstGreater(before, from, SlotText(placed.ipText)) : before.size();
                FUZZ_CHECK(InsertedAt(before, list.Rows(), RowOf(placed), position),
                           "inserted in its block (or at the end), rows above it untouched");
                break;
            }
            default: {
                const int slotIndex = script.Below(kDeviceSlotCount + 4) - 2;
                const int position = script.Below(static_cast<int>(before.size()) + 6) - 2;
                AddDeviceRow(context, slotIndex, position);
                const bool added = slotIndex >= 0 && slotIndex < kDeviceSlotCount && position >= 0;
                if (added) {
                    FUZZ_CHECK(
                        InsertedAt(before, list.Rows(), RowOf(context.deviceSlots[slotIndex]),
                                   std::min<std::size_t>(position, before.size())),
                        "a row is added where asked, or at the end");
                } else {
                    FUZZ_CHECK(list.Rows().size() == before.size(), "no row for a bad request");
                }
                FUZZ_CHECK(context.devicesListed == listedBefore + (added ? 1 : 0),
                           "each added row is counted");
                break;
            }
        }
        for (const auto& row : list.Rows()) {
            FUZZ_CHECK(row.state == ListRowState{}, "rows carry no item data or state");
        }
    }
}

}  // namespace

void FuzzInput(ByteScript& script) {
    RunInput(script);
}

}  // namespace vindle
