#pragma once

#include <memory>
#include <utility>

#include "platform/network.h"

namespace vindle {

// A socket that passes every call on to another one. Wrappers that watch or hold a socket
// derive from it and override only the calls they care about.
class ForwardingUdpSocket : public UdpSocket {
  public:
    explicit ForwardingUdpSocket(std::unique_ptr<UdpSocket> inner) : m_inner(std::move(inner)) {}

    bool EnableBroadcast() override { return m_inner->EnableBroadcast(); }
    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        return m_inner->SendTo(address, port, data, size);
    }
    int WaitReadable(WaitTime limit) override { return m_inner->WaitReadable(limit); }
    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        return m_inner->ReceiveFrom(buffer, capacity, sender);
    }

  private:
    std::unique_ptr<UdpSocket> m_inner;
};

}  // namespace vindle
