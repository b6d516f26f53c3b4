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
#include <cerrno>
#include <cstring>
#include <functional>

#include "platform/posix/packet_info_send.h"

namespace vindle {
namespace {

constexpr int kReceiveBufferBytes = 1 << 20;

Ipv4Address AddressOf(const sockaddr* address) {
    sockaddr_in ipv4{};
    std::memcpy(&ipv4, address, sizeof ipv4);
    return ntohl(ipv4.sin_addr.s_addr);
}

// Calls `visit` with every IPv4 address of an interface that is up and not loopback; false when
// the interfaces cannot be listed.
bool ForEachInterfaceAddress(const std::function<void(const ifaddrs&)>& visit) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return false;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET &&
            (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_LOOPBACK) == 0) {
            visit(*entry);
        }
    }
    ::freeifaddrs(list);
    return true;
}

class PosixSocket final : public SystemSocket {
  public:
    explicit PosixSocket(int fd) : m_fd(fd) {}
    ~PosixSocket() override { ::close(m_fd); }

    PosixSocket(const PosixSocket&) = delete;
    PosixSocket& operator=(const PosixSocket&) = delete;

    SystemHandle Handle() const override { return static_cast<SystemHandle>(m_fd); }

    bool EnableBroadcast() override {
        int on = 1;
        return ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
    }

    int SendOnce(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                 std::size_t size, const ReplyPath* path) override {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(address);
        in_pktinfo info{};
        if (path != nullptr) {
            info.ipi_ifindex = static_cast<int>(path->interfaceIndex);
            info.ipi_spec_dst.s_addr = htonl(path->localAddress);
        }
        ssize_t sent;
        do {
            sent = SendWithPacketInfo(m_fd, to, data, size, path != nullptr ? &info : nullptr,
                                      MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        if (sent < 0) {
            return errno;
        }
        return static_cast<std::size_t>(sent) == size ? 0 : EMSGSIZE;
    }

    int Receive(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender,
                std::optional<ReplyPath>& arrival) override {
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
            std::uint8_t ignored;
            while (::recv(m_fd, &ignored, 0, MSG_DONTWAIT) < 0 && errno == EINTR) {
            }
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
        for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr;
             entry = CMSG_NXTHDR(&message, entry)) {
            if (entry->cmsg_level == IPPROTO_IP && entry->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(entry), sizeof info);
                arrival = ReplyPath{static_cast<unsigned int>(info.ipi_ifindex),
                                    ntohl(info.ipi_spec_dst.s_addr)};
            }
        }
        return static_cast<int>(received);
    }

  private:
    int m_fd;
};

// An eventfd written once and never read, so it stays readable.
class EventWake final : public WakeSignal {
  public:
    explicit EventWake(int fd) : m_fd(fd) {}
    ~EventWake() override { ::close(m_fd); }

    EventWake(const EventWake&) = delete;
    EventWake& operator=(const EventWake&) = delete;

    SystemHandle Handle() const override { return static_cast<SystemHandle>(m_fd); }
    void Raise() override {
        const std::uint64_t one = 1;
        while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

  private:
    int m_fd;
};

class PosixSocketSystem final : public SocketSystem {
  public:
    std::unique_ptr<SystemSocket> OpenSocket() override {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
        if (fd < 0) {
            return nullptr;
        }
        // Replies are never sent again, so the queue must hold a burst of stray datagrams
        // without dropping a printer's answer behind them. The kernel may cap the size; that is
        // not an error.
        const int receiveBuffer = kReceiveBufferBytes;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        // Each datagram tells the interface it arrived on, so that probes can follow the reply.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        return std::make_unique<PosixSocket>(fd);
    }

    std::unique_ptr<WakeSignal> OpenWakeSignal() override {
        const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        return fd < 0 ? nullptr : std::make_unique<EventWake>(fd);
    }

    int Poll(const std::vector<SystemHandle>& handles, std::chrono::microseconds timeout,
             std::vector<bool>& readable) override {
        std::vector<pollfd> fds;
        for (const SystemHandle handle : handles) {
            fds.push_back({static_cast<int>(handle), POLLIN, 0});
        }
        const timespec limit{static_cast<time_t>(timeout.count() / 1'000'000),
                             static_cast<long>(timeout.count() % 1'000'000 * 1000)};
        readable.assign(handles.size(), false);
        if (::ppoll(fds.data(), fds.size(), &limit, nullptr) < 0) {
            return errno == EINTR ? 0 : -1;
        }
        // A pending socket error counts as readable, as select reports it; the receive then
        // fails.
        std::transform(fds.begin(), fds.end(), readable.begin(),
                       [](const pollfd& fd) { return fd.revents != 0; });
        const bool closed = std::any_of(
            fds.begin(), fds.end(), [](const pollfd& fd) { return (fd.revents & POLLNVAL) != 0; });
        return closed ? -1 : static_cast<int>(std::count(readable.begin(), readable.end(), true));
    }

    bool IsBufferFull(int error) override {
        return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS;
    }

    std::string ErrorText(int error) override { return std::strerror(error); }

    // Up and broadcast-capable too; a labelled address ("eth0:1") belongs to the interface
    // before the colon.
    std::optional<std::vector<BroadcastInterface>> BroadcastInterfaces() override {
        std::vector<BroadcastInterface> found;
        const bool listed = ForEachInterfaceAddress([&found](const ifaddrs& entry) {
            if ((entry.ifa_flags & IFF_BROADCAST) == 0) {
                return;
            }
            std::string name = entry.ifa_name;
            name = name.substr(0, name.find(':'));
            const unsigned int index = ::if_nametoindex(name.c_str());
            const bool seen = std::any_of(found.begin(), found.end(), [index](const auto& known) {
                return known.index == index;
            });
            if (index != 0 && !seen) {
                found.push_back({index, std::move(name)});
            }
        });
        return listed ? std::optional(std::move(found)) : std::nullopt;
    }

    std::vector<Ipv4Subnet> InterfaceSubnets() override {
        std::vector<Ipv4Subnet> subnets;
        ForEachInterfaceAddress([&subnets](const ifaddrs& entry) {
            const bool hasMask =
                entry.ifa_netmask != nullptr && entry.ifa_netmask->sa_family == AF_INET;
            subnets.push_back(
                {AddressOf(entry.ifa_addr), hasMask ? AddressOf(entry.ifa_netmask) : ~0u});
        });
        return subnets;
    }

    // Datagrams that came over loopback teach nothing: the routing table already leads back.
    bool TeachesNothing(const ReplyPath& arrival) override {
        char name[IF_NAMESIZE] = {};
        if (::if_indextoname(arrival.interfaceIndex, name) == nullptr) {
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
};

}  // namespace

PosixNetwork::PosixNetwork() : SystemNetworkCore(std::make_shared<PosixSocketSystem>()) {}

}  // namespace vindle
