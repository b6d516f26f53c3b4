// The network contract against the Winsock network under Wine: on 127.0.0.1 ("Win/"), and
// inside the linked sandbox ("WinLan/", run by scripts/test-windows).

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win/win_interfaces.h"
#include "platform/win/win_network.h"
#include "platform/win/winsock_session.h"
#include "tests/contract/network_contract.h"

namespace vindle::contract {
namespace {

// A plain socket bound to 127.0.0.1 that plays the far end.
class LoopbackPeer {
  public:
    LoopbackPeer() {
        m_socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(kLoopback);
        int length = sizeof local;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
            m_port = ntohs(local.sin_port);
        }
    }
    ~LoopbackPeer() { ::closesocket(m_socket); }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    std::uint16_t Port() const { return m_port; }

    bool Hear(std::chrono::milliseconds limit) {
        const DWORD timeout = static_cast<DWORD>(limit.count());
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                     sizeof timeout);
        char scratch[2048];
        int length = sizeof m_client;
        return ::recvfrom(m_socket, scratch, sizeof scratch, 0,
                          reinterpret_cast<sockaddr*>(&m_client), &length) >= 0;
    }

    void Answer(const std::vector<std::uint8_t>& bytes) {
        ::sendto(m_socket, reinterpret_cast<const char*>(bytes.data()),
                 static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&m_client),
                 sizeof m_client);
    }

  private:
    // The peer's own use of the socket library, apart from the network's; started first.
    WinsockSession m_winsock;
    SOCKET m_socket = INVALID_SOCKET;
    std::uint16_t m_port = 0;
    sockaddr_in m_client{};
};

class WinHarness final : public SystemNetworkHarness<WinNetwork, LoopbackPeer> {
  public:
    std::vector<std::string> BroadcastInterfaces() override {
        std::vector<std::string> names;
        for (const WinInterface& entry : UsableInterfaces()) {
            names.push_back(entry.name);
        }
        return names;
    }
};

const NetworkImplementation kWinsock{
    "Winsock", [] { return std::unique_ptr<NetworkHarness>(new WinHarness); }};

INSTANTIATE_TEST_SUITE_P(Win, NetworkContract, ::testing::Values(kWinsock));
INSTANTIATE_TEST_SUITE_P(Win, SystemNetworkContract, ::testing::Values(kWinsock));
INSTANTIATE_TEST_SUITE_P(WinLan, LanNetworkContract, ::testing::Values(kWinsock));
INSTANTIATE_TEST_SUITE_P(WinLan, ReplyPathContract, ::testing::Values(kWinsock));

}  // namespace
}  // namespace vindle::contract
