#include "tools/printer-sim/sim_flood.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vindle::sim {

namespace {

constexpr std::size_t kDiscoveryReplySize = kHeadSize + kModelSize;  // 21
constexpr std::size_t kGarbageMaxSize = 64;
// Largest oversize datagram: fits an Ethernet frame, so nothing is fragmented.
constexpr std::size_t kOversizeMaxSize = 1400;

std::size_t RandomSize(std::mt19937& random, std::size_t low, std::size_t high) {
    return std::uniform_int_distribution<std::size_t>(low, high)(random);
}

std::uint8_t RandomByte(std::mt19937& random) {
    return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(random));
}

// "FLOOD-" and a decimal number, zero-padded to the model field.
void AppendFloodModel(std::vector<std::uint8_t>& datagram, std::mt19937& random) {
    char model[kModelSize + 1] = {};
    std::snprintf(model, sizeof model, "%s%u", kFloodModelPrefix,
                  static_cast<unsigned>(random() % 100'000'000u));
    datagram.insert(datagram.end(), model, model + kModelSize);
}

}  // namespace

bool WouldBeAcceptedAsReply(const std::vector<std::uint8_t>& datagram,
                            const std::array<std::uint8_t, kHeadSize>& head) {
    if (datagram.size() > kDiscoveryReplySize) {
        return false;
    }
    std::array<std::uint8_t, kHeadSize> padded{};
    std::copy_n(datagram.begin(), std::min(datagram.size(), kHeadSize), padded.begin());
    return padded == head;
}

FloodKind FloodKindOf(std::uint64_t index) {
    return static_cast<FloodKind>(index % kFloodKinds);
}

std::vector<std::uint8_t> MakeFloodDatagram(FloodKind kind,
                                            const std::array<std::uint8_t, kHeadSize>& head,
                                            std::mt19937& random) {
    std::vector<std::uint8_t> datagram;
    switch (kind) {
        case FloodKind::kGarbage: {
            datagram.resize(RandomSize(random, 1, kGarbageMaxSize));
            std::generate(datagram.begin(), datagram.end(), [&] { return RandomByte(random); });
            // Random bytes (or a short datagram padded with zeros) can spell the current head;
            // a non-zero byte 2 never does, since every head has zeros there.
            if (WouldBeAcceptedAsReply(datagram, head)) {
                datagram.resize(std::max<std::size_t>(datagram.size(), 3));
                datagram[2] = 0xA5;
            }
            break;
        }
        case FloodKind::kWrongHead: {
            datagram.assign(head.begin(), head.end());
            switch (random() % 3) {
                case 0:  // a kind-2 or kind-3 head where a kind-1 reply belongs
                    datagram[0] = static_cast<std::uint8_t>(head[0] == 2 ? 3 : 2);
                    break;
                case 1:
                    datagram[2] = static_cast<std::uint8_t>(1 + random() % 255);
                    break;
                default:
                    datagram[3] = static_cast<std::uint8_t>(1 + random() % 255);
                    break;
            }
            AppendFloodModel(datagram, random);
            break;
        }
        case FloodKind::kOversize: {
            datagram.assign(head.begin(), head.end());
            AppendFloodModel(datagram, random);
            datagram.resize(RandomSize(random, kDiscoveryReplySize + 1, kOversizeMaxSize), 0x5A);
            break;
        }
        case FloodKind::kOldSequence: {
            datagram.assign(head.begin(), head.end());
            datagram[1] = static_cast<std::uint8_t>(head[1] - 1 - random() % 255);
            AppendFloodModel(datagram, random);
            // Short ones too: a late reply may have been cut by its printer.
            datagram.resize(RandomSize(random, kHeadSize, kDiscoveryReplySize));
            break;
        }
    }
    return datagram;
}

FloodPacer::FloodPacer(const FloodOptions& options, Clock::time_point start)
    : m_options(options), m_start(start) {}

std::uint64_t FloodPacer::DueNow(Clock::time_point now, std::uint64_t batchLimit) const {
    if (IsOver(now) || now < m_start) {
        return 0;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_start);
    // Datagram i is due at i / rate seconds; those due by now number floor(elapsed * rate) + 1.
    const std::uint64_t due = std::min<std::uint64_t>(
        m_options.Total(), static_cast<std::uint64_t>(elapsed.count()) *
                                   static_cast<std::uint64_t>(m_options.rate) / 1'000'000'000u +
                               1);
    return due > m_sent ? std::min(due - m_sent, batchLimit) : 0;
}

bool FloodPacer::IsOver(Clock::time_point now) const {
    return m_sent >= m_options.Total() || now - m_start >= std::chrono::seconds(m_options.seconds);
}

FloodPacer::Clock::time_point FloodPacer::NextDue() const {
    return m_start + std::chrono::nanoseconds(m_sent * 1'000'000'000u /
                                              static_cast<std::uint64_t>(m_options.rate));
}

}  // namespace vindle::sim
