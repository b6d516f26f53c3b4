#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/network.h"
#include "tests/net/sandbox_check.h"

namespace vindle::flood_test {

constexpr int kSkipStatus = 77;

// The printer simulator as a child process, its standard error going to a file.
class SimulatorProcess {
  public:
    SimulatorProcess(const std::vector<std::string>& arguments,
                     const std::filesystem::path& logPath);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // Asks `printer` for its serial number until it answers (kind 2 starts no flood burst).
    bool WaitUntilAnswering(Ipv4Address printer) const;
    // SIGTERM and wait; true when it exited with status 0.
    bool Stop();

  private:
    pid_t m_pid = -1;
};

// The simulator's summary of a finished burst.
struct FloodReport {
    unsigned long long sent = 0;
    double seconds = 0;
    unsigned long long garbage = 0;
    unsigned long long wrongHead = 0;
    unsigned long long oversize = 0;
    unsigned long long oldSequence = 0;
    unsigned long long failed = 0;
    double lastMonotonic = 0;  // CLOCK_MONOTONIC seconds of the last datagram
};
std::optional<FloodReport> ReadFloodReport(const std::filesystem::path& logPath);

// CLOCK_MONOTONIC in seconds, the clock the simulator reports in.
double MonotonicSeconds();

// UDP datagrams this network namespace dropped because a receive buffer was full.
long long UdpReceiveBufferDrops();

// A value in KiB from /proc/self/status ("VmRSS", "VmHWM"); -1 when missing.
long long ProcessStatusKib(const char* key);
// Makes the peak resident size start again from the current one; false where unsupported.
bool ResetPeakResidentSize();

}  // namespace vindle::flood_test
