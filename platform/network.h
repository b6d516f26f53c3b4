#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vindle {

// IPv4 address in host byte order: 192.168.1.2 is 0xC0A80102.
using Ipv4Address = std::uint32_t;
constexpr Ipv4Address kLimitedBroadcast = 0xFFFFFFFFu;

// An interface's IPv4 address and mask (host byte order).
struct Ipv4Subnet {
    Ipv4Address address = 0;
    Ipv4Address mask = 0;

    bool operator==(const Ipv4Subnet&) const = default;
};

// A wait limit as seconds plus microseconds; microseconds of 1,000,000 or more stand for whole
// seconds. A negative part makes the wait fail at once.
struct WaitTime {
    long seconds = 0;
    long microseconds = 0;

    bool operator==(const WaitTime&) const = default;
};

// How the last send of a socket went, so that a search that could not send can say why. Every
// send starts a fresh report, also one refused because the network was shut down: that one stays
// empty, as nothing was offered to the system.
struct SendReport {
    // A limited broadcast goes out once on every usable interface: those it was offered to, and
    // the names of those that took it and of those that refused it. All stay empty for a send to
    // one address, and for a broadcast sent as one datagram where no interface qualified.
    int interfacesTried = 0;
    std::vector<std::string> interfacesSent;
    // The system's text for the (last) failure; empty when the send went out.
    std::string errorText;
    // The interfaces that refused the limited broadcast (after errorText, so that existing
    // initialisers keep their meaning).
    std::vector<std::string> interfacesFailed;
};

// One UDP/IPv4 socket. It is never bound explicitly: the first send picks its local port.
class UdpSocket {
  public:
    virtual ~UdpSocket() = default;

    virtual bool EnableBroadcast() = 0;
    // A send the system refuses only because a buffer is full waits briefly and tries again,
    // until it goes out or the network is shut down: a fast sweep never drops a request.
    virtual bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                        std::size_t size) = 0;
    // 1 when a datagram can be read, 0 when the limit passed without one, -1 when the wait failed
    // (a negative limit, or the network was shut down before or during the wait).
    virtual int WaitReadable(WaitTime limit) = 0;
    // Reads one datagram into `buffer`; returns its length, or -1 on failure. A datagram longer
    // than `capacity` is a failure and none of its bytes are used.
    virtual int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) = 0;
    virtual SendReport LastSendReport() const = 0;
};

// Opens sockets. Shutdown() makes every pending and later wait fail at once and every later
// open and send fail, so that a closing window ends a running search without sending more.
//
// Reply paths: a datagram received on any socket of a network teaches that network the interface
// it came in on. Later sends to its sender, from any socket of the same network (also one opened
// after Restart()), leave by that interface, even where no route leads there (a link without a
// gateway, a printer on a factory address outside every local subnet). On POSIX they also leave
// from the address the datagram was sent to; on Windows the system picks the interface's source
// address. A datagram that came in over loopback teaches nothing on POSIX.
class Network {
  public:
    virtual ~Network() = default;

    // nullptr when no socket can be opened.
    virtual std::unique_ptr<UdpSocket> OpenUdpSocket() = 0;
    virtual void Shutdown() = 0;
    // Undoes Shutdown() for sockets opened from now on; those opened before stay shut down. A
    // stopped search thus ends for good while the next one can run.
    virtual void Restart() = 0;
    // The first IPv4 address of an interface that is up and not loopback, else the first one the
    // host's own name resolves to; nothing when neither gives one.
    virtual std::optional<Ipv4Address> LocalAddress() = 0;

    // Waits up to `limit` until one of `sockets` (opened on this network, none null) can be read:
    // 1 with `readyIndex` set to the lowest index of a readable socket; 0 when the limit passed
    // without one; -1 when the wait failed (a negative limit, an empty list, or the network shut
    // down before or during the wait), as UdpSocket::WaitReadable.
    virtual int WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                                std::size_t& readyIndex) = 0;
    // The address and mask of every IPv4 interface that is up and not loopback, in the system's
    // order; empty when there is none.
    virtual std::vector<Ipv4Subnet> LocalSubnets() = 0;
    // A monotonic clock in microseconds, the one the waits run on (the fake network's virtual
    // clock in tests), so that a search can keep deadlines of its own.
    virtual std::int64_t MonotonicMicros() = 0;
};

}  // namespace vindle
