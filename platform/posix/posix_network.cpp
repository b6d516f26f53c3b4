#include "platform/posix/posix_network.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/posix/packet_info_send.h"
#include "platform/resolved_host_address.h"
#include "platform/wait_deadline.h"

namespace vindle {

// Shared by the network and every socket it opened. The eventfd is written once by Shutdown()
// and never read, so it stays readable and wakes every pending and later wait.
struct PosixNetworkState {
    int wakeFd = -1;
    std::atomic<bool> shutDown{false};
    // Sends hold it shared; Shutdown() takes it exclusively, so once Shutdown() returns no send
    // is in flight and none will start.
    std::shared_mutex sendGate;

    PosixNetworkState() : wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~PosixNetworkState() {
        if (wakeFd >= 0) {
            ::close(wakeFd);
        }
    }
    PosixNetworkState(const PosixNetworkState&) = delete;
    PosixNetworkState& operator=(const PosixNetworkState&) = delete;
};

// Where replies from each sender arrived: the interface and the local address they were sent to.
// Shared by every socket of one network and kept across Restart(), so that a probe on a new
// socket goes back out of the link the printer's answer came in on, even when no route leads
// there (a link without a gateway, or a printer outside every local subnet).
struct PosixReplyPaths {
    struct Path {
        unsigned int interfaceIndex = 0;
        Ipv4Address localAddress = 0;
    };

    std::mutex mutex;
    std::unordered_map<Ipv4Address, Path> bySender;
};

namespace {

constexpr int kReceiveBufferBytes = 1 << 20;
// Bounds the remembered paths, so that a flood of senders cannot exhaust memory.
constexpr std::size_t kMaxReplyPaths = 4096;

using Clock = std::chrono::steady_clock;

class PosixUdpSocket final : public UdpSocket {
  public:
    PosixUdpSocket(int fd, std::shared_ptr<PosixNetworkState> state,
                   std::shared_ptr<PosixReplyPaths> paths)
        : m_fd(fd), m_state(std::move(state)), m_paths(std::move(paths)) {}
    ~PosixUdpSocket() override { ::close(m_fd); }

    PosixUdpSocket(const PosixUdpSocket&) = delete;
    PosixUdpSocket& operator=(const PosixUdpSocket&) = delete;

    bool EnableBroadcast() override {
        int on = 1;
        return ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
    }

    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        std::shared_lock gate(m_state->sendGate);
        m_lastSend = SendReport{};
        if (m_state->shutDown.load()) {
            return false;
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(address);
        if (address == kLimitedBroadcast) {
            if (std::optional<std::vector<BroadcastInterface>> interfaces = BroadcastInterfaces();
                interfaces && !interfaces->empty()) {
                return SendOnEveryInterface(*interfaces, to, data, size);
            }
        } else if (const std::optional<PosixReplyPaths::Path> path = ReplyPathTo(address)) {
            if (SendOnce(to, data, size, &*path)) {
                return true;
            }
            // The interface may have gone; the routing table may still know a way.
            ForgetReplyPath(address);
        }
        return SendOnce(to, data, size, nullptr);
    }

    int WaitReadable(WaitTime limit) override {
        std::size_t ignored = 0;
        return WaitForAny({this}, limit, ignored);
    }

    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        // Learn the datagram's real length first, so a too-long one is dropped without touching
        // the caller's buffer. Never blocks: a receive with nothing queued fails.
        ssize_t length;
        do {
            length = ::recv(m_fd, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
        } while (length < 0 && errno == EINTR);
        if (length < 0) {
            return -1;
        }
        if (static_cast<std::size_t>(length) > capacity) {
            DiscardDatagram();
            return -1;
        }

        sockaddr_in from{};
        iovec part{buffer, capacity};
        alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        ssize_t received;
        do {
            received = ::recvmsg(m_fd, &message, MSG_DONTWAIT);
        } while (received < 0 && errno == EINTR);
        if (received < 0 || (message.msg_flags & MSG_TRUNC) != 0 || from.sin_family != AF_INET) {
            return -1;
        }
        sender = ntohl(from.sin_addr.s_addr);
        LearnReplyPath(message, sender);
        return static_cast<int>(received);
    }

    SendReport LastSendReport() const override { return m_lastSend; }

    // Polls the sockets together with the wake-up descriptor of each one's network state, so
    // that the shut-down of any of them ends the wait.
    static int WaitForAny(const std::vector<PosixUdpSocket*>& sockets, WaitTime limit,
                          std::size_t& readyIndex) {
        if (sockets.empty() || limit.seconds < 0 || limit.microseconds < 0) {
            return -1;
        }
        std::vector<pollfd> fds;
        std::vector<PosixNetworkState*> states;
        for (const PosixUdpSocket* socket : sockets) {
            fds.push_back({socket->m_fd, POLLIN, 0});
            if (std::find(states.begin(), states.end(), socket->m_state.get()) == states.end()) {
                states.push_back(socket->m_state.get());
            }
        }
        const auto anyShutDown = [&states] {
            return std::any_of(states.begin(), states.end(), [](const PosixNetworkState* state) {
                return state->shutDown.load();
            });
        };
        if (anyShutDown()) {
            return -1;
        }
        for (const PosixNetworkState* state : states) {
            fds.push_back({state->wakeFd, POLLIN, 0});
        }
        const Clock::time_point deadline = WaitDeadline(limit);

        for (;;) {
            const auto remaining =
                std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
            timespec timeout{};
            if (remaining.count() > 0) {
                timeout.tv_sec = static_cast<time_t>(remaining.count() / 1'000'000'000);
                timeout.tv_nsec = static_cast<long>(remaining.count() % 1'000'000'000);
            }
            const int ready = ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
            if (ready < 0) {
                if (errno == EINTR && !anyShutDown()) {
                    continue;  // a signal: wait on for the time that remains
                }
                return -1;
            }
            if (anyShutDown() ||
                std::any_of(fds.begin() + std::ssize(sockets), fds.end(),
                            [](const pollfd& wake) { return wake.revents != 0; })) {
                return -1;
            }
            for (std::size_t index = 0; index < sockets.size(); ++index) {
                if ((fds[index].revents & POLLNVAL) != 0) {
                    return -1;
                }
                // A pending socket error counts as readable, as select reports it; the receive
                // then fails.
                if (fds[index].revents != 0) {
                    readyIndex = index;
                    return 1;
                }
            }
            return 0;
        }
    }

  private:
    struct BroadcastInterface {
        unsigned int index = 0;
        std::string name;
    };

    // Every interface that is up, broadcast-capable, not loopback and has an IPv4 address, once
    // each; nothing when the interfaces cannot be listed.
    static std::optional<std::vector<BroadcastInterface>> BroadcastInterfaces() {
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) != 0) {
            return std::nullopt;
        }
        std::vector<BroadcastInterface> found;
        for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
            if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
                continue;
            }
            const unsigned int flags = entry->ifa_flags;
            if ((flags & IFF_UP) == 0 || (flags & IFF_BROADCAST) == 0 ||
                (flags & IFF_LOOPBACK) != 0) {
                continue;
            }
            // A labelled address ("eth0:1") belongs to the interface before the colon.
            std::string name = entry->ifa_name;
            name = name.substr(0, name.find(':'));
            const unsigned int index = ::if_nametoindex(name.c_str());
            if (index == 0) {
                continue;
            }
            const bool seen = std::any_of(found.begin(), found.end(), [index](const auto& known) {
                return known.index == index;
            });
            if (!seen) {
                found.push_back({index, std::move(name)});
            }
        }
        ::freeifaddrs(list);
        return found;
    }

    // The limited broadcast once out of each interface, with the destination left as it is.
    bool SendOnEveryInterface(const std::vector<BroadcastInterface>& interfaces,
                              const sockaddr_in& to, const std::uint8_t* data, std::size_t size) {
        SendReport report;
        report.interfacesTried = static_cast<int>(interfaces.size());
        for (const BroadcastInterface& interface : interfaces) {
            const PosixReplyPaths::Path path{interface.index, 0};
            if (SendOnce(to, data, size, &path)) {
                report.interfacesSent.push_back(interface.name);
            } else {
                report.interfacesFailed.push_back(interface.name);
                report.errorText = m_lastSend.errorText;
            }
        }
        if (!report.interfacesSent.empty()) {
            report.errorText.clear();
        }
        m_lastSend = std::move(report);
        return !m_lastSend.interfacesSent.empty();
    }

    // One datagram; out of `path`'s interface and from its address when a path is given, else
    // as the routing table says. Notes the system's error text of a failure.
    bool SendOnce(const sockaddr_in& to, const std::uint8_t* data, std::size_t size,
                  const PosixReplyPaths::Path* path) {
        in_pktinfo info{};
        if (path != nullptr) {
            info.ipi_ifindex = static_cast<int>(path->interfaceIndex);
            info.ipi_spec_dst.s_addr = htonl(path->localAddress);
        }
        ssize_t sent;
        int error = 0;
        do {
            sent = SendWithPacketInfo(m_fd, to, data, size, path != nullptr ? &info : nullptr,
                                      MSG_NOSIGNAL);
            error = errno;
        } while (sent < 0 && (error == EINTR || (BufferFull(error) && PauseUnlessShutDown())));
        if (sent < 0) {
            m_lastSend.errorText = std::strerror(error);
            return false;
        }
        m_lastSend.errorText.clear();
        return static_cast<std::size_t>(sent) == size;
    }

    static bool BufferFull(int error) {
        return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS;
    }

    // Waits a moment for a full buffer to drain; false when the network was shut down instead.
    bool PauseUnlessShutDown() {
        constexpr int kFullBufferPauseMillis = 1;
        pollfd wake{m_state->wakeFd, POLLIN, 0};
        while (::poll(&wake, 1, kFullBufferPauseMillis) < 0 && errno == EINTR) {
        }
        return !m_state->shutDown.load();
    }

    // Remembers the interface and local address a datagram from `sender` arrived on. Datagrams
    // that came over loopback teach nothing: the routing table already leads back to them.
    void LearnReplyPath(msghdr& message, Ipv4Address sender) {
        for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr;
             entry = CMSG_NXTHDR(&message, entry)) {
            if (entry->cmsg_level != IPPROTO_IP || entry->cmsg_type != IP_PKTINFO) {
                continue;
            }
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(entry), sizeof info);
            const PosixReplyPaths::Path path{static_cast<unsigned int>(info.ipi_ifindex),
                                             ntohl(info.ipi_spec_dst.s_addr)};
            std::lock_guard lock(m_paths->mutex);
            auto known = m_paths->bySender.find(sender);
            if (known != m_paths->bySender.end() &&
                known->second.interfaceIndex == path.interfaceIndex &&
                known->second.localAddress == path.localAddress) {
                return;
            }
            if (IsLoopbackInterface(path.interfaceIndex)) {
                if (known != m_paths->bySender.end()) {
                    m_paths->bySender.erase(known);
                }
                return;
            }
            if (known == m_paths->bySender.end() && m_paths->bySender.size() >= kMaxReplyPaths) {
                m_paths->bySender.clear();
            }
            m_paths->bySender[sender] = path;
            return;
        }
    }

    std::optional<PosixReplyPaths::Path> ReplyPathTo(Ipv4Address address) const {
        std::lock_guard lock(m_paths->mutex);
        const auto known = m_paths->bySender.find(address);
        if (known == m_paths->bySender.end()) {
            return std::nullopt;
        }
        return known->second;
    }

    void ForgetReplyPath(Ipv4Address address) {
        std::lock_guard lock(m_paths->mutex);
        m_paths->bySender.erase(address);
    }

    static bool IsLoopbackInterface(unsigned int index) {
        char name[IF_NAMESIZE] = {};
        if (::if_indextoname(index, name) == nullptr) {
            return false;
        }
        const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (probe < 0) {
            return false;
        }
        ifreq request{};
        std::memcpy(request.ifr_name, name, sizeof name);
        const bool loopback =
            ::ioctl(probe, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_LOOPBACK) != 0;
        ::close(probe);
        return loopback;
    }

    void DiscardDatagram() {
        std::uint8_t ignored;
        while (::recv(m_fd, &ignored, 0, MSG_DONTWAIT) < 0 && errno == EINTR) {
        }
    }

    int m_fd;
    std::shared_ptr<PosixNetworkState> m_state;
    std::shared_ptr<PosixReplyPaths> m_paths;
    SendReport m_lastSend;
};

Ipv4Address AddressOf(const sockaddr* address) {
    sockaddr_in ipv4{};
    std::memcpy(&ipv4, address, sizeof ipv4);
    return ntohl(ipv4.sin_addr.s_addr);
}

// Every IPv4 address of an interface that is up and not loopback, with its mask.
std::vector<Ipv4Subnet> InterfaceSubnets() {
    std::vector<Ipv4Subnet> subnets;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return subnets;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        const Ipv4Address mask =
            entry->ifa_netmask != nullptr && entry->ifa_netmask->sa_family == AF_INET
                ? AddressOf(entry->ifa_netmask)
                : kLimitedBroadcast;
        subnets.push_back({AddressOf(entry->ifa_addr), mask});
    }
    ::freeifaddrs(list);
    return subnets;
}

}  // namespace

PosixNetwork::PosixNetwork()
    : m_state(std::make_shared<PosixNetworkState>()),
      m_replyPaths(std::make_shared<PosixReplyPaths>()) {}

PosixNetwork::~PosixNetwork() = default;

std::shared_ptr<PosixNetworkState> PosixNetwork::State() {
    std::lock_guard lock(m_stateMutex);
    return m_state;
}

std::unique_ptr<UdpSocket> PosixNetwork::OpenUdpSocket() {
    const std::shared_ptr<PosixNetworkState> state = State();
    // Without the wake-up descriptor a shut-down could not end a wait, so no socket is offered.
    if (state->wakeFd < 0 || state->shutDown.load()) {
        return nullptr;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        return nullptr;
    }
    // Replies are never sent again, so the queue must hold a burst of stray datagrams without
    // dropping a printer's answer behind them. The kernel may cap the size; that is not an error.
    const int receiveBuffer = kReceiveBufferBytes;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    // Each datagram tells the interface it arrived on, so that probes can follow the reply.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    return std::make_unique<PosixUdpSocket>(fd, state, m_replyPaths);
}

void PosixNetwork::Shutdown() {
    const std::shared_ptr<PosixNetworkState> state = State();
    // Marked before the gate is taken, so that a send waiting for a full buffer gives up.
    const bool wasShutDown = state->shutDown.exchange(true);
    std::unique_lock gate(state->sendGate);
    if (wasShutDown) {
        return;
    }
    if (state->wakeFd >= 0) {
        const std::uint64_t one = 1;
        while (::write(state->wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
}

void PosixNetwork::Restart() {
    auto fresh = std::make_shared<PosixNetworkState>();
    std::lock_guard lock(m_stateMutex);
    m_state = std::move(fresh);
}

std::optional<Ipv4Address> PosixNetwork::LocalAddress() {
    if (const std::vector<Ipv4Subnet> subnets = InterfaceSubnets(); !subnets.empty()) {
        return subnets.front().address;
    }
    return ResolvedHostAddress();
}

int PosixNetwork::WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                                  std::size_t& readyIndex) {
    std::vector<PosixUdpSocket*> own;
    for (UdpSocket* socket : sockets) {
        auto* posix = dynamic_cast<PosixUdpSocket*>(socket);
        if (posix == nullptr) {
            return -1;
        }
        own.push_back(posix);
    }
    return PosixUdpSocket::WaitForAny(own, limit, readyIndex);
}

std::vector<Ipv4Subnet> PosixNetwork::LocalSubnets() {
    return InterfaceSubnets();
}

std::int64_t PosixNetwork::MonotonicMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

}  // namespace vindle
