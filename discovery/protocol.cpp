#include "discovery/protocol.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "discovery/device_table.h"
#include "platform/ipv4_text.h"

namespace vindle {

namespace {

constexpr std::int32_t kPendingSendCeiling = 256;
constexpr WaitTime kProbeWait{1, 0};

// Copies `size` bytes of `from` into a zero-terminated field of N bytes (at most N - 1 bytes).
template <std::size_t N>
void StoreField(char (&field)[N], const std::uint8_t* from, std::size_t size) {
    static_assert(N > 0);
    const std::size_t count = size < N - 1 ? size : N - 1;
    std::memcpy(field, from, count);
    field[count] = '\0';
}

template <std::size_t N>
void StoreText(char (&field)[N], const std::string& text) {
    StoreField(field, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

template <std::size_t N>
void BlankField(char (&field)[N]) {
    std::memset(field, 0, N);
}

}  // namespace

void RequestState::AdvanceSequence(std::uint8_t (&request)[kRequestSize]) {
    if (pendingSends < kPendingSendCeiling) {
        request[1] = static_cast<std::uint8_t>(request[1] + 1);
        ++pendingSends;
    }
}

void RequestState::GiveBackPendingSend() {
    --pendingSends;
}

bool RequestState::SendRequestInSequence(UdpSocket& socket, Ipv4Address address,
                                         std::uint8_t (&request)[kRequestSize]) {
    AdvanceSequence(request);
    const bool sent = socket.SendTo(address, kDiscoveryPort, request, kRequestSize);
    // A kind-3 send is never given back, so each one leaves the counter one higher.
    if (sent && request[0] != 0x03) {
        GiveBackPendingSend();
    }
    return sent;
}

bool HeadMatches(const std::uint8_t* reply, const std::uint8_t (&request)[kRequestSize]) {
    return std::memcmp(reply, request, kReplyHeadSize) == 0;
}

void StoreDiscoveryReply(DeviceSlot& slot, const std::uint8_t* reply, Ipv4Address sender) {
    StoreField(slot.modelNumber, reply + kReplyHeadSize, kDiscoveryReplySize - kReplyHeadSize);
    StoreText(slot.ipText, FormatIpv4(sender));
}

void StoreSerialReply(DeviceSlot& slot, const std::uint8_t* reply) {
    StoreField(slot.serialNumber, reply + kReplyHeadSize, kSerialReplySize - kReplyHeadSize);
}

void StoreMacReply(DeviceSlot& slot, const std::uint8_t* reply) {
    // Bytes 4 to 19: the MAC address and the further bytes; byte 20 is not used.
    StoreField(slot.macField, reply + kReplyHeadSize, sizeof slot.macField - 1);
}

bool AcceptDiscoveryReply(const DiscoveryReply& reply, Ipv4Address sender, SearchContext& context) {
    if (!HeadMatches(reply.data(), context.requests->discoveryRequest)) {
        return false;
    }
    // A full table gives its last slot to the newcomer, so every answering device is still
    // probed and listed (rows outlive their slots).
    if (context.deviceCount >= kDeviceSlotCount) {
        GiveBackSlot(context, kDeviceSlotCount - 1);
        context.deviceCount = kDeviceSlotCount - 1;
        context.slotCursor = context.deviceCount;
    }
    if (context.deviceCount < 0) {
        return false;
    }
    StoreDiscoveryReply(context.deviceSlots[context.deviceCount], reply.data(), sender);
    ++context.deviceCount;
    return true;
}

int ProbeDeviceDetails(SearchContext& context) {
    if (context.network == nullptr || context.slotCursor < 0 ||
        context.slotCursor >= kDeviceSlotCount) {
        return 0;
    }
    RequestState& requests = *context.requests;
    DeviceSlot& slot = context.deviceSlots[context.slotCursor];
    const std::unique_ptr<UdpSocket> socket = context.network->OpenUdpSocket();
    if (!socket) {
        return 0;
    }
    const std::optional<Ipv4Address> address = ParseIpv4(SlotText(slot.ipText));
    if (!address) {
        return 0;
    }

    if (!requests.SendRequestInSequence(*socket, *address, requests.serialNumberRequest)) {
        return 0;
    }
    const int serialWait = socket->WaitReadable(kProbeWait);
    if (serialWait == 0) {
        context.silentPrinters.push_back(SlotText(slot.ipText));
    }
    if (serialWait <= 0) {
        return 1;
    }
    std::uint8_t serialReply[kSerialReplySize] = {};
    Ipv4Address sender = 0;
    if (socket->ReceiveFrom(serialReply, sizeof serialReply, sender) < 0) {
        // The slot stays in use, but without an address it is never listed.
        BlankField(slot.ipText);
        BlankField(slot.modelNumber);
        return 1;
    }
    if (!HeadMatches(serialReply, requests.serialNumberRequest)) {
        GiveBackSlot(context, context.slotCursor);
        return 0;
    }
    StoreSerialReply(slot, serialReply);

    // This send's result is not looked at: a lost MAC answer only leaves the field as it was.
    requests.SendRequestInSequence(*socket, *address, requests.macAddressRequest);
    if (socket->WaitReadable(kProbeWait) <= 0) {
        return 1;
    }
    std::uint8_t macReply[kMacReplySize] = {};
    if (socket->ReceiveFrom(macReply, sizeof macReply, sender) < 0) {
        return 1;
    }
    if (!HeadMatches(macReply, requests.macAddressRequest)) {
        GiveBackSlot(context, context.slotCursor);
        return 0;
    }
    StoreMacReply(slot, macReply);
    return 1;
}

}  // namespace vindle
