// Feeds a run of datagrams of any length and content to the acceptance of discovery replies, as
// the search's receive step hands them over (read into a zero-filled 21-byte buffer; a longer
// datagram is a failed receive and never reaches it), with slots given back in between as failed
// probes and duplicates do. Checks which replies are taken, what lands in which slot, and that
// the table stays within its 20 slots.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "discovery/device_table.h"
#include "discovery/protocol.h"
#include "fuzz/byte_script.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/slot_checks.h"
#include "platform/ipv4_text.h"

namespace vindle {
namespace {

constexpr int kMaxSteps = 64;

Ipv4Address PickSender(ByteScript& script) {
    if (script.Below(2) == 0) {
        return 0xC6336400u | script.Byte();  // 198.51.100.x
    }
    return static_cast<Ipv4Address>(script.Word()) << 16 | script.Word();
}

// A datagram as the receive step reads it: 0 to 21 bytes in a zero-filled buffer. The head is
// the live request's, one with another sequence byte or another kind, or any bytes.
DiscoveryReply PickReply(ByteScript& script, const RequestState& requests) {
    DiscoveryReply reply{};
    const std::size_t length =
        script.Below(2) == 0 ? kDiscoveryReplySize : static_cast<std::size_t>(script.Below(22));
    const int headMode = script.Below(4);
    // Mode 1 changes one byte of the head; mode 3 takes any bytes.
    const std::size_t changed = headMode == 1 ? static_cast<std::size_t>(script.Below(4)) : 4;
    for (std::size_t i = 0; i < length; ++i) {
        if (i < kReplyHeadSize && headMode < 3) {
            reply[i] = requests.discoveryRequest[i];
            if (i == changed) {
                reply[i] = static_cast<std::uint8_t>(reply[i] + 1 + script.Below(255));
            }
        } else {
            reply[i] = script.Byte();
        }
    }
    return reply;
}

// Whether the reply was taken.
bool CheckAccept(ByteScript& script, SearchContext& context, RequestState& requests) {
    const DiscoveryReply reply = PickReply(script, requests);
    const Ipv4Address sender = PickSender(script);
    DeviceSlot before[kDeviceSlotCount];
    std::memcpy(before, context.deviceSlots, sizeof before);
    const int countBefore = context.deviceCount;
    const int cursorBefore = context.slotCursor;

    const bool accepted = AcceptDiscoveryReply(reply, sender, context);

    FUZZ_CHECK(accepted == HeadMatches(reply.data(), requests.discoveryRequest),
               "a reply is taken exactly when its head repeats the request's");
    if (!accepted) {
        FUZZ_CHECK(context.deviceCount == countBefore && context.slotCursor == cursorBefore &&
                       std::memcmp(before, context.deviceSlots, sizeof before) == 0,
                   "a reply not taken changes nothing");
        return false;
    }
    // A full table hands its last slot to the newcomer.
    const int index = countBefore < kDeviceSlotCount ? countBefore : kDeviceSlotCount - 1;
    FUZZ_CHECK(context.deviceCount == index + 1, "the reply takes the next slot");
    if (countBefore >= kDeviceSlotCount) {
        FUZZ_CHECK(context.slotCursor == index, "the cursor follows the last slot");
    } else {
        FUZZ_CHECK(context.slotCursor == cursorBefore, "the cursor stays");
    }
    const DeviceSlot& slot = context.deviceSlots[index];
    FUZZ_CHECK(SlotText(slot.ipText) == FormatIpv4(sender), "the sender's address is stored");
    char model[18] = {};
    std::memcpy(model, reply.data() + kReplyHeadSize, 17);
    FUZZ_CHECK(std::memcmp(slot.modelNumber, model, sizeof model) == 0,
               "the model number is bytes 4 to 20, terminated");
    FUZZ_CHECK(IsAllZero(slot.serialNumber) && IsAllZero(slot.macField),
               "a new slot has no serial number or MAC address yet");
    for (int i = 0; i < kDeviceSlotCount; ++i) {
        if (i != index) {
            FUZZ_CHECK(std::memcmp(&before[i], &context.deviceSlots[i], sizeof(DeviceSlot)) == 0,
                       "other slots untouched");
        }
    }
    return true;
}

void RunInput(ByteScript& script) {
    RequestState requests;
    requests.discoveryRequest[1] = script.Byte();
    SearchContext context;
    context.requests = &requests;

    const int steps = script.Below(kMaxSteps + 1);
    for (int step = 0; step < steps && !script.AtEnd(); ++step) {
        if (script.Below(8) == 0) {
            // A specified search sends the request again, with a new sequence byte, to its next
            // destination; the slots stay.
            requests.AdvanceSequence(requests.discoveryRequest);
            requests.GiveBackPendingSend();
        } else if (CheckAccept(script, context, requests)) {
            // What the probe and the duplicate check may do with the slot just taken.
            switch (script.Below(4)) {
                case 0:
                    GiveBackSlot(context, context.slotCursor);
                    break;
                case 1: {
                    // A failed serial receive leaves the slot in use without address and model.
                    DeviceSlot& slot = context.deviceSlots[context.slotCursor];
                    std::memset(slot.ipText, 0, sizeof slot.ipText);
                    std::memset(slot.modelNumber, 0, sizeof slot.modelNumber);
                    break;
                }
                default:
                    break;
            }
        }
        // After each reply the search moves its cursor past the slots in use.
        context.slotCursor = context.deviceCount;
        CheckTable(&context);
    }
}

}  // namespace

void FuzzInput(ByteScript& script) {
    RunInput(script);
}

}  // namespace vindle
