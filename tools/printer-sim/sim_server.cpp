#include "tools/printer-sim/sim_server.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "platform/ipv4_text.h"
#include "platform/posix/packet_info_send.h"
#include "tools/printer-sim/sim_reply.h"
#include "tools/printer-sim/sim_safety.h"

namespace vindle::sim {

namespace {

using Clock = std::chrono::steady_clock;

// Bounds the replies waiting for their delay, so a flood of requests cannot exhaust memory.
constexpr std::size_t kMaxPendingReplies = 10'000;
// Larger than any UDP datagram, so every request is seen whole.
constexpr std::size_t kReceiveBufferSize = 65'536;

volatile std::sig_atomic_t g_stopRequested = 0;

void RequestStop(int) {
    g_stopRequested = 1;
}

// Seconds on CLOCK_MONOTONIC, which every process on the host shares: a test can set the end of
// a flood burst against its own clock.
double MonotonicSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

timespec ToTimespec(Clock::duration wait) {
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::max(Clock::duration::zero(), wait));
    timespec result{};
    result.tv_sec = static_cast<time_t>(nanoseconds.count() / 1'000'000'000);
    result.tv_nsec = static_cast<long>(nanoseconds.count() % 1'000'000'000);
    return result;
}

struct PendingReply {
    Clock::time_point due;
    Ipv4Address source;
    sockaddr_in destination;
    std::vector<std::uint8_t> bytes;
};

bool IsLoopback(Ipv4Address address) {
    return (address >> 24) == 127;
}

std::set<Ipv4Address> ReadLocalAddresses() {
    std::set<Ipv4Address> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return addresses;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
            addresses.insert(
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr));
        }
    }
    ::freeifaddrs(list);
    return addresses;
}

class Server {
  public:
    Server(const std::vector<SimPrinter>& printers, const ServerOptions& options)
        : m_printers(printers),
          m_options(options),
          m_buffer(kReceiveBufferSize),
          m_floodRandom(options.flood.seed) {}

    ~Server() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    int Run() {
        if (!OpenSocket()) {
            return 1;
        }
        WarnAboutMissingAddresses();
        std::fprintf(stderr, "qarv-printer-sim: %zu printer(s) on UDP %s:%u\n", m_printers.size(),
                     FormatIpv4(m_options.bindAddress).c_str(), m_options.port);

        // The stop signals are blocked except inside ppoll, so none slips in between the check
        // of the flag and the wait.
        sigset_t stopSignals;
        sigset_t waitMask;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
        sigdelset(&waitMask, SIGINT);
        sigdelset(&waitMask, SIGTERM);
        struct sigaction action {};
        action.sa_handler = RequestStop;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);

        while (g_stopRequested == 0) {
            SendDueReplies();
            SendDueFlood();
            timespec timeout{};
            timespec* timeoutPointer = nullptr;
            std::optional<Clock::time_point> wake;
            if (!m_pending.empty()) {
                wake = m_pending.front().due;
            }
            if (m_flood) {
                wake = wake ? std::min(*wake, m_flood->NextDue()) : m_flood->NextDue();
            }
            if (wake) {
                timeout = ToTimespec(*wake - Clock::now());
                timeoutPointer = &timeout;
            }
            pollfd socketPoll{m_fd, POLLIN, 0};
            const int ready = ::ppoll(&socketPoll, 1, timeoutPointer, &waitMask);
            if (ready < 0 && errno != EINTR) {
                std::fprintf(stderr, "qarv-printer-sim: poll: %s\n", std::strerror(errno));
                return 1;
            }
            if (ready > 0) {
                HandleDatagram();
            }
        }
        if (m_options.verbose) {
            std::fprintf(stderr, "qarv-printer-sim: stopped\n");
        }
        return 0;
    }

  private:
    bool OpenSocket() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
        if (m_fd < 0) {
            std::fprintf(stderr, "qarv-printer-sim: socket: %s\n", std::strerror(errno));
            return false;
        }
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::setsockopt(m_fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
            std::fprintf(stderr, "qarv-printer-sim: IP_PKTINFO: %s\n", std::strerror(errno));
            return false;
        }
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(m_options.port);
        local.sin_addr.s_addr = htonl(m_options.bindAddress);
        if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            std::fprintf(stderr, "qarv-printer-sim: bind %s:%u: %s\n",
                         FormatIpv4(m_options.bindAddress).c_str(), m_options.port,
                         std::strerror(errno));
            return false;
        }
        return true;
    }

    void WarnAboutMissingAddresses() {
        RefreshLocalAddresses();
        if (m_insideSandbox) {
            Log("qarv-printer-sim: inside the LAN sandbox: requesters in "
                "198.51.100.0/24, 203.0.113.0/24 and 198.18.0.0/15 are answered "
                "too\n");
        }
        for (const SimPrinter& printer : m_printers) {
            if (!IsLocal(printer.address)) {
                std::fprintf(stderr,
                             "qarv-printer-sim: warning: %s is not an address of this host; that "
                             "printer cannot answer (run inside scripts/lan-sandbox)\n",
                             FormatIpv4(printer.address).c_str());
            }
        }
    }

    bool IsLocal(Ipv4Address address) const {
        return IsLoopback(address) || m_localAddresses.count(address) != 0;
    }

    void RefreshLocalAddresses() {
        m_localAddresses = ReadLocalAddresses();
        m_insideSandbox = IsSandboxNetwork(std::getenv("VINDLE_LAN_SANDBOX"), m_localAddresses);
    }

    // Addresses may be added after start-up; look again before refusing a requester.
    bool MayAnswerRefreshed(Ipv4Address requester) {
        if (!MayAnswer(requester, m_localAddresses, m_insideSandbox)) {
            RefreshLocalAddresses();
        }
        return MayAnswer(requester, m_localAddresses, m_insideSandbox);
    }

    void HandleDatagram() {
        sockaddr_in from{};
        iovec part{m_buffer.data(), m_buffer.size()};
        alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t received = ::recvmsg(m_fd, &message, MSG_DONTWAIT);
        if (received < 0 || (message.msg_flags & MSG_TRUNC) != 0 || from.sin_family != AF_INET) {
            return;
        }

        std::optional<Ipv4Address> destination;
        char interfaceName[IF_NAMESIZE] = "?";
        for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr;
             entry = CMSG_NXTHDR(&message, entry)) {
            if (entry->cmsg_level == IPPROTO_IP && entry->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(entry), sizeof info);
                destination = ntohl(info.ipi_addr.s_addr);
                if (::if_indextoname(static_cast<unsigned int>(info.ipi_ifindex), interfaceName) ==
                    nullptr) {
                    std::strcpy(interfaceName, "?");
                }
            }
        }
        const Ipv4Address requester = ntohl(from.sin_addr.s_addr);
        const std::string origin =
            FormatIpv4(requester) + ":" + std::to_string(ntohs(from.sin_port));
        const auto request = ParseRequest(m_buffer.data(), static_cast<std::size_t>(received));
        if (!request || !destination) {
            Log("ignored %zd-byte datagram from %s: not a request\n", received, origin.c_str());
            return;
        }
        const std::string target = FormatIpv4(*destination);
        if (!MayAnswerRefreshed(requester)) {
            Log("ignored kind %d from %s on %s: %s\n", request->kind, origin.c_str(), interfaceName,
                m_insideSandbox ? "outside this host and the test ranges"
                                : "not an address of this host");
            return;
        }
        Log("kind %d seq %02x from %s to %s on %s\n", request->kind, request->head[1],
            origin.c_str(), target.c_str(), interfaceName);

        const Clock::time_point now = Clock::now();
        if (request->kind == 1 && m_options.flood.enabled && !m_floodStarted &&
            !m_printers.empty()) {
            StartFlood(from, request->head, now);
        }
        for (const SimPrinter& printer : m_printers) {
            if (!RequestReachesPrinter(printer, request->kind, *destination)) {
                continue;
            }
            std::vector<std::uint8_t> reply = BuildReply(printer, *request);
            if (reply.empty()) {
                Log("  %s stays silent\n", FormatIpv4(printer.address).c_str());
                continue;
            }
            const auto delay = std::chrono::milliseconds(
                request->kind == 1 ? printer.discoveryDelayMs : printer.detailDelayMs);
            const int copies = printer.TwiceFor(request->kind) ? 2 : 1;
            for (int copy = 0; copy < copies; ++copy) {
                Schedule(PendingReply{now + delay, printer.address, from, reply});
            }
        }
    }

    void Schedule(PendingReply reply) {
        if (m_pending.size() >= kMaxPendingReplies) {
            Log("  too many replies waiting; dropped one\n");
            return;
        }
        // Stable order: replies due at the same moment go out in the order they were made.
        const auto position = std::upper_bound(
            m_pending.begin(), m_pending.end(), reply.due,
            [](Clock::time_point due, const PendingReply& entry) { return due < entry.due; });
        m_pending.insert(position, std::move(reply));
    }

    void SendDueReplies() {
        const Clock::time_point now = Clock::now();
        while (!m_pending.empty() && m_pending.front().due <= now) {
            Send(m_pending.front());
            m_pending.erase(m_pending.begin());
        }
    }

    // One burst per run, at the first local requester of kind 1: the searching client's address
    // and its ephemeral port, which only its request tells.
    void StartFlood(const sockaddr_in& target, const std::array<std::uint8_t, kHeadSize>& head,
                    Clock::time_point now) {
        m_floodStarted = true;
        m_flood.emplace(m_options.flood, now);
        m_floodTarget = target;
        m_floodHead = head;
        std::fprintf(stderr,
                     "qarv-printer-sim: flood: %llu datagrams at %ld/s for at most %ld s to %s:%u "
                     "(seed %u)\n",
                     static_cast<unsigned long long>(m_options.flood.Total()), m_options.flood.rate,
                     m_options.flood.seconds, FormatIpv4(ntohl(target.sin_addr.s_addr)).c_str(),
                     ntohs(target.sin_port), m_options.flood.seed);
    }

    void SendDueFlood() {
        if (!m_flood) {
            return;
        }
        // About 5 ms worth at a time, so requests are still read and answered between batches.
        const std::uint64_t batchLimit =
            std::max<std::uint64_t>(1, static_cast<std::uint64_t>(m_options.flood.rate) / 200);
        const std::uint64_t due = m_flood->DueNow(Clock::now(), batchLimit);
        for (std::uint64_t i = 0; i < due; ++i) {
            const std::uint64_t index = m_flood->Sent() + i;
            const FloodKind kind = FloodKindOf(index);
            const std::vector<std::uint8_t> datagram =
                MakeFloodDatagram(kind, m_floodHead, m_floodRandom);
            const Ipv4Address source = m_printers[index % m_printers.size()].address;
            if (SendFrom(source, m_floodTarget, datagram)) {
                ++m_floodKindCounts[static_cast<std::size_t>(kind)];
            } else {
                ++m_floodFailures;
            }
        }
        m_flood->NoteSent(due);
        if (due > 0) {
            m_floodLastSend = MonotonicSeconds();
        }
        if (m_flood->IsOver(Clock::now())) {
            FinishFlood();
        }
    }

    void FinishFlood() {
        const double seconds =
            std::chrono::duration<double>(Clock::now() - m_flood->Start()).count();
        std::uint64_t sent = 0;
        for (std::uint64_t count : m_floodKindCounts) {
            sent += count;
        }
        std::fprintf(stderr,
                     "qarv-printer-sim: flood: %llu datagrams sent in %.3f s (garbage %llu, wrong "
                     "head %llu, oversize %llu, old sequence %llu; %llu failed sends); last at "
                     "monotonic %.6f s\n",
                     static_cast<unsigned long long>(sent), seconds,
                     static_cast<unsigned long long>(m_floodKindCounts[0]),
                     static_cast<unsigned long long>(m_floodKindCounts[1]),
                     static_cast<unsigned long long>(m_floodKindCounts[2]),
                     static_cast<unsigned long long>(m_floodKindCounts[3]),
                     static_cast<unsigned long long>(m_floodFailures), m_floodLastSend);
        m_flood.reset();
    }

    void Send(const PendingReply& reply) {
        const std::string source = FormatIpv4(reply.source);
        if (!SendFrom(reply.source, reply.destination, reply.bytes)) {
            Log("  %s: send failed: %s\n", source.c_str(), std::strerror(errno));
            return;
        }
        Log("  %s answered %zu bytes\n", source.c_str(), reply.bytes.size());
    }

    // Sends from the printer's own address, whatever address the request went to.
    bool SendFrom(Ipv4Address sourceAddress, const sockaddr_in& destination,
                  const std::vector<std::uint8_t>& bytes) {
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = htonl(sourceAddress);
        return SendWithPacketInfo(m_fd, destination, bytes.data(), bytes.size(), &info, 0) >= 0;
    }

    __attribute__((format(printf, 2, 3))) void Log(const char* format, ...) const {
        if (m_options.verbose) {
            va_list arguments;
            va_start(arguments, format);
            std::vfprintf(stderr, format, arguments);
            va_end(arguments);
        }
    }

    const std::vector<SimPrinter>& m_printers;
    const ServerOptions m_options;
    std::vector<std::uint8_t> m_buffer;
    std::vector<PendingReply> m_pending;
    std::set<Ipv4Address> m_localAddresses;
    bool m_insideSandbox = false;
    int m_fd = -1;

    bool m_floodStarted = false;
    std::optional<FloodPacer> m_flood;  // while the burst runs
    sockaddr_in m_floodTarget{};
    std::array<std::uint8_t, kHeadSize> m_floodHead{};
    std::mt19937 m_floodRandom;
    std::array<std::uint64_t, kFloodKinds> m_floodKindCounts{};
    std::uint64_t m_floodFailures = 0;
    double m_floodLastSend = 0;
};

}  // namespace

int RunServer(const std::vector<SimPrinter>& printers, const ServerOptions& options) {
    Server server(printers, options);
    return server.Run();
}

}  // namespace vindle::sim
