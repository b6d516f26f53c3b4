#include "discovery/detail_probe.h"

#include <cstring>
#include <limits>

#include "discovery/device_table.h"

namespace vindle {

namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

}  // namespace

DetailProbe::DetailProbe(const DeviceSlot& slot, Ipv4Address address, int destination)
    : m_slot(slot), m_address(address), m_destination(destination) {}

bool DetailProbe::Start(Network& network, RequestState& requests, std::int64_t nowMicros) {
    m_socket = network.OpenUdpSocket();
    if (!m_socket ||
        !requests.SendRequestInSequence(*m_socket, m_address, requests.serialNumberRequest)) {
        m_failed = true;
        Finish();
        return false;
    }
    std::memcpy(m_serialSent, requests.serialNumberRequest, kRequestSize);
    std::memcpy(m_sent, m_serialSent, kRequestSize);
    m_exchangeEnd = nowMicros + kExchangeMicros;
    m_nextRepeat = nowMicros + kDetailRepeatMicros;
    m_repeatsLeft = kDetailRepeats;
    return true;
}

void DetailProbe::BeginExchange(RequestState& requests, std::uint8_t (&request)[kRequestSize],
                                std::int64_t nowMicros) {
    // As in the plain probe, this send's result is not looked at: a lost MAC answer only leaves
    // the field as it was.
    requests.SendRequestInSequence(*m_socket, m_address, request);
    std::memcpy(m_sent, request, kRequestSize);
    m_exchangeEnd = nowMicros + kExchangeMicros;
    m_nextRepeat = nowMicros + kDetailRepeatMicros;
    m_repeatsLeft = kDetailRepeats;
}

void DetailProbe::HandleReadable(RequestState& requests, std::int64_t nowMicros) {
    if (Finished()) {
        return;
    }
    std::uint8_t reply[kMacReplySize] = {};
    const std::size_t capacity = m_stage == Stage::Serial ? kSerialReplySize : kMacReplySize;
    Ipv4Address sender = 0;
    if (m_socket->ReceiveFrom(reply, capacity, sender) < 0) {
        if (m_stage == Stage::Serial) {
            m_failed = true;
        }
        Finish();
        return;
    }
    if (m_stage == Stage::Mac && HeadMatches(reply, m_serialSent)) {
        return;  // a second answer to a repeated serial number request
    }
    if (!HeadMatches(reply, m_sent)) {
        m_failed = true;
        Finish();
        return;
    }
    if (m_stage == Stage::Serial) {
        StoreSerialReply(m_slot, reply);
        m_stage = Stage::Mac;
        BeginExchange(requests, requests.macAddressRequest, nowMicros);
    } else {
        StoreMacReply(m_slot, reply);
        Finish();
    }
}

void DetailProbe::HandleTime(std::int64_t nowMicros) {
    if (Finished()) {
        return;
    }
    if (nowMicros >= m_exchangeEnd) {
        m_serialUnanswered = m_stage == Stage::Serial;
        Finish();
        return;
    }
    if (nowMicros >= m_nextRepeat && m_repeatsLeft > 0) {
        m_socket->SendTo(m_address, kDiscoveryPort, m_sent, kRequestSize);
        --m_repeatsLeft;
        m_nextRepeat += kDetailRepeatMicros;
    }
}

std::int64_t DetailProbe::NextDeadlineMicros() const {
    if (Finished()) {
        return kNever;
    }
    return m_repeatsLeft > 0 && m_nextRepeat < m_exchangeEnd ? m_nextRepeat : m_exchangeEnd;
}

bool DetailProbe::Complete() const {
    return Finished() && !m_failed && m_slot.ipText[0] != '\0' && HasModelAndSerial(m_slot);
}

void DetailProbe::Finish() {
    m_stage = Stage::Finished;
    m_socket.reset();
}

}  // namespace vindle
