// The network contract against the POSIX network: on 127.0.0.1 ("Posix/"), and inside the
// linked sandbox ("PosixLan/").

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix/posix_network.h"
#include "tests/contract/network_contract.h"

namespace vindle::contract {
namespace {

// A plain socket bound to 127.0.0.1 that plays the far end.
class LoopbackPeer {
  public:
    LoopbackPeer() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(kLoopback);
        socklen_t length = sizeof local;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
            m_port = ntohs(local.sin_port);
        }
    }
    ~LoopbackPeer() { ::close(m_fd); }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    std::uint16_t Port() const { return m_port; }

    bool Hear(std::chrono::milliseconds limit) {
        timeval timeout{static_cast<time_t>(limit.count() / 1000),
                        static_cast<suseconds_t>(limit.count() % 1000 * 1000)};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        std::uint8_t scratch[2048];
        socklen_t length = sizeof m_client;
        return ::recvfrom(m_fd, scratch, sizeof scratch, 0, reinterpret_cast<sockaddr*>(&m_client),
                          &length) >= 0;
    }

    void Answer(const std::vector<std::uint8_t>& bytes) {
        ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&m_client),
                 sizeof m_client);
    }

  private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
    sockaddr_in m_client{};
};

class PosixHarness final : public SystemNetworkHarness<PosixNetwork, LoopbackPeer> {
  public:
    // Up, broadcast-capable, not loopback, with an IPv4 address: once each.
    std::vector<std::string> BroadcastInterfaces() override {
        std::vector<std::string> names;
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) != 0) {
            return names;
        }
        for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
            const unsigned int flags = entry->ifa_flags;
            if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
                (flags & IFF_UP) == 0 || (flags & IFF_BROADCAST) == 0 ||
                (flags & IFF_LOOPBACK) != 0) {
                continue;
            }
            std::string name = entry->ifa_name;
            name = name.substr(0, name.find(':'));
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                names.push_back(std::move(name));
            }
        }
        ::freeifaddrs(list);
        return names;
    }
};

const NetworkImplementation kPosix{
    "Posix", [] { return std::unique_ptr<NetworkHarness>(new PosixHarness); }};

INSTANTIATE_TEST_SUITE_P(Posix, NetworkContract, ::testing::Values(kPosix));
INSTANTIATE_TEST_SUITE_P(Posix, SystemNetworkContract, ::testing::Values(kPosix));
INSTANTIATE_TEST_SUITE_P(PosixLan, LanNetworkContract, ::testing::Values(kPosix));
INSTANTIATE_TEST_SUITE_P(PosixLan, ReplyPathContract, ::testing::Values(kPosix));

}  // namespace
}  // namespace vindle::contract
