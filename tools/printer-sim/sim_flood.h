#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "tools/printer-sim/sim_reply.h"

namespace vindle::sim {

// What one datagram of a flood burst looks like to the searching client.
enum class FloodKind {
    kGarbage,      // random bytes of random length (1 to 64)
    kWrongHead,    // a reply-sized datagram whose kind byte or zero bytes are wrong
    kOversize,     // the current head, but longer than the 21-byte receive size
    kOldSequence,  // a kind-1 head with another sequence byte, as late replies carry
};
constexpr int kFloodKinds = 4;

constexpr long kDefaultFloodRate = 5000;
constexpr long kMaxFloodRate = 50'000;
constexpr long kDefaultFloodSeconds = 10;
constexpr long kMaxFloodSeconds = 60;
constexpr std::uint32_t kDefaultFloodSeed = 3001;
// Text after the head of wrong-head, oversize and old-sequence datagrams: a client that wrongly
// accepted one would list a model number starting with it.
constexpr char kFloodModelPrefix[] = "FLOOD-";

struct FloodOptions {
    bool enabled = false;
    long rate = kDefaultFloodRate;        // datagrams per second
    long seconds = kDefaultFloodSeconds;  // length of the burst
    std::uint32_t seed = kDefaultFloodSeed;

    std::uint64_t Total() const {
        return static_cast<std::uint64_t>(rate) * static_cast<std::uint64_t>(seconds);
    }
};

// Whether the searching client, whose last kind-1 request began with `head`, would accept
// `datagram` as a discovery reply: at most 21 bytes, and its first 4 bytes (zero-padded when
// shorter) equal to the head.
bool WouldBeAcceptedAsReply(const std::vector<std::uint8_t>& datagram,
                            const std::array<std::uint8_t, kHeadSize>& head);

// Datagram number `index` of a burst aimed at a client whose request began with `head`. The
// kinds take turns; none of them is ever acceptable as a reply to that head.
FloodKind FloodKindOf(std::uint64_t index);
std::vector<std::uint8_t> MakeFloodDatagram(FloodKind kind,
                                            const std::array<std::uint8_t, kHeadSize>& head,
                                            std::mt19937& random);

// Paces one burst: datagram i is due `i / rate` seconds after the start. The burst is over once
// all `Total()` datagrams went out or `seconds` have passed, whichever comes first, so a sender
// that falls behind sends fewer rather than catching up after the end.
class FloodPacer {
  public:
    using Clock = std::chrono::steady_clock;

    FloodPacer(const FloodOptions& options, Clock::time_point start);

    // How many may go out now, at most `batchLimit`, so that one late wake-up does not turn
    // into a burst within the burst. 0 once the burst is over.
    std::uint64_t DueNow(Clock::time_point now, std::uint64_t batchLimit) const;
    void NoteSent(std::uint64_t count) { m_sent += count; }
    bool IsOver(Clock::time_point now) const;
    // When the next datagram is due (meaningful while not over).
    Clock::time_point NextDue() const;

    std::uint64_t Sent() const { return m_sent; }
    Clock::time_point Start() const { return m_start; }

  private:
    FloodOptions m_options;
    Clock::time_point m_start;
    std::uint64_t m_sent = 0;
};

}  // namespace vindle::sim
