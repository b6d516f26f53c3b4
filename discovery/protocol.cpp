#include "discovery/protocol.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "discovery/device_table.h"
#include "platform/ipv4_text.h"

namespace vindle {

std::uint8_t g_discoveryRequest[kRequestSize] = {0x01, 0x00, 0x00, 0x00, 0x1B, 0x6E, 0x22};
std::uint8_t g_serialNumberRequest[kRequestSize] = {0x02, 0x00, 0x00, 0x00, 0x1B, 0x6E, 0x21};
std::uint8_t g_macAddressRequest[kRequestSize] = {0x03, 0x00, 0x00, 0x00, 0x1B, 0x6E, 0x23};
std::int32_t g_pendingSends = 0;

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

void AdvanceSequence(std::uint8_t (&request)[kRequestSize]) {
    if (g_pendingSends < kPendingSendCeiling) {
        request[1] = static_cast<std::uint8_t>(request[1] + 1);
        ++g_pendingSends;
    }
}

void GiveBackPendingSend() {
    --g_pendingSends;
}

bool SendRequestInSequence(UdpSocket& socket, Ipv4Address address,
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

bool AcceptDiscoveryReply(const DiscoveryReply& reply, Ipv4Address sender, SearchContext& context) {
    if (!HeadMatches(reply.data(), g_discoveryRequest)) {
        return false;
    }
    // A full table gives its last slot to the newcomer, so every answering device is still
    // probed and listed (rows outlive their slots).
    if (g_deviceCount >= kDeviceSlotCount) {
        GiveBackSlot(context, kDeviceSlotCount - 1);
        g_deviceCount = kDeviceSlotCount - 1;
        g_slotCursor = g_deviceCount;
    }
    if (g_deviceCount < 0) {
        return false;
    }
    DeviceSlot& slot = context.slots[g_deviceCount];
    StoreField(slot.modelNumber, reply.data() + kReplyHeadSize,
               kDiscoveryReplySize - kReplyHeadSize);
    StoreText(slot.ipText, FormatIpv4(sender));
    ++g_deviceCount;
    return true;
}

int ProbeDeviceDetails(SearchContext& context) {
    if (context.network == nullptr || g_slotCursor < 0 || g_slotCursor >= kDeviceSlotCount) {
        return 0;
    }
    DeviceSlot& slot = context.slots[g_slotCursor];
    const std::unique_ptr<UdpSocket> socket = context.network->OpenUdpSocket();
    if (!socket) {
        return 0;
    }
    const std::optional<Ipv4Address> address = ParseIpv4(SlotText(slot.ipText));
    if (!address) {
        return 0;
    }

    if (!SendRequestInSequence(*socket, *address, g_serialNumberRequest)) {
        return 0;
    }
    if (socket->WaitReadable(kProbeWait) <= 0) {
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
    if (!HeadMatches(serialReply, g_serialNumberRequest)) {
        GiveBackSlot(context, g_slotCursor);
        return 0;
    }
    StoreField(slot.serialNumber, serialReply + kReplyHeadSize, kSerialReplySize - kReplyHeadSize);

    // This send's result is not looked at: a lost MAC answer only leaves the field as it was.
    SendRequestInSequence(*socket, *address, g_macAddressRequest);
    if (socket->WaitReadable(kProbeWait) <= 0) {
        return 1;
    }
    std::uint8_t macReply[kMacReplySize] = {};
    if (socket->ReceiveFrom(macReply, sizeof macReply, sender) < 0) {
        return 1;
    }
    if (!HeadMatches(macReply, g_macAddressRequest)) {
        GiveBackSlot(context, g_slotCursor);
        return 0;
    }
    // Bytes 4 to 19: the MAC address and the further bytes; byte 20 is not used.
    StoreField(slot.macField, macReply + kReplyHeadSize, sizeof slot.macField - 1);
    return 1;
}

void ResetDiscoveryStateForTesting() {
    g_discoveryRequest[1] = 0;
    g_serialNumberRequest[1] = 0;
    g_macAddressRequest[1] = 0;
    g_pendingSends = 0;
    g_deviceCount = 0;
    g_slotCursor = 0;
}

}  // namespace vindle
