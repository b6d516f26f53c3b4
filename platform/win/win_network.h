#pragma once

#include <memory>
#include <mutex>

#include "platform/network.h"

namespace vindle {

struct WinNetworkState;
struct WinReplyPaths;

// The network over Winsock 2 UDP/IPv4 sockets, with the POSIX network's behaviour. Shutdown()
// may be called from any thread while another waits on one of its sockets; sockets may outlive
// the network object. The socket library is started for as long as a network or one of its
// sockets exists.
//
// A send to 255.255.255.255 goes out once on every interface that is up and not loopback. A
// later send to an address that has answered, from any socket of this network, goes out of the
// interface its datagram arrived on.
class WinNetwork final : public Network {
  public:
    WinNetwork();
    ~WinNetwork() override;

    WinNetwork(const WinNetwork&) = delete;
    WinNetwork& operator=(const WinNetwork&) = delete;

    std::unique_ptr<UdpSocket> OpenUdpSocket() override;
    void Shutdown() override;
    void Restart() override;
    std::optional<Ipv4Address> LocalAddress() override;
    int WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                        std::size_t& readyIndex) override;
    std::vector<Ipv4Subnet> LocalSubnets() override;
    std::int64_t MonotonicMicros() override;

  private:
    std::shared_ptr<WinNetworkState> State();

    // Replaced by Restart(); sockets keep the state they were opened with.
    std::mutex m_stateMutex;
    std::shared_ptr<WinNetworkState> m_state;
    // Shared by every socket and kept across Restart().
    std::shared_ptr<WinReplyPaths> m_replyPaths;
};

}  // namespace vindle
