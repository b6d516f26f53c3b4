#include "bench/timing_network.h"

#include <sys/resource.h>

#include <algorithm>

namespace vindle {

namespace {

TimingNetwork::Clock::duration Duration(const timeval& time) {
    return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
}

// This thread's CPU time so far: in user space and in the kernel.
void NoteThreadCpuTime(TimingNetwork::Summary& summary) {
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) == 0) {
        summary.searchThreadSystemCpu = Duration(usage.ru_stime);
        summary.searchThreadCpu = Duration(usage.ru_utime) + summary.searchThreadSystemCpu;
    }
}

}  // namespace

class TimingSocket : public UdpSocket {
  public:
    TimingSocket(TimingNetwork& network, std::unique_ptr<UdpSocket> inner)
        : m_network(network), m_inner(std::move(inner)) {}

    bool EnableBroadcast() override {
        m_isSearchSocket = true;
        return m_inner->EnableBroadcast();
    }

    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        m_lastSend = TimingNetwork::Clock::now();
        m_awaitingAnswer = true;
        if (m_isSearchSocket) {
            std::lock_guard lock(m_network.m_mutex);
            TimingNetwork::Summary& summary = m_network.m_summary;
            if (summary.firstSearchSend == TimingNetwork::Clock::time_point{}) {
                summary.firstSearchSend = m_lastSend;
            }
            summary.lastSearchSend = m_lastSend;
        }
        return m_inner->SendTo(address, port, data, size);
    }

    int WaitReadable(WaitTime limit) override {
        const auto start = TimingNetwork::Clock::now();
        const int result = m_inner->WaitReadable(limit);
        NoteWait(result, start, TimingNetwork::Clock::now());
        return result;
    }

    UdpSocket& Inner() { return *m_inner; }
    bool IsSearchSocket() const { return m_isSearchSocket; }

    // A wait of this socket from `start` to `end` ended with `result`.
    void NoteWait(int result, TimingNetwork::Clock::time_point start,
                  TimingNetwork::Clock::time_point end) {
        std::lock_guard lock(m_network.m_mutex);
        TimingNetwork::Summary& summary = m_network.m_summary;
        if (m_isSearchSocket) {
            if (result <= 0) {
                summary.lastQuietWait = end - start;
                NoteThreadCpuTime(summary);
            }
        } else if (m_awaitingAnswer) {
            if (result > 0) {
                summary.probeRoundTrips.push_back(end - m_lastSend);
            } else {
                ++summary.probeTimeouts;
                summary.probeTimeoutTotal += end - start;
            }
            m_awaitingAnswer = false;
        }
    }

    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        const int result = m_inner->ReceiveFrom(buffer, capacity, sender);
        if (m_isSearchSocket && result >= 0) {
            std::lock_guard lock(m_network.m_mutex);
            ++m_network.m_summary.searchReplies;
            m_network.m_summary.lastSearchReply = TimingNetwork::Clock::now();
        }
        return result;
    }

    SendReport LastSendReport() const override { return m_inner->LastSendReport(); }

  private:
    TimingNetwork& m_network;
    std::unique_ptr<UdpSocket> m_inner;
    bool m_isSearchSocket = false;
    bool m_awaitingAnswer = false;
    TimingNetwork::Clock::time_point m_lastSend{};
};

std::unique_ptr<UdpSocket> TimingNetwork::OpenUdpSocket() {
    std::unique_ptr<UdpSocket> inner = Inner().OpenUdpSocket();
    if (!inner) {
        return nullptr;
    }
    {
        std::lock_guard lock(m_mutex);
        ++m_summary.socketsOpened;
    }
    return std::make_unique<TimingSocket>(*this, std::move(inner));
}

int TimingNetwork::WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                                   std::size_t& readyIndex) {
    std::vector<TimingSocket*> timed;
    std::vector<UdpSocket*> inner;
    for (UdpSocket* socket : sockets) {
        timed.push_back(static_cast<TimingSocket*>(socket));
        inner.push_back(&timed.back()->Inner());
    }
    const auto start = Clock::now();
    const int result = Inner().WaitAnyReadable(inner, limit, readyIndex);
    const auto end = Clock::now();
    if (result > 0) {
        timed[readyIndex]->NoteWait(result, start, end);
    } else if (result == 0) {
        for (TimingSocket* socket : timed) {
            if (socket->IsSearchSocket()) {
                socket->NoteWait(result, start, end);
            }
        }
    }
    return result;
}

TimingNetwork::Summary TimingNetwork::Collect() {
    std::lock_guard lock(m_mutex);
    return m_summary;
}

ProtocolFloor ComputeProtocolFloor(const TimingNetwork::Summary& summary,
                                   TimingNetwork::Clock::duration quietPeriod,
                                   bool probesInParallel) {
    ProtocolFloor floor;
    std::vector<TimingNetwork::Clock::duration> trips = summary.probeRoundTrips;
    for (const TimingNetwork::Clock::duration trip : trips) {
        floor.roundTripSum += trip;
    }
    if (!trips.empty()) {
        std::nth_element(trips.begin(), trips.begin() + trips.size() / 2, trips.end());
        floor.medianRoundTrip = trips[trips.size() / 2];
    }
    if (probesInParallel) {
        floor.total =
            summary.lastSearchSend - summary.firstSearchSend + floor.medianRoundTrip + quietPeriod;
        return floor;
    }
    floor.total =
        quietPeriod + floor.roundTripSum + summary.probeTimeoutTotal + floor.medianRoundTrip;
    return floor;
}

}  // namespace vindle
