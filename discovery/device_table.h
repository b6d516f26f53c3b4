#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "discovery/search_context.h"

namespace vindle {

// The text of a zero-terminated slot field: its bytes up to the first zero (or the whole field).
template <std::size_t N>
std::string SlotText(const char (&field)[N]) {
    const void* end = std::memchr(field, '\0', N);
    const std::size_t length = end ? static_cast<const char*>(end) - field : N;
    return std::string(field, length);
}

// Clears every byte of slot `index` and lowers deviceCount by one; the next accepted reply
// is stored in the freed slot.
void GiveBackSlot(SearchContext& context, int index);

// Everything after a kind-1 reply was accepted into slot [slotCursor]: probe the device, drop
// it if its address is already listed, and insert its row if it is complete. The placement
// follows [BroadCast] Status, read from the settings file for every reply. `inBlock` and
// `blockFirstRow` describe a specified search's subnet destination (false and 0 otherwise).
void ProcessAcceptedReply(SearchContext& context, bool inBlock, int blockFirstRow);

// Gives slot [slotCursor] back when some row's column 0 equals its address exactly.
bool DropIfAlreadyListed(SearchContext& context);

bool HasModelAndSerial(const DeviceSlot& slot);

// Inserts slot [slotCursor] before the first row with a numerically greater address.
void InsertDeviceByAddress(SearchContext& context);

// Inserts slot [slotCursor] at the end, or, inside a block, before the first row from
// `blockFirstRow` on whose address is greater (rows above the block are never compared).
void InsertDeviceInBlock(SearchContext& context, bool inBlock, int blockFirstRow);

// Inserts one row for slot `slotIndex` at `position` and fills its four columns.
void AddDeviceRow(SearchContext& context, int slotIndex, int position);
// The same for a slot held elsewhere (a detail probe's).
void AddDeviceRow(SearchContext& context, const DeviceSlot& slot, int position);

// The first row from `firstRow` up to (not including) `endRow` whose address is numerically
// greater than `address`; `endRow` when there is none.
int RowAfterAddress(ListView& list, std::string_view address, int firstRow, int endRow);

// The first four "."-separated pieces of `text` (runs of dots count as one), each read like
// atoi: leading blanks, an optional sign, then decimal digits; no digits or no piece gives 0.
std::array<int, 4> ParseOctets(std::string_view text);

// Numeric address order: negative, zero or positive as `a` is below, equal to or above `b`.
int CompareAddressTexts(std::string_view a, std::string_view b);

// Six bytes as six two-digit lowercase hexadecimal pairs joined by ":".
std::string FormatMacAddress(const std::uint8_t* bytes);

}  // namespace vindle
