// Room for many sockets in one select (the default is 64); set before Winsock is included.
#define FD_SETSIZE 1024

#include "platform/win/win_network.h"

// Winsock first: the extension header builds on it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mswsock.h>

#include <algorithm>
#include <cstring>

#include "platform/system_network.h"
#include "platform/win/win_error.h"
#include "platform/win/win_interfaces.h"
#include "platform/win/winsock_session.h"

namespace vindle {
namespace {

constexpr int kReceiveBufferBytes = 1 << 20;
// Larger than any UDP datagram, so the system never cuts one: a datagram longer than the
// caller's buffer is noticed here and dropped whole.
constexpr std::size_t kDatagramBytes = 65536;

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

bool ReadableNow(SOCKET socket) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval none{};
    return ::select(0, &readable, nullptr, nullptr, &none) == 1;
}

class WinSocket final : public SystemSocket {
  public:
    explicit WinSocket(SOCKET socket)
        : m_socket(socket),
          m_receiveMessage(FindReceiveMessage(socket)),
          m_datagram(kDatagramBytes) {}
    ~WinSocket() override { ::closesocket(m_socket); }

    WinSocket(const WinSocket&) = delete;
    WinSocket& operator=(const WinSocket&) = delete;

    SystemHandle Handle() const override { return m_socket; }

    bool EnableBroadcast() override {
        const BOOL on = TRUE;
        return ::setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                            sizeof on) == 0;
    }

    // The interface is a socket option (IP_UNICAST_IF, which also steers the limited broadcast)
    // set for each send, so one socket serves every interface; the system picks the source
    // address.
    int SendOnce(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                 std::size_t size, const ReplyPath* path) override {
        const unsigned int interfaceIndex = path != nullptr ? path->interfaceIndex : 0;
        if (interfaceIndex != m_sendInterface) {
            const DWORD option = htonl(interfaceIndex);
            if (::setsockopt(m_socket, IPPROTO_IP, IP_UNICAST_IF,
                             reinterpret_cast<const char*>(&option), sizeof option) != 0) {
                return ::WSAGetLastError();
            }
            m_sendInterface = interfaceIndex;
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(address);
        const int sent =
            ::sendto(m_socket, reinterpret_cast<const char*>(data), static_cast<int>(size), 0,
                     reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (sent == SOCKET_ERROR) {
            return ::WSAGetLastError();
        }
        return static_cast<std::size_t>(sent) == size ? 0 : WSAEMSGSIZE;
    }

    int Receive(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender,
                std::optional<ReplyPath>& arrival) override {
        // Never blocks: a receive with nothing queued fails.
        if (!ReadableNow(m_socket)) {
            return -1;
        }
        sockaddr_in from{};
        WSABUF part{static_cast<ULONG>(m_datagram.size()),
                    reinterpret_cast<char*>(m_datagram.data())};
        char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
        int received = -1;
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
        return received;
    }

  private:
    static std::optional<ReplyPath> ArrivalOf(WSAMSG& message) {
        for (WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message); header != nullptr;
             header = WSA_CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
                IN_PKTINFO info{};
                std::memcpy(&info, WSA_CMSG_DATA(header), sizeof info);
                return ReplyPath{static_cast<unsigned int>(info.ipi_ifindex), 0};
            }
        }
        return std::nullopt;
    }

    SOCKET m_socket;
    LPFN_WSARECVMSG m_receiveMessage;
    std::vector<std::uint8_t> m_datagram;
    unsigned int m_sendInterface = 0;
};

// A UDP socket on 127.0.0.1 connected to itself: the one datagram Raise() sends is never read,
// so it stays readable.
class LoopbackWake final : public WakeSignal {
  public:
    explicit LoopbackWake(SOCKET socket) : m_socket(socket) {}
    ~LoopbackWake() override { ::closesocket(m_socket); }

    LoopbackWake(const LoopbackWake&) = delete;
    LoopbackWake& operator=(const LoopbackWake&) = delete;

    SystemHandle Handle() const override { return m_socket; }
    void Raise() override {
        const char one = 1;
        ::send(m_socket, &one, 1, 0);
    }

  private:
    SOCKET m_socket;
};

class WinSocketSystem final : public SocketSystem {
  public:
    std::unique_ptr<SystemSocket> OpenSocket() override {
        const SOCKET socket =
            m_session.started ? ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP) : INVALID_SOCKET;
        if (socket == INVALID_SOCKET) {
            return nullptr;
        }
        ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
        // Replies are never sent again, so the queue must hold a burst of stray datagrams
        // without dropping a printer's answer behind them. The system may cap the size.
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
        return std::make_unique<WinSocket>(socket);
    }

    std::unique_ptr<WakeSignal> OpenWakeSignal() override {
        const SOCKET wake =
            m_session.started ? ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP) : INVALID_SOCKET;
        if (wake == INVALID_SOCKET) {
            return nullptr;
        }
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof local;
        if (::bind(wake, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::getsockname(wake, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
            ::connect(wake, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::closesocket(wake);
            return nullptr;
        }
        return std::make_unique<LoopbackWake>(wake);
    }

    int Poll(const std::vector<SystemHandle>& handles, std::chrono::microseconds timeout,
             std::vector<bool>& readable) override {
        readable.assign(handles.size(), false);
        if (handles.size() > FD_SETSIZE) {
            return -1;
        }
        fd_set set;
        FD_ZERO(&set);
        for (const SystemHandle handle : handles) {
            FD_SET(static_cast<SOCKET>(handle), &set);
        }
        timeval limit{static_cast<long>(timeout.count() / 1'000'000),
                      static_cast<long>(timeout.count() % 1'000'000)};
        const int ready = ::select(0, &set, nullptr, nullptr, &limit);
        if (ready == SOCKET_ERROR) {
            return -1;
        }
        std::transform(handles.begin(), handles.end(), readable.begin(), [&set](auto handle) {
            return FD_ISSET(static_cast<SOCKET>(handle), &set) != 0;
        });
        return ready;
    }

    bool IsBufferFull(int error) override { return error == WSAEWOULDBLOCK || error == WSAENOBUFS; }

    std::string ErrorText(int error) override {
        return SystemErrorText(static_cast<unsigned long>(error));
    }

    std::optional<std::vector<BroadcastInterface>> BroadcastInterfaces() override {
        std::vector<BroadcastInterface> found;
        for (const WinInterface& entry : UsableInterfaces()) {
            found.push_back({static_cast<unsigned int>(entry.index), entry.name});
        }
        return found;
    }

    std::vector<Ipv4Subnet> InterfaceSubnets() override {
        std::vector<Ipv4Subnet> subnets;
        for (const WinInterface& entry : UsableInterfaces()) {
            subnets.insert(subnets.end(), entry.subnets.begin(), entry.subnets.end());
        }
        return subnets;
    }

    bool TeachesNothing(const ReplyPath&) override { return false; }

  private:
    // The core keeps the system for as long as the network or one of its sockets exists; the
    // interface lookups need the library too.
    WinsockSession m_session;
};

}  // namespace

WinNetwork::WinNetwork() : SystemNetworkCore(std::make_shared<WinSocketSystem>()) {}

std::unique_ptr<Network> MakeSystemNetwork() {
    return std::make_unique<WinNetwork>();
}

}  // namespace vindle
