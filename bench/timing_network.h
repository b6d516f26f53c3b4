#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/forwarding_socket.h"
#include "platform/network.h"

namespace vindle {

// Passes every call on to a real network and notes, per socket, when each request went out and
// when its answer became readable, so that a search's wall time can be split into the waits the
// protocol imposes and the time the utility spends itself.
class TimingNetwork : public ForwardingNetwork {
  public:
    using Clock = std::chrono::steady_clock;

    explicit TimingNetwork(Network& inner) : ForwardingNetwork(inner) {}

    std::unique_ptr<UdpSocket> OpenUdpSocket() override;
    // Waits on the inner sockets and notes the ready socket's answer, or the search socket's
    // quiet wait, as the sockets' own waits do.
    int WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                        std::size_t& readyIndex) override;

    struct Summary {
        // Round trips of the detail probes: from a request's send to its answer being readable.
        std::vector<Clock::duration> probeRoundTrips;
        int probeTimeouts = 0;                // probe waits that ended without an answer
        Clock::duration probeTimeoutTotal{};  // and the time they took
        int searchReplies = 0;                // datagrams read on the broadcast (search) socket
        Clock::time_point lastSearchReply{};  // when the last of them was read
        // The search socket's first and last request (its repeats, in the thorough search).
        Clock::time_point firstSearchSend{};
        Clock::time_point lastSearchSend{};
        Clock::duration lastQuietWait{};  // the search socket's final, unanswered wait
        // CPU time of the thread that waited on the search socket, from its start to the end of
        // that final wait: the search's own work, whatever the machine's load; and the part of
        // it spent in the kernel (system calls).
        Clock::duration searchThreadCpu{};
        Clock::duration searchThreadSystemCpu{};
        int socketsOpened = 0;
    };
    Summary Collect();

  private:
    friend class TimingSocket;

    std::mutex m_mutex;
    Summary m_summary;
};

// The least time a search could take on the network it met: the quiet period T after the last
// reply, every probe's round trip (and every probe wait that went unanswered), and one round trip
// for the broadcast itself, taken as the probes' median (same path, same responders). With
// `probesInParallel` (the thorough search) the probes overlap the search's own waits: the floor is
// then the time from the first request to its last repeat, one round trip and the quiet period.
struct ProtocolFloor {
    TimingNetwork::Clock::duration total{};
    TimingNetwork::Clock::duration roundTripSum{};
    TimingNetwork::Clock::duration medianRoundTrip{};
};
ProtocolFloor ComputeProtocolFloor(const TimingNetwork::Summary& summary,
                                   TimingNetwork::Clock::duration quietPeriod,
                                   bool probesInParallel = false);

}  // namespace vindle
