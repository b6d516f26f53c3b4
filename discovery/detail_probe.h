#pragma once

#include <cstdint>
#include <memory>

#include "discovery/protocol.h"
#include "discovery/search_context.h"
#include "platform/network.h"

namespace vindle {

// One printer's detail exchanges in the thorough search, run beside other printers' probes: its
// own socket, its serial number then MAC address exchange, and their repeats. Each exchange has
// one second from its first send; a request still unanswered after kDetailRepeatMicros is sent
// again, the same bytes, up to kDetailRepeats times. Only the first send of an exchange follows
// the sequence rule (advance, give back); repeats touch neither the sequence bytes nor the
// pending-send counter. Replies are compared with the bytes this probe sent. The outcomes are
// those of ProbeDeviceDetails: a wrong head or an oversize serial number answer ends the probe
// unlisted; a MAC exchange that gets no answer leaves the MAC field empty and the printer listed.
// A datagram that repeats the serial number answer already taken (same head) is skipped.
//
// The owner drives it on one thread: Start(), then HandleReadable() whenever Socket() can be
// read and HandleTime() at NextDeadlineMicros(), until Finished().
class DetailProbe {
  public:
    static constexpr std::int64_t kExchangeMicros = 1'000'000;
    static constexpr std::int64_t kDetailRepeatMicros = 250'000;
    static constexpr int kDetailRepeats = 3;

    // `slot` holds the printer's address and model number from its discovery reply;
    // `destination` is the index of the destination whose search found it.
    DetailProbe(const DeviceSlot& slot, Ipv4Address address, int destination);

    // Opens the probe's socket and sends the serial number request. False when no socket opens
    // or the send fails: the probe is then finished, unlisted.
    bool Start(Network& network, RequestState& requests, std::int64_t nowMicros);
    // Reads one datagram from the probe's socket and acts on it.
    void HandleReadable(RequestState& requests, std::int64_t nowMicros);
    // Sends a repeat or ends the exchange when its time has come.
    void HandleTime(std::int64_t nowMicros);
    // When HandleTime() has something to do next.
    std::int64_t NextDeadlineMicros() const;

    UdpSocket* Socket() const { return m_socket.get(); }
    bool Finished() const { return m_stage == Stage::Finished; }
    // After Finished(): whether the printer gets a row (it has an address, a model number and a
    // serial number).
    bool Complete() const;
    // After Finished(): the serial number request was never answered within its second.
    bool SerialUnanswered() const { return m_serialUnanswered; }
    const DeviceSlot& Slot() const { return m_slot; }
    Ipv4Address Address() const { return m_address; }
    int Destination() const { return m_destination; }

  private:
    enum class Stage { Serial, Mac, Finished };

    // Sends the exchange's first request (in sequence) and starts its second.
    void BeginExchange(RequestState& requests, std::uint8_t (&request)[kRequestSize],
                       std::int64_t nowMicros);
    void Finish();

    DeviceSlot m_slot;
    Ipv4Address m_address;
    int m_destination;
    std::unique_ptr<UdpSocket> m_socket;
    Stage m_stage = Stage::Serial;
    // The bytes of this exchange's request as sent, and of the serial number request.
    std::uint8_t m_sent[kRequestSize] = {};
    std::uint8_t m_serialSent[kRequestSize] = {};
    std::int64_t m_exchangeEnd = 0;
    std::int64_t m_nextRepeat = 0;
    int m_repeatsLeft = 0;
    bool m_serialUnanswered = false;
    bool m_failed = false;
};

}  // namespace vindle
