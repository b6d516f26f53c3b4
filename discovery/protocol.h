#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "discovery/search_context.h"
#include "platform/network.h"

namespace vindle {

// Every request goes to this UDP port of its destination.
constexpr std::uint16_t kDiscoveryPort = 3001;

constexpr std::size_t kRequestSize = 7;
// Receive buffer sizes, which are also the largest datagram accepted for each kind.
constexpr std::size_t kDiscoveryReplySize = 21;
constexpr std::size_t kSerialReplySize = 15;
constexpr std::size_t kMacReplySize = 21;
// Bytes 0 to 3 of a reply repeat those of its request.
constexpr std::size_t kReplyHeadSize = 4;

// The three requests and the pending-send counter. They outlive every search: the program owns
// one and hands it to each search, so sequence bytes go on from one search to the next. Only the
// running search's worker touches it.
struct RequestState {
    // Only byte 1, the sequence byte, ever changes.
    std::uint8_t discoveryRequest[kRequestSize] = {0x01, 0x00, 0x00, 0x00, 0x1B, 0x6E, 0x22};
    std::uint8_t serialNumberRequest[kRequestSize] = {0x02, 0x00, 0x00, 0x00, 0x1B, 0x6E, 0x21};
    std::uint8_t macAddressRequest[kRequestSize] = {0x03, 0x00, 0x00, 0x00, 0x1B, 0x6E, 0x23};
    // Sends that advanced a sequence byte and were not given back yet. While it stands at 256 or
    // more, no sequence byte advances.
    std::int32_t pendingSends = 0;

    // Before a send: advances byte 1 of `request` (modulo 256) unless 256 sends are pending.
    void AdvanceSequence(std::uint8_t (&request)[kRequestSize]);
    // After an accepted kind-1 or kind-2 send.
    void GiveBackPendingSend();
    // Advance, send to `address` port 3001, and give back after an accepted send unless the
    // request is of kind 3 (whose sends are never given back). Whether the send was accepted.
    bool SendRequestInSequence(UdpSocket& socket, Ipv4Address address,
                               std::uint8_t (&request)[kRequestSize]);
};

// True when bytes 0 to 3 of `reply` equal those of `request` as it stands now.
bool HeadMatches(const std::uint8_t* reply, const std::uint8_t (&request)[kRequestSize]);

using DiscoveryReply = std::array<std::uint8_t, kDiscoveryReplySize>;

// The fields each reply fills, copied byte for byte, each followed by a zero byte: the model
// number (bytes 4 to 20) and the sender's address text; the serial number (bytes 4 to 14); the
// MAC field (bytes 4 to 19).
void StoreDiscoveryReply(DeviceSlot& slot, const std::uint8_t* reply, Ipv4Address sender);
void StoreSerialReply(DeviceSlot& slot, const std::uint8_t* reply);
void StoreMacReply(DeviceSlot& slot, const std::uint8_t* reply);

// Checks a kind-1 reply's head; on a match stores its model number and the sender's address in
// slot [deviceCount] and raises deviceCount. When all slots are in use, the last slot is given
// back first (deviceCount and slotCursor lowered with it), so the reply lands in it.
bool AcceptDiscoveryReply(const DiscoveryReply& reply, Ipv4Address sender, SearchContext& context);

// Asks the device in slot [slotCursor] for its serial number, then its MAC address, on a
// socket of its own, waiting at most one second for each answer. 1: go on with the slot (even
// when an answer did not come); 0: the probe failed (no socket, a failed first send, or an
// answer with the wrong head, in which case the slot has been given back).
int ProbeDeviceDetails(SearchContext& context);

}  // namespace vindle
