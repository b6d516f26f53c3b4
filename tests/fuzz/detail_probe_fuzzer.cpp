// Runs the detail probe (serial number, then MAC address) of one device slot against a socket
// whose every result comes from the input: failed opens and sends, waits that time out or fail,
// and answers of any length with the right head, a wrong sequence byte or any head at all. Checks
// what the probe may change, what it sends and what it stores.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
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

constexpr std::size_t kMaxAnswer = 64;

struct SentRequest {
    Ipv4Address destination = 0;
    std::uint16_t port = 0;
    std::vector<std::uint8_t> bytes;
    bool accepted = false;
};

struct Answer {
    std::vector<std::uint8_t> bytes;  // longer than the buffer: a failed receive
    std::size_t capacity = 0;
};

// A socket whose results the input decides; it records what the probe did with it.
class ScriptedSocket : public UdpSocket {
  public:
    ScriptedSocket(ByteScript& script, std::vector<SentRequest>& sent, std::vector<Answer>& answers,
                   std::vector<WaitTime>& waits)
        : m_script(script), m_sent(sent), m_answers(answers), m_waits(waits) {}

    bool EnableBroadcast() override { return true; }

    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        const bool accepted = m_script.Below(8) != 0;
        m_sent.push_back({address, port, std::vector<std::uint8_t>(data, data + size), accepted});
        return accepted;
    }

    int WaitReadable(WaitTime limit) override {
        m_waits.push_back(limit);
        const int choice = m_script.Below(6);
        return choice == 0 ? 0 : (choice == 1 ? -1 : 1);
    }

    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        const std::uint8_t* request = m_sent.back().bytes.data();
        std::vector<std::uint8_t> bytes(PickLength(capacity));
        const int headMode = m_script.Below(4);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (i < kReplyHeadSize && headMode != 0) {
                bytes[i] = request[i];
                if (i == 1 && headMode == 1) {
                    bytes[i] = static_cast<std::uint8_t>(bytes[i] + 1 + m_script.Below(255));
                }
            } else {
                bytes[i] = m_script.Byte();
            }
        }
        m_answers.push_back({bytes, capacity});
        sender = m_script.Below(2) == 0 ? m_sent.back().destination : 0xC0000201u;
        if (bytes.size() > capacity) {
            return -1;
        }
        std::copy(bytes.begin(), bytes.end(), buffer);
        return static_cast<int>(bytes.size());
    }

    SendReport LastSendReport() const override { return {}; }

  private:
    std::size_t PickLength(std::size_t capacity) {
        switch (m_script.Below(4)) {
            case 0:
                return capacity;
            case 1:
                return capacity + 1;
            case 2:
                return static_cast<std::size_t>(m_script.Below(static_cast<int>(capacity) + 1));
            default:
                return static_cast<std::size_t>(m_script.Below(kMaxAnswer + 1));
        }
    }

    ByteScript& m_script;
    std::vector<SentRequest>& m_sent;
    std::vector<Answer>& m_answers;
    std::vector<WaitTime>& m_waits;
};

// Hands out one scripted socket, or none when the input says the open fails.
class ScriptedNetwork : public Network {
  public:
    ScriptedNetwork(ByteScript& script, std::vector<SentRequest>& sent,
                    std::vector<Answer>& answers, std::vector<WaitTime>& waits)
        : m_script(script), m_sent(sent), m_answers(answers), m_waits(waits) {}

    std::unique_ptr<UdpSocket> OpenUdpSocket() override {
        ++opened;
        if (m_script.Below(16) == 0) {
            return nullptr;
        }
        return std::make_unique<ScriptedSocket>(m_script, m_sent, m_answers, m_waits);
    }
    void Shutdown() override {}
    void Restart() override {}
    std::optional<Ipv4Address> LocalAddress() override { return 0xC6336402u; }
    // The scripts are per socket: a wait on several sockets is not scripted and fails.
    int WaitAnyReadable(const std::vector<UdpSocket*>&, WaitTime, std::size_t&) override {
        return -1;
    }
    std::vector<Ipv4Subnet> LocalSubnets() override { return {{0xC6336402u, 0xFFFFFF00u}}; }
    std::int64_t MonotonicMicros() override { return 0; }

    int opened = 0;

  private:
    ByteScript& m_script;
    std::vector<SentRequest>& m_sent;
    std::vector<Answer>& m_answers;
    std::vector<WaitTime>& m_waits;
};

template <std::size_t N>
void FillText(char (&field)[N], ByteScript& script, std::size_t maxLength) {
    const std::size_t length =
        static_cast<std::size_t>(script.Below(static_cast<int>(maxLength) + 1));
    for (std::size_t i = 0; i < length; ++i) {
        field[i] = static_cast<char>(script.Byte());
    }
}

void FillSlot(DeviceSlot& slot, ByteScript& script) {
    const int addressKind = script.Below(4);
    if (addressKind == 0) {
        FillText(slot.ipText, script, sizeof slot.ipText - 1);  // any bytes, even none
    } else {
        const Ipv4Address address = static_cast<Ipv4Address>(script.Word()) << 16 | script.Word();
        std::snprintf(slot.ipText, sizeof slot.ipText, "%s", FormatIpv4(address).c_str());
    }
    FillText(slot.modelNumber, script, sizeof slot.modelNumber - 1);
}

// The field StoreField makes of `count` answer bytes from byte 4: those bytes (the answer's
// zero-filled buffer past its end), then a terminating zero.
std::vector<char> ExpectedField(const std::vector<std::uint8_t>& answer, std::size_t count) {
    std::vector<char> field(count + 1, '\0');
    for (std::size_t i = 0; i < count && kReplyHeadSize + i < answer.size(); ++i) {
        field[i] = static_cast<char>(answer[kReplyHeadSize + i]);
    }
    return field;
}

template <std::size_t N>
bool FieldEquals(const char (&field)[N], const std::vector<char>& expected) {
    return expected.size() == N && std::memcmp(field, expected.data(), N) == 0;
}

template <std::size_t N>
bool IsTerminated(const char (&field)[N]) {
    return std::memchr(field, '\0', N) != nullptr;
}

bool HeadEquals(const std::vector<std::uint8_t>& answer, const std::vector<std::uint8_t>& sent) {
    // A short answer leaves the rest of the zero-filled buffer in the comparison.
    for (std::size_t i = 0; i < kReplyHeadSize; ++i) {
        const std::uint8_t byte = i < answer.size() ? answer[i] : 0;
        if (byte != sent[i]) {
            return false;
        }
    }
    return true;
}

void RunInput(ByteScript& script) {
    RequestState requests;
    requests.serialNumberRequest[1] = script.Byte();
    requests.macAddressRequest[1] = script.Byte();
    // Often at or near the ceiling, where sequence bytes stop advancing.
    requests.pendingSends = script.Below(2) == 0 ? script.Below(300) : 254 + script.Below(4);
    const RequestState before = requests;

    SearchContext context;
    context.requests = &requests;
    context.deviceCount = 1 + script.Below(kDeviceSlotCount);
    for (int i = 0; i < context.deviceCount; ++i) {
        FillSlot(context.deviceSlots[i], script);
    }
    // The probe runs on the slot just accepted, or anywhere a broken caller might point it.
    context.slotCursor =
        script.Below(4) != 0 ? context.deviceCount - 1 : script.Below(kDeviceSlotCount + 5) - 2;

    std::vector<SentRequest> sent;
    std::vector<Answer> answers;
    std::vector<WaitTime> waits;
    ScriptedNetwork network(script, sent, answers, waits);
    const bool withNetwork = script.Below(32) != 0;
    context.network = withNetwork ? &network : nullptr;

    struct Table {
        DeviceSlot deviceSlots[kDeviceSlotCount];
        int deviceCount;
        int slotCursor;
    } start;
    std::memcpy(start.deviceSlots, context.deviceSlots, sizeof start.deviceSlots);
    start.deviceCount = context.deviceCount;
    start.slotCursor = context.slotCursor;
    const int cursor = context.slotCursor;
    const bool validCursor = cursor >= 0 && cursor < kDeviceSlotCount;
    const std::optional<Ipv4Address> address =
        validCursor ? ParseIpv4(SlotText(start.deviceSlots[cursor].ipText)) : std::nullopt;

    const int result = ProbeDeviceDetails(context);

    FUZZ_CHECK(result == 0 || result == 1, "the probe returns 0 or 1");
    if (!validCursor || !withNetwork) {
        FUZZ_CHECK(result == 0 && network.opened == 0, "no probe without a slot or a network");
    }
    FUZZ_CHECK(network.opened <= 1, "one socket per probe");
    FUZZ_CHECK(sent.size() <= 2 && waits.size() <= 2 && answers.size() <= 2,
               "at most two exchanges");
    if (!address) {
        FUZZ_CHECK(sent.empty(), "nothing sent for a slot without a strict address");
    }

    // Sends: kind 2, then kind 3, to the slot's address, port 3001, each as the request stands.
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const std::uint8_t(&request)[kRequestSize] =
            i == 0 ? requests.serialNumberRequest : requests.macAddressRequest;
        FUZZ_CHECK(address && sent[i].destination == *address && sent[i].port == kDiscoveryPort,
                   "detail requests go to the slot's address, port 3001");
        FUZZ_CHECK(sent[i].bytes == std::vector<std::uint8_t>(request, request + kRequestSize),
                   "kind 2 first, then kind 3, as the request stands");
    }
    for (const WaitTime& wait : waits) {
        FUZZ_CHECK(wait == (WaitTime{1, 0}), "each answer is awaited for one second");
    }
    for (std::size_t i = 0; i < answers.size(); ++i) {
        FUZZ_CHECK(answers[i].capacity == (i == 0 ? kSerialReplySize : kMacReplySize),
                   "answers are read into their reply sizes");
    }
    // A send advances its request's sequence byte, and counts as pending, while fewer than 256
    // sends are pending; an accepted kind-2 send is given back whether or not it advanced, a
    // kind-3 send never is.
    int pending = before.pendingSends;
    int steps[2] = {0, 0};
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (pending < 256) {
            ++steps[i];
            ++pending;
        }
        if (i == 0 && sent[i].accepted) {
            --pending;
        }
    }
    FUZZ_CHECK(static_cast<std::uint8_t>(requests.serialNumberRequest[1] -
                                         before.serialNumberRequest[1]) == steps[0] &&
                   static_cast<std::uint8_t>(requests.macAddressRequest[1] -
                                             before.macAddressRequest[1]) == steps[1],
               "sequence bytes advance only below 256 pending sends");
    FUZZ_CHECK(requests.pendingSends == pending, "pending sends counted");
    FUZZ_CHECK(sent.size() < 2 || sent[0].accepted, "no kind-3 request after a failed kind 2");

    // What the probe may change: only its own slot, and deviceCount when it gives the slot back.
    for (int i = 0; i < kDeviceSlotCount; ++i) {
        if (i != cursor) {
            FUZZ_CHECK(std::memcmp(&context.deviceSlots[i], &start.deviceSlots[i],
                                   sizeof(DeviceSlot)) == 0,
                       "other slots untouched");
        }
    }
    FUZZ_CHECK(context.slotCursor == start.slotCursor, "the cursor stays");
    if (!validCursor) {
        return;
    }
    const DeviceSlot& slot = context.deviceSlots[cursor];
    FUZZ_CHECK(IsTerminated(slot.ipText) && IsTerminated(slot.modelNumber) &&
                   IsTerminated(slot.serialNumber) && IsTerminated(slot.macField),
               "every field terminated within its width");
    const DeviceSlot& old = start.deviceSlots[cursor];
    const bool serialHeadOk = !answers.empty() && answers[0].bytes.size() <= kSerialReplySize &&
                              HeadEquals(answers[0].bytes, sent[0].bytes);
    const bool macHeadOk = answers.size() == 2 && answers[1].bytes.size() <= kMacReplySize &&
                           HeadEquals(answers[1].bytes, sent[1].bytes);
    const bool gaveBack = context.deviceCount == start.deviceCount - 1;
    if (gaveBack) {
        FUZZ_CHECK(result == 0 && IsAllZero(slot), "a slot given back is cleared");
        FUZZ_CHECK(
            (!answers.empty() && answers[0].bytes.size() <= kSerialReplySize && !serialHeadOk) ||
                (answers.size() == 2 && answers[1].bytes.size() <= kMacReplySize && !macHeadOk),
            "a slot is given back only for an answer with the wrong head");
        return;
    }
    FUZZ_CHECK(context.deviceCount == start.deviceCount, "deviceCount unchanged");
    FUZZ_CHECK(
        serialHeadOk
            ? FieldEquals(slot.serialNumber, ExpectedField(answers[0].bytes, kSerialReplySize - 4))
            : std::memcmp(slot.serialNumber, old.serialNumber, sizeof slot.serialNumber) == 0,
        "the serial number is bytes 4 to 14 of an answer with the right head");
    FUZZ_CHECK(macHeadOk ? FieldEquals(slot.macField, ExpectedField(answers[1].bytes, 16))
                         : std::memcmp(slot.macField, old.macField, sizeof slot.macField) == 0,
               "the MAC field is bytes 4 to 19 of an answer with the right head");
    const bool blanked = slot.ipText[0] == '\0' && old.ipText[0] != '\0';
    if (blanked) {
        FUZZ_CHECK(answers.size() == 1 && answers[0].bytes.size() > kSerialReplySize &&
                       slot.modelNumber[0] == '\0',
                   "a failed serial receive blanks the address and the model");
    } else {
        FUZZ_CHECK(std::memcmp(slot.ipText, old.ipText, sizeof slot.ipText) == 0 &&
                       std::memcmp(slot.modelNumber, old.modelNumber, sizeof slot.modelNumber) == 0,
                   "the address and the model stay");
    }
}

}  // namespace

void FuzzInput(ByteScript& script) {
    RunInput(script);
}

}  // namespace vindle
