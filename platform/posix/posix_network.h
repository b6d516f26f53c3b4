#pragma once

#include <memory>
#include <mutex>

#include "platform/network.h"

namespace vindle {

struct PosixNetworkState;

// The network over real UDP/IPv4 sockets. Shutdown() may be called from any thread while another
// thread waits on one of its sockets; sockets may outlive the network object.
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

  private:
    std::shared_ptr<PosixNetworkState> State();

    // Replaced by Restart(); sockets keep the state they were opened with.
    std::mutex m_stateMutex;
    std::shared_ptr<PosixNetworkState> m_state;
};

}  // namespace vindle
