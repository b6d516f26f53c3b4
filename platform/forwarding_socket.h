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
    SendReport LastSendReport() const override { return m_inner->LastSendReport(); }

  private:
    std::unique_ptr<UdpSocket> m_inner;
};

// A network that passes every call on to another one; wrappers override what they watch.
class ForwardingNetwork : public Network {
  public:
    explicit ForwardingNetwork(Network& inner) : m_inner(inner) {}

    std::unique_ptr<UdpSocket> OpenUdpSocket() override { return m_inner.OpenUdpSocket(); }
    void Shutdown() override { m_inner.Shutdown(); }
    void Restart() override { m_inner.Restart(); }
    std::optional<Ipv4Address> LocalAddress() override { return m_inner.LocalAddress(); }

  protected:
    Network& Inner() { return m_inner; }

  private:
    Network& m_inner;
};

}  // namespace vindle
