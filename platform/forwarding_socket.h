#pragma once

#include <memory>
#include <utility>
#include <vector>

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

    UdpSocket& Wrapped() { return *m_inner; }

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
    // The inner network waits on the sockets it opened: wrappers are unwrapped, so a wrapper's
    // own WaitReadable is not called here.
    int WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                        std::size_t& readyIndex) override {
        std::vector<UdpSocket*> inner;
        inner.reserve(sockets.size());
        for (UdpSocket* socket : sockets) {
            auto* wrapper = dynamic_cast<ForwardingUdpSocket*>(socket);
            inner.push_back(wrapper != nullptr ? &wrapper->Wrapped() : socket);
        }
        return m_inner.WaitAnyReadable(inner, limit, readyIndex);
    }
    std::vector<Ipv4Subnet> LocalSubnets() override { return m_inner.LocalSubnets(); }
    std::int64_t MonotonicMicros() override { return m_inner.MonotonicMicros(); }

  protected:
    Network& Inner() { return m_inner; }

  private:
    Network& m_inner;
};

}  // namespace vindle
