// Room for many sockets in one select (the default is 64); set before Winsock is included.
#define FD_SETSIZE 1024

#include "platform/win/win_network.h"

// Winsock first: the extension header builds on it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mswsock.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include "platform/resolved_host_address.h"
#include "platform/system_network.h"
#include "platform/wait_deadline.h"
#include "platform/win/win_error.h"
#include "platform/win/win_interfaces.h"
#include "platform/win/winsock_session.h"

namespace vindle {
namespace {

// A UDP socket on 127.0.0.1 connected to itself: one datagram sent to it by Shutdown() is never
// read, so it stays readable and ends every select that includes it.
SOCKET OpenWakeSocket() {
    const SOCKET wake = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (wake == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof local;
    if (::bind(wake, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::getsockname(wake, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        ::connect(wake, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::closesocket(wake);
        return INVALID_SOCKET;
    }
    return wake;
}

}  // namespace

// Shared by the network and every socket it opened.
struct WinNetworkState {
    std::shared_ptr<WinsockSession> session = std::make_shared<WinsockSession>();
    SOCKET wakeSocket = session->started ? OpenWakeSocket() : INVALID_SOCKET;
    std::atomic<bool> shutDown{false};
    // Sends hold it shared; Shutdown() takes it exclusively, so once Shutdown() returns no send
    // is in flight and none will start.
    std::shared_mutex sendGate;

    WinNetworkState() = default;
    ~WinNetworkState() {
        if (wakeSocket != INVALID_SOCKET) {
            ::closesocket(wakeSocket);
        }
    }
    WinNetworkState(const WinNetworkState&) = delete;
    WinNetworkState& operator=(const WinNetworkState&) = delete;
};

// The interface that replies from each sender arrived on. Shared by every socket of one network
// and kept across Restart(), so that a probe on a new socket goes back out of the link the
// printer's answer came in on, even when no route leads there.
struct WinReplyPaths {
    std::mutex mutex;
    std::unordered_map<Ipv4Address, ULONG> bySender;
};

namespace {

constexpr int kReceiveBufferBytes = 1 << 20;
// Larger than any UDP datagram, so the system never cuts one: a datagram longer than the
// caller's buffer is noticed here and dropped whole.
constexpr std::size_t kDatagramBytes = 65536;

using Clock = std::chrono::steady_clock;

// One select waits at most this long, then the deadline is checked again.
constexpr long long kSliceMicroseconds = 1'000'000'000;
// Bounds the remembered paths, so that a flood of senders cannot exhaust memory.
constexpr std::size_t kMaxReplyPaths = 4096;

// The interface a sender's datagram came in on; 0 for "the system's choice".
using InterfaceIndex = ULONG;

LPFN_WSARECVMSG FindReceiveMessage(SOCKET socket) {
    GUID id = WSAID_WSARECVMSG;
    LPFN_WSARECVMSG function = nullptr;
    DWORD bytes = 0;
    if (::WSAIoctl(socket, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function,
                   sizeof function, &bytes, nullptr, nullptr) != 0) {
        return nullptr;
    }
    return function;
}

class WinUdpSocket final : public UdpSocket {
  public:
    WinUdpSocket(SOCKET socket, std::shared_ptr<WinNetworkState> state,
                 std::shared_ptr<WinReplyPaths> paths)
        : m_socket(socket),
          m_state(std::move(state)),
          m_paths(std::move(paths)),
          m_receiveMessage(FindReceiveMessage(socket)),
          m_datagram(kDatagramBytes) {}
    ~WinUdpSocket() override { ::closesocket(m_socket); }

    WinUdpSocket(const WinUdpSocket&) = delete;
    WinUdpSocket& operator=(const WinUdpSocket&) = delete;

    bool EnableBroadcast() override {
        const BOOL on = TRUE;
        return ::setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                            sizeof on) == 0;
    }

    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        std::shared_lock gate(m_state->sendGate);
        m_lastSend = SendReport{};
        if (m_state->shutDown.load()) {
            return false;
        }
        if (address == kLimitedBroadcast) {
            return BroadcastOnEveryInterface(port, data, size);
        }
        if (const std::optional<InterfaceIndex> path = ReplyPathTo(address)) {
            if (SendOver(*path, address, port, data, size) == 0) {
                return true;
            }
            // The interface may have gone; the routes may still know a way.
            ForgetReplyPath(address);
        }
        const DWORD error = SendOver(0, address, port, data, size);
        if (error != 0) {
            m_lastSend.errorText = SystemErrorText(error);
        }
        return error == 0;
    }

    int WaitReadable(WaitTime limit) override {
        std::size_t ignored = 0;
        return WaitForAny({this}, limit, ignored);
    }

    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        // Never blocks: a receive with nothing queued fails.
        if (!ReadableNow()) {
            return -1;
        }
        sockaddr_in from{};
        WSABUF part{static_cast<ULONG>(m_datagram.size()),
                    reinterpret_cast<char*>(m_datagram.data())};
        char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
        int received = -1;
        std::optional<InterfaceIndex> arrival;
        if (m_receiveMessage != nullptr) {
            WSAMSG message{};
            message.name = reinterpret_cast<sockaddr*>(&from);
            message.namelen = sizeof from;
            message.lpBuffers = &part;
            message.dwBufferCount = 1;
            message.Control = WSABUF{sizeof control, control};
            DWORD bytes = 0;
            if (m_receiveMessage(m_socket, &message, &bytes, nullptr, nullptr) != 0 ||
                (message.dwFlags & MSG_TRUNC) != 0 || message.namelen < int{sizeof from}) {
                return -1;  // also WSAEMSGSIZE: a datagram cut short is never used
            }
            received = static_cast<int>(bytes);
            arrival = ArrivalOf(message);
        } else {
            int fromLength = sizeof from;
            received = ::recvfrom(m_socket, part.buf, static_cast<int>(part.len), 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (received == SOCKET_ERROR) {
                return -1;
            }
        }
        if (from.sin_family != AF_INET || static_cast<std::size_t>(received) > capacity) {
            return -1;
        }
        std::memcpy(buffer, m_datagram.data(), static_cast<std::size_t>(received));
        sender = ntohl(from.sin_addr.s_addr);
        if (arrival) {
            LearnReplyPath(sender, *arrival);
        }
        return received;
    }

    SendReport LastSendReport() const override { return m_lastSend; }

    // Selects on the sockets together with the wake-up socket of each one's network state, so
    // that the shut-down of any of them ends the wait.
    static int WaitForAny(const std::vector<WinUdpSocket*>& sockets, WaitTime limit,
                          std::size_t& readyIndex) {
        if (sockets.empty() || limit.seconds < 0 || limit.microseconds < 0) {
            return -1;
        }
        std::vector<WinNetworkState*> states;
        for (const WinUdpSocket* socket : sockets) {
            if (std::find(states.begin(), states.end(), socket->m_state.get()) == states.end()) {
                states.push_back(socket->m_state.get());
            }
        }
        const auto anyShutDown = [&states] {
            return std::any_of(states.begin(), states.end(),
                               [](const WinNetworkState* state) { return state->shutDown.load(); });
        };
        if (anyShutDown() || sockets.size() + states.size() > FD_SETSIZE) {
            return -1;
        }
        const Clock::time_point deadline = WaitDeadline(limit);

        for (;;) {
            long long remaining =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now())
                    .count();
            remaining = std::clamp(remaining, 0LL, kSliceMicroseconds);
            timeval timeout{};
            timeout.tv_sec = static_cast<long>(remaining / 1'000'000);
            timeout.tv_usec = static_cast<long>(remaining % 1'000'000);
            fd_set readable;
            FD_ZERO(&readable);
            for (const WinUdpSocket* socket : sockets) {
                FD_SET(socket->m_socket, &readable);
            }
            for (const WinNetworkState* state : states) {
                FD_SET(state->wakeSocket, &readable);
            }
            const int ready = ::select(0, &readable, nullptr, nullptr, &timeout);
            const bool woken = std::any_of(states.begin(), states.end(), [&](const auto* state) {
                return FD_ISSET(state->wakeSocket, &readable) != 0;
            });
            if (ready == SOCKET_ERROR || woken || anyShutDown()) {
                return -1;
            }
            for (std::size_t index = 0; index < sockets.size(); ++index) {
                if (FD_ISSET(sockets[index]->m_socket, &readable)) {
                    readyIndex = index;
                    return 1;
                }
            }
            // select may return a little before its time-out; wait on for what remains.
            if (Clock::now() >= deadline) {
                return 0;
            }
        }
    }

  private:
    bool ReadableNow() {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_socket, &readable);
        timeval none{};
        return ::select(0, &readable, nullptr, nullptr, &none) == 1;
    }

    void LearnReplyPath(Ipv4Address sender, InterfaceIndex arrival) {
        std::lock_guard lock(m_paths->mutex);
        auto& paths = m_paths->bySender;
        if (paths.size() >= kMaxReplyPaths && paths.find(sender) == paths.end()) {
            paths.clear();
        }
        paths[sender] = arrival;
    }

    std::optional<InterfaceIndex> ReplyPathTo(Ipv4Address address) const {
        std::lock_guard lock(m_paths->mutex);
        const auto known = m_paths->bySender.find(address);
        if (known == m_paths->bySender.end()) {
            return std::nullopt;
        }
        return known->second;
    }

    void ForgetReplyPath(Ipv4Address address) {
        std::lock_guard lock(m_paths->mutex);
        m_paths->bySender.erase(address);
    }

    static std::optional<InterfaceIndex> ArrivalOf(WSAMSG& message) {
        for (WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message); header != nullptr;
             header = WSA_CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
                IN_PKTINFO info{};
                std::memcpy(&info, WSA_CMSG_DATA(header), sizeof info);
                return info.ipi_ifindex;
            }
        }
        return std::nullopt;
    }

    // Waits a moment for a full buffer to drain; false when the network was shut down instead.
    bool PauseUnlessShutDown() {
        constexpr long kFullBufferPauseMicros = 1000;
        fd_set wake;
        FD_ZERO(&wake);
        FD_SET(m_state->wakeSocket, &wake);
        timeval pause{0, kFullBufferPauseMicros};
        ::select(0, &wake, nullptr, nullptr, &pause);
        return !m_state->shutDown.load();
    }

    // Sends one datagram out of the given interface (0: where the routes say); returns 0 or the
    // Winsock error. The interface is a socket option (IP_UNICAST_IF, which also steers the
    // limited broadcast) set for each send, so one socket serves every interface.
    DWORD SendOver(InterfaceIndex interfaceIndex, Ipv4Address address, std::uint16_t port,
                   const std::uint8_t* data, std::size_t size) {
        if (interfaceIndex != m_sendInterface) {
            const DWORD option = htonl(interfaceIndex);
            if (::setsockopt(m_socket, IPPROTO_IP, IP_UNICAST_IF,
                             reinterpret_cast<const char*>(&option), sizeof option) != 0) {
                return static_cast<DWORD>(::WSAGetLastError());
            }
            m_sendInterface = interfaceIndex;
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(address);
        int sent;
        DWORD error = 0;
        do {
            sent = ::sendto(m_socket, reinterpret_cast<const char*>(data), static_cast<int>(size),
                            0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            error = sent == SOCKET_ERROR ? static_cast<DWORD>(::WSAGetLastError()) : 0;
        } while ((error == WSAEWOULDBLOCK || error == WSAENOBUFS) && PauseUnlessShutDown());
        if (sent == SOCKET_ERROR) {
            return error;
        }
        return static_cast<std::size_t>(sent) == size ? 0 : static_cast<DWORD>(WSAEMSGSIZE);
    }

    // The limited broadcast goes out once on every usable interface; with none listed, the
    // system picks the way.
    bool BroadcastOnEveryInterface(std::uint16_t port, const std::uint8_t* data, std::size_t size) {
        const std::vector<WinInterface> interfaces = UsableInterfaces();
        if (interfaces.empty()) {
            const DWORD error = SendOver(0, kLimitedBroadcast, port, data, size);
            if (error != 0) {
                m_lastSend.errorText = SystemErrorText(error);
            }
            return error == 0;
        }
        for (const WinInterface& entry : interfaces) {
            ++m_lastSend.interfacesTried;
            const DWORD error = SendOver(entry.index, kLimitedBroadcast, port, data, size);
            if (error == 0) {
                m_lastSend.interfacesSent.push_back(entry.name);
            } else {
                m_lastSend.interfacesFailed.push_back(entry.name);
                m_lastSend.errorText = SystemErrorText(error);
            }
        }
        // The request went out: a refusal on some interface is no failure to report.
        if (!m_lastSend.interfacesSent.empty()) {
            m_lastSend.errorText.clear();
        }
        return !m_lastSend.interfacesSent.empty();
    }

    SOCKET m_socket;
    std::shared_ptr<WinNetworkState> m_state;
    std::shared_ptr<WinReplyPaths> m_paths;
    LPFN_WSARECVMSG m_receiveMessage;
    std::vector<std::uint8_t> m_datagram;
    InterfaceIndex m_sendInterface = 0;
    SendReport m_lastSend;
};

}  // namespace

WinNetwork::WinNetwork()
    : m_state(std::make_shared<WinNetworkState>()),
      m_replyPaths(std::make_shared<WinReplyPaths>()) {}

WinNetwork::~WinNetwork() = default;

std::shared_ptr<WinNetworkState> WinNetwork::State() {
    std::lock_guard lock(m_stateMutex);
    return m_state;
}

std::unique_ptr<UdpSocket> WinNetwork::OpenUdpSocket() {
    const std::shared_ptr<WinNetworkState> state = State();
    // Without the wake-up socket a shut-down could not end a wait, so no socket is offered.
    if (state->wakeSocket == INVALID_SOCKET || state->shutDown.load()) {
        return nullptr;
    }
    const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET) {
        return nullptr;
    }
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    // Replies are never sent again, so the queue must hold a burst of stray datagrams without
    // dropping a printer's answer behind them. The system may cap the size; that is no error.
    const int receiveBuffer = kReceiveBufferBytes;
    ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
                 sizeof receiveBuffer);
    // The interface each datagram came in on, so that probes leave the same way.
    const DWORD on = 1;
    ::setsockopt(socket, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on), sizeof on);
    // A port-unreachable answer to an earlier send would otherwise fail the next receive.
    BOOL reportReset = FALSE;
    DWORD bytes = 0;
    ::WSAIoctl(socket, SIO_UDP_CONNRESET, &reportReset, sizeof reportReset, nullptr, 0, &bytes,
               nullptr, nullptr);
    return std::make_unique<WinUdpSocket>(socket, state, m_replyPaths);
}

void WinNetwork::Shutdown() {
    const std::shared_ptr<WinNetworkState> state = State();
    // Marked before the gate is taken, so that a send waiting for a full buffer gives up.
    const bool wasShutDown = state->shutDown.exchange(true);
    std::unique_lock gate(state->sendGate);
    if (wasShutDown) {
        return;
    }
    if (state->wakeSocket != INVALID_SOCKET) {
        const char one = 1;
        ::send(state->wakeSocket, &one, 1, 0);
    }
}

void WinNetwork::Restart() {
    auto fresh = std::make_shared<WinNetworkState>();
    std::lock_guard lock(m_stateMutex);
    m_state = std::move(fresh);
}

std::optional<Ipv4Address> WinNetwork::LocalAddress() {
    // The socket library must be started for the lookups; the state keeps it so.
    const std::shared_ptr<WinNetworkState> state = State();
    const std::vector<WinInterface> interfaces = UsableInterfaces();
    if (!interfaces.empty()) {
        return interfaces.front().subnets.front().address;
    }
    return ResolvedHostAddress();
}

int WinNetwork::WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                                std::size_t& readyIndex) {
    std::vector<WinUdpSocket*> own;
    for (UdpSocket* socket : sockets) {
        auto* winsock = dynamic_cast<WinUdpSocket*>(socket);
        if (winsock == nullptr) {
            return -1;
        }
        own.push_back(winsock);
    }
    return WinUdpSocket::WaitForAny(own, limit, readyIndex);
}

std::vector<Ipv4Subnet> WinNetwork::LocalSubnets() {
    const std::shared_ptr<WinNetworkState> state = State();  // keeps the socket library started
    std::vector<Ipv4Subnet> subnets;
    for (const WinInterface& entry : UsableInterfaces()) {
        subnets.insert(subnets.end(), entry.subnets.begin(), entry.subnets.end());
    }
    return subnets;
}

std::int64_t WinNetwork::MonotonicMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

std::unique_ptr<Network> MakeSystemNetwork() {
    return std::make_unique<WinNetwork>();
}

}  // namespace vindle
