#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/forwarding_socket.h"
#include "platform/network.h"

namespace vindle {

// Passes every call on to another network and notes what a command-line user wants to know:
// whether sockets opened and requests went out, and when the last datagram arrived.
class ObservedNetwork : public ForwardingNetwork {
  public:
    explicit ObservedNetwork(Network& inner) : ForwardingNetwork(inner) {}

    std::unique_ptr<UdpSocket> OpenUdpSocket() override;

    // True when a socket could not be opened or every request that was tried failed to go out.
    bool Unusable() const;
    // Why, for a user: no socket, or the system's reason the last request failed and, for a
    // broadcast, the interfaces it was offered to.
    std::string UnusableReason() const;
    // Time since the last datagram was received, or since construction before the first one.
    std::chrono::steady_clock::duration SinceLastDatagram() const;

  private:
    friend class ObservedSocket;

    void NoteFailedSend(Ipv4Address address, const SendReport& report);

    std::atomic<bool> m_openFailed{false};
    mutable std::mutex m_failureMutex;
    std::optional<SendReport> m_lastFailure;
    bool m_lastFailureWasBroadcast = false;
    std::atomic<int> m_sendsTried{0};
    std::atomic<int> m_sendsDone{0};
    std::atomic<std::chrono::steady_clock::rep> m_lastDatagram{
        std::chrono::steady_clock::now().time_since_epoch().count()};
};

}  // namespace vindle
