#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vindle {

// IPv4 address in host byte order: 192.168.1.2 is 0xC0A80102.
using Ipv4Address = std::uint32_t;
constexpr Ipv4Address kLimitedBroadcast = 0xFFFFFFFFu;

// A wait limit as seconds plus microseconds; microseconds of 1,000,000 or more stand for whole
// seconds. A negative part makes the wait fail at once.
struct WaitTime {
    long seconds = 0;
    long microseconds = 0;

    bool operator==(const WaitTime&) const = default;
};

// One UDP/IPv4 socket. It is never bound explicitly: the first send picks its local port.
class UdpSocket {
  public:
    virtual ~UdpSocket() = default;

    virtual bool EnableBroadcast() = 0;
    virtual bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                        std::size_t size) = 0;
    // 1 when a datagram can be read, 0 when the limit passed without one, -1 when the wait failed
    // (a negative limit, or the network was shut down before or during the wait).
    virtual int WaitReadable(WaitTime limit) = 0;
    // Reads one datagram into `buffer`; returns its length, or -1 on failure. A datagram longer
    // than `capacity` is a failure and none of its bytes are used.
    virtual int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) = 0;
};

// Opens sockets. Shutdown() makes every pending and later wait fail at once and every later
// open and send fail, so that a closing window ends a running search without sending more.
class Network {
  public:
    virtual ~Network() = default;

    // nullptr when no socket can be opened.
    virtual std::unique_ptr<UdpSocket> OpenUdpSocket() = 0;
    virtual void Shutdown() = 0;
};

}  // namespace vindle
