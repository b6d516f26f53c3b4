// The Winsock network over real UDP sockets on 127.0.0.1 only.

#include "platform/win/win_network.h"
#include "platform/win/winsock_session.h"

#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace vindle {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr Ipv4Address kLoopback = 0x7F000001u;

// A plain socket bound to 127.0.0.1 that plays the far end.
class LoopbackPeer {
  public:
    LoopbackPeer() {
        m_socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(kLoopback);
        int length = sizeof local;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&local), &length);
            m_port = ntohs(local.sin_port);
        }
    }
    ~LoopbackPeer() { ::closesocket(m_socket); }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    std::uint16_t port() const { return m_port; }

    // Waits for the socket under test to say something, and remembers where it is.
    bool Hear(DWORD timeoutMs = 2000) {
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
                     sizeof timeoutMs);
        char scratch[2048];
        int length = sizeof m_client;
        return ::recvfrom(m_socket, scratch, sizeof scratch, 0,
                          reinterpret_cast<sockaddr*>(&m_client), &length) >= 0;
    }

    void Answer(const std::vector<std::uint8_t>& bytes) {
        ::sendto(m_socket, reinterpret_cast<const char*>(bytes.data()),
                 static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&m_client),
                 sizeof m_client);
    }

  private:
    SOCKET m_socket = INVALID_SOCKET;
    std::uint16_t m_port = 0;
    sockaddr_in m_client{};
};

class WinNetworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_winsock.started);
        ASSERT_NE(m_peer.port(), 0) << "cannot bind the loopback peer";
        m_socket = m_network.OpenUdpSocket();
        ASSERT_NE(m_socket, nullptr);
    }

    // The socket is never bound: its first send picks the port the peer answers to.
    void Introduce(UdpSocket& socket) {
        const std::uint8_t hello[] = {1, 2, 3};
        ASSERT_TRUE(socket.SendTo(kLoopback, m_peer.port(), hello, sizeof hello));
        ASSERT_TRUE(m_peer.Hear());
    }

    static double SecondsSince(Clock::time_point start) {
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

    WinsockSession m_winsock;
    LoopbackPeer m_peer;
    WinNetwork m_network;
    std::unique_ptr<UdpSocket> m_socket;
};

TEST_F(WinNetworkTest, DatagramsUpToCapacityArriveAndLongerOnesFailUntouched) {
    Introduce(*m_socket);
    const std::vector<std::uint8_t> exact(15, 0x41);
    m_peer.Answer(exact);
    m_peer.Answer(std::vector<std::uint8_t>(16, 0x42));
    m_peer.Answer({});

    std::uint8_t buffer[15] = {};
    Ipv4Address sender = 0;
    ASSERT_EQ(m_socket->WaitReadable({2, 0}), 1);
    EXPECT_EQ(m_socket->ReceiveFrom(buffer, sizeof buffer, sender), 15);
    EXPECT_EQ(sender, kLoopback);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 15), exact);

    std::memset(buffer, 0xEE, sizeof buffer);
    sender = 0xDEADBEEF;
    ASSERT_EQ(m_socket->WaitReadable({2, 0}), 1);
    EXPECT_EQ(m_socket->ReceiveFrom(buffer, sizeof buffer, sender), -1);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 15), std::vector<std::uint8_t>(15, 0xEE));
    EXPECT_EQ(sender, 0xDEADBEEFu);

    // The long datagram is gone; the empty one behind it is read normally.
    ASSERT_EQ(m_socket->WaitReadable({2, 0}), 1);
    EXPECT_EQ(m_socket->ReceiveFrom(buffer, sizeof buffer, sender), 0);

    // A send to a sender that was heard leaves the way its datagram came in.
    const std::uint8_t probe[] = {9};
    EXPECT_TRUE(m_socket->SendTo(kLoopback, m_peer.port(), probe, sizeof probe));
    EXPECT_TRUE(m_peer.Hear());
    const SendReport report = m_socket->LastSendReport();
    EXPECT_EQ(report.interfacesTried, 0);
    EXPECT_EQ(report.errorText, "");
}

TEST_F(WinNetworkTest, WaitsAreReadyTimedOutOrFailed) {
    Introduce(*m_socket);
    std::uint8_t buffer[4];
    Ipv4Address sender = 0;
    auto start = Clock::now();
    EXPECT_EQ(m_socket->ReceiveFrom(buffer, sizeof buffer, sender), -1) << "never blocks";
    EXPECT_EQ(m_socket->WaitReadable({0, 0}), 0);
    EXPECT_EQ(m_socket->WaitReadable({0, 300'000}), 0);
    const double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.29);
    EXPECT_LT(elapsed, 1.0);

    m_peer.Answer({7});
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(m_socket->WaitReadable({-1, 0}), -1);
    EXPECT_EQ(m_socket->WaitReadable({0, -1}), -1);
    EXPECT_EQ(m_socket->WaitReadable({0, 0}), 1);
}

TEST_F(WinNetworkTest, ShutdownFailsPendingAndLaterCallsUntilRestart) {
    Introduce(*m_socket);
    std::atomic<int> result{2};
    std::atomic<bool> started{false};
    std::thread waiter([&] {
        started = true;
        result = m_socket->WaitReadable({10, 0});
    });
    while (!started.load()) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(100ms);
    const auto shutdownAt = Clock::now();
    m_network.Shutdown();
    waiter.join();
    EXPECT_EQ(result.load(), -1);
    EXPECT_LT(SecondsSince(shutdownAt), 0.5);

    m_peer.Answer({7});
    EXPECT_EQ(m_socket->WaitReadable({10, 0}), -1);
    const std::uint8_t hello[] = {1};
    EXPECT_FALSE(m_socket->SendTo(kLoopback, m_peer.port(), hello, sizeof hello));
    EXPECT_FALSE(m_peer.Hear(200));
    EXPECT_EQ(m_network.OpenUdpSocket(), nullptr);

    // Sockets opened after a restart work; the old one stays shut down.
    m_network.Restart();
    auto fresh = m_network.OpenUdpSocket();
    ASSERT_NE(fresh, nullptr);
    Introduce(*fresh);
    m_peer.Answer({8});
    EXPECT_EQ(fresh->WaitReadable({2, 0}), 1);
    EXPECT_EQ(m_socket->WaitReadable({0, 0}), -1);
}

TEST_F(WinNetworkTest, SocketOutlivingItsNetworkStillWorks) {
    auto network = std::make_unique<WinNetwork>();
    auto socket = network->OpenUdpSocket();
    ASSERT_NE(socket, nullptr);
    network.reset();
    Introduce(*socket);
    EXPECT_EQ(socket->WaitReadable({0, 10'000}), 0);
}

}  // namespace
}  // namespace vindle
