#pragma once

#include <memory>
#include <mutex>

#include "platform/network.h"

namespace vindle {

struct PosixNetworkState;
struct PosixReplyPaths;

// The network over real UDP/IPv4 sockets. Shutdown() may be called from any thread while another
// thread waits on one of its sockets; sockets may outlive the network object.
//
// A send to 255.255.255.255 goes out once on every interface that is up, broadcast-capable, not
// loopback and has an IPv4 address (the routing table alone would pick one), and counts as sent
// when one of them took it. A later send to an address that has answered goes out of the
// interface its datagram arrived on, from the address it was sent to.
class PosixNetwork final : public Network {
  public:
    PosixNetwork();
    ~PosixNetwork() override;

    PosixNetwork(const PosixNetwork&) = delete;
    PosixNetwork& operator=(const PosixNetwork&) = delete;

    std::unique_ptr<UdpSocket> OpenUdpSocket() override;
    void Shutdown() override;
    void Restart() override;
    std::optional<Ipv4Address> LocalAddress() override;
    int WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                        std::size_t& readyIndex) override;
    std::vector<Ipv4Subnet> LocalSubnets() override;
    std::int64_t MonotonicMicros() override;

  private:
    std::shared_ptr<PosixNetworkState> State();

    // Replaced by Restart(); sockets keep the state they were opened with.
    std::mutex m_stateMutex;
    std::shared_ptr<PosixNetworkState> m_state;
    // Shared by every socket and kept across Restart().
    std::shared_ptr<PosixReplyPaths> m_replyPaths;
};

}  // namespace vindle
