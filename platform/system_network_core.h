#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/network.h"

namespace vindle {

// What the system's wait call takes: a file descriptor or a Winsock SOCKET.
using SystemHandle = std::uintptr_t;

// The way a reply came in: its interface and the local address it was sent to (0: unknown, or
// the system's choice).
struct ReplyPath {
    unsigned int interfaceIndex = 0;
    Ipv4Address localAddress = 0;

    bool operator==(const ReplyPath&) const = default;
};

struct BroadcastInterface {
    unsigned int index = 0;
    std::string name;
};

// One UDP/IPv4 socket of the operating system, closed with the object. Errors are the system's
// codes (errno, WSAGetLastError), 0 for none.
class SystemSocket {
  public:
    virtual ~SystemSocket() = default;

    virtual SystemHandle Handle() const = 0;
    virtual bool EnableBroadcast() = 0;
    // One whole datagram; with a path, out of its interface (and from its address where the
    // system allows). Returns 0 or the error.
    virtual int SendOnce(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                         std::size_t size, const ReplyPath* path) = 0;
    // Reads one queued datagram without blocking, as UdpSocket::ReceiveFrom; `arrival` is set
    // when the system tells the way it came in.
    virtual int Receive(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender,
                        std::optional<ReplyPath>& arrival) = 0;
};

// A handle that, once raised, stays readable and so ends every wait that includes it.
class WakeSignal {
  public:
    virtual ~WakeSignal() = default;

    virtual SystemHandle Handle() const = 0;
    virtual void Raise() = 0;
};

// The operating system's calls under SystemNetworkCore. It lives as long as the network or any
// of its sockets.
class SocketSystem {
  public:
    virtual ~SocketSystem() = default;

    // nullptr when the system gives none.
    virtual std::unique_ptr<SystemSocket> OpenSocket() = 0;
    virtual std::unique_ptr<WakeSignal> OpenWakeSignal() = 0;
    // Waits at most `timeout` (it may return sooner) until one of `handles` can be read, and
    // marks which in `readable`. -1 when the wait failed; an interrupted wait is no failure.
    virtual int Poll(const std::vector<SystemHandle>& handles, std::chrono::microseconds timeout,
                     std::vector<bool>& readable) = 0;
    virtual bool IsBufferFull(int error) = 0;
    virtual std::string ErrorText(int error) = 0;
    // Every interface a limited broadcast goes out on, once each; nothing when they cannot be
    // listed.
    virtual std::optional<std::vector<BroadcastInterface>> BroadcastInterfaces() = 0;
    virtual std::vector<Ipv4Subnet> InterfaceSubnets() = 0;
    // A datagram that came in this way teaches no reply path.
    virtual bool TeachesNothing(const ReplyPath& arrival) = 0;
};

struct SystemNetworkState;
class SystemReplyPaths;

// The network over the system's real UDP/IPv4 sockets, written once over the system's calls:
// its shut-down and restart, the send gate, the reply paths and the waits. Shutdown() may be
// called from any thread while another waits on one of its sockets; sockets may outlive the
// network object.
//
// A send to 255.255.255.255 goes out once on every interface the system lists for it, and counts
// as sent when one of them took it. A later send to an address that has answered goes out of the
// interface its datagram came in on.
class SystemNetworkCore : public Network {
  public:
    explicit SystemNetworkCore(std::shared_ptr<SocketSystem> system);
    ~SystemNetworkCore() override;

    SystemNetworkCore(const SystemNetworkCore&) = delete;
    SystemNetworkCore& operator=(const SystemNetworkCore&) = delete;

    std::unique_ptr<UdpSocket> OpenUdpSocket() override;
    void Shutdown() override;
    void Restart() override;
    std::optional<Ipv4Address> LocalAddress() override;
    int WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                        std::size_t& readyIndex) override;
    std::vector<Ipv4Subnet> LocalSubnets() override;
    std::int64_t MonotonicMicros() override;

  private:
    std::shared_ptr<SystemNetworkState> State();

    std::shared_ptr<SocketSystem> m_system;
    // Replaced by Restart(); sockets keep the state they were opened with.
    std::mutex m_stateMutex;
    std::shared_ptr<SystemNetworkState> m_state;
    std::shared_ptr<SystemReplyPaths> m_replyPaths;
};

}  // namespace vindle
