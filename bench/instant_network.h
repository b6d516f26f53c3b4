#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "platform/network.h"

namespace vindle {

// A network whose printers answer every request at once, with no virtual clock and no records,
// so that a benchmark loop measures the search code and not the network's bookkeeping. A reply
// is queued on the requesting socket during the send; a wait answers 1 when the queue holds a
// datagram and 0 otherwise, without waiting.
class InstantNetwork : public Network {
  public:
    struct Printer {
        Ipv4Address address = 0;
        std::array<std::uint8_t, 17> model{};
        std::array<std::uint8_t, 11> serial{};
        std::array<std::uint8_t, 16> mac{};
    };

    void AddPrinter(const Printer& printer) { m_printers.push_back(printer); }

    std::unique_ptr<UdpSocket> OpenUdpSocket() override;
    void Shutdown() override { m_shutDown = true; }
    void Restart() override { m_shutDown = false; }
    std::optional<Ipv4Address> LocalAddress() override { return 0xC6336402u; }  // 198.51.100.2
    // The first socket whose queue holds a datagram, without waiting.
    int WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                        std::size_t& readyIndex) override;
    std::vector<Ipv4Subnet> LocalSubnets() override { return {{0xC6336402u, 0xFFFFFF00u}}; }
    // No clock: nothing here takes time.
    std::int64_t MonotonicMicros() override { return 0; }

    // The reply `printer` gives to `request` (7 bytes): the head, then the kind's payload.
    static std::vector<std::uint8_t> BuildReply(const Printer& printer,
                                                const std::uint8_t* request);

    // A socket whose queue the caller fills, standing in for a search socket.
    class Socket;
    std::unique_ptr<Socket> OpenSearchSocket();

  private:
    const Printer* FindPrinter(Ipv4Address address) const;

    std::vector<Printer> m_printers;
    bool m_shutDown = false;
};

class InstantNetwork::Socket : public UdpSocket {
  public:
    explicit Socket(InstantNetwork& network) : m_network(network) {}

    bool EnableBroadcast() override { return true; }
    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override;
    int WaitReadable(WaitTime limit) override;
    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override;
    SendReport LastSendReport() const override { return {}; }

    void Queue(std::vector<std::uint8_t> bytes, Ipv4Address sender);

  private:
    struct Datagram {
        std::vector<std::uint8_t> bytes;
        Ipv4Address sender = 0;
    };

    InstantNetwork& m_network;
    std::deque<Datagram> m_queue;
};

}  // namespace vindle
