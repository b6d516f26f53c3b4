// The socket layer over real UDP sockets on 127.0.0.1 only.

#include "platform/posix/posix_network.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace vindle {
namespace {

// Upper bound for a call that must return at once or end a wait early. Generous, so that a
// loaded machine never fails it; the waits it guards against last 10 s or forever.
constexpr double kPromptly = 3.0;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr Ipv4Address kLoopback = 0x7F000001u;

// A plain socket bound to 127.0.0.1 that plays the far end.
class LoopbackPeer {
  public:
    LoopbackPeer() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(kLoopback);
        socklen_t length = sizeof local;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length);
            m_port = ntohs(local.sin_port);
        }
    }
    ~LoopbackPeer() { ::close(m_fd); }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    std::uint16_t port() const { return m_port; }

    // Waits for the socket under test to say something, and remembers where it is.
    bool Hear(int timeoutMs = 2000) {
        timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        std::uint8_t scratch[2048];
        socklen_t length = sizeof m_client;
        return ::recvfrom(m_fd, scratch, sizeof scratch, 0, reinterpret_cast<sockaddr*>(&m_client),
                          &length) >= 0;
    }

    void Answer(const std::vector<std::uint8_t>& bytes) {
        ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&m_client),
                 sizeof m_client);
    }

  private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
    sockaddr_in m_client{};
};

class PosixNetworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(m_peer.port(), 0) << "cannot bind the loopback peer";
        m_socket = m_network.OpenUdpSocket();
        ASSERT_NE(m_socket, nullptr);
    }

    // The socket is never bound: its first send picks the port the peer answers to.
    void Introduce() {
        const std::uint8_t hello[] = {1, 2, 3};
        ASSERT_TRUE(m_socket->SendTo(kLoopback, m_peer.port(), hello, sizeof hello));
        ASSERT_TRUE(m_peer.Hear());
    }

    static double SecondsSince(Clock::time_point start) {
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

    LoopbackPeer m_peer;
    PosixNetwork m_network;
    std::unique_ptr<UdpSocket> m_socket;
};

TEST_F(PosixNetworkTest, DatagramsUpToCapacityArriveWithTheirSender) {
    Introduce();
    const std::vector<std::uint8_t> exact(15, 0x41);
    m_peer.Answer(exact);
    m_peer.Answer({});
    ASSERT_EQ(m_socket->WaitReadable({2, 0}), 1);

    std::uint8_t buffer[15] = {};
    Ipv4Address sender = 0;
    EXPECT_EQ(m_socket->ReceiveFrom(buffer, sizeof buffer, sender), 15);
    EXPECT_EQ(sender, kLoopback);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 15), exact);
    ASSERT_EQ(m_socket->WaitReadable({2, 0}), 1);
    EXPECT_EQ(m_socket->ReceiveFrom(buffer, sizeof buffer, sender), 0);
}

TEST_F(PosixNetworkTest, TooLongDatagramFailsAndLeavesBufferUntouched) {
    Introduce();
    m_peer.Answer(std::vector<std::uint8_t>(16, 0x41));
    m_peer.Answer({0x01, 0x02});
    ASSERT_EQ(m_socket->WaitReadable({2, 0}), 1);

    std::uint8_t buffer[15];
    std::memset(buffer, 0xEE, sizeof buffer);
    Ipv4Address sender = 0xDEADBEEF;
    EXPECT_EQ(m_socket->ReceiveFrom(buffer, sizeof buffer, sender), -1);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 15), std::vector<std::uint8_t>(15, 0xEE));
    EXPECT_EQ(sender, 0xDEADBEEFu);

    // The long datagram is gone; the next one is read normally.
    ASSERT_EQ(m_socket->WaitReadable({2, 0}), 1);
    EXPECT_EQ(m_socket->ReceiveFrom(buffer, sizeof buffer, sender), 2);
    EXPECT_EQ(buffer[0], 0x01);
    EXPECT_EQ(buffer[1], 0x02);
    EXPECT_EQ(buffer[2], 0xEE);
}

TEST_F(PosixNetworkTest, ReceiveWithNothingQueuedFailsInsteadOfBlocking) {
    Introduce();
    std::uint8_t buffer[4];
    Ipv4Address sender = 0;
    const auto start = Clock::now();
    EXPECT_EQ(m_socket->ReceiveFrom(buffer, sizeof buffer, sender), -1);
    EXPECT_LT(SecondsSince(start), kPromptly);
}

TEST_F(PosixNetworkTest, WaitTimesOutAfterItsLimit) {
    Introduce();
    auto start = Clock::now();
    EXPECT_EQ(m_socket->WaitReadable({0, 0}), 0);
    EXPECT_LT(SecondsSince(start), kPromptly);

    start = Clock::now();
    EXPECT_EQ(m_socket->WaitReadable({0, 250'000}), 0);
    EXPECT_GE(SecondsSince(start), 0.25);
    EXPECT_LT(SecondsSince(start), kPromptly);

    // Microseconds of a second or more stand for whole seconds: 1.3 s in all.
    start = Clock::now();
    EXPECT_EQ(m_socket->WaitReadable({0, 1'300'000}), 0);
    EXPECT_GE(SecondsSince(start), 1.3);
    EXPECT_LT(SecondsSince(start), 1.3 + kPromptly);
}

TEST_F(PosixNetworkTest, ZeroWaitSeesQueuedDatagram) {
    Introduce();
    m_peer.Answer({7});
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(m_socket->WaitReadable({0, 0}), 1);
}

TEST_F(PosixNetworkTest, NegativeWaitFailsAtOnceEvenWithDataQueued) {
    Introduce();
    m_peer.Answer({7});
    std::this_thread::sleep_for(50ms);
    for (const WaitTime limit : {WaitTime{-1, 0}, WaitTime{0, -1}, WaitTime{10, -1}}) {
        const auto start = Clock::now();
        EXPECT_EQ(m_socket->WaitReadable(limit), -1);
        EXPECT_LT(SecondsSince(start), kPromptly);
    }
}

void IgnoreSignal(int) {}

TEST_F(PosixNetworkTest, SignalsDoNotShortenAWait) {
    Introduce();
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = IgnoreSignal;  // no SA_RESTART: the wait sees EINTR
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

    const pthread_t waiter = ::pthread_self();
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        while (!done.load()) {
            std::this_thread::sleep_for(60ms);
            if (!done.load()) {
                ::pthread_kill(waiter, SIGUSR1);
            }
        }
    });
    const auto start = Clock::now();
    const int result = m_socket->WaitReadable({0, 700'000});
    const double elapsed = SecondsSince(start);
    done = true;
    interrupter.join();
    ::sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_EQ(result, 0);
    EXPECT_GE(elapsed, 0.7);
    EXPECT_LT(elapsed, 0.7 + kPromptly);
}

TEST_F(PosixNetworkTest, ShutdownWakesAPendingWaitAtOnce) {
    Introduce();
    std::atomic<int> result{2};
    std::atomic<bool> started{false};
    Clock::time_point woke;
    std::thread waiter([&] {
        started = true;
        result = m_socket->WaitReadable({10, 0});
        woke = Clock::now();
    });
    while (!started.load()) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(100ms);
    const auto shutdownAt = Clock::now();
    m_network.Shutdown();
    waiter.join();

    EXPECT_EQ(result.load(), -1);
    EXPECT_LT(std::chrono::duration<double>(woke - shutdownAt).count(), kPromptly);
}

TEST_F(PosixNetworkTest, AfterShutdownWaitsSendsAndOpensFail) {
    Introduce();
    m_peer.Answer({7});
    std::this_thread::sleep_for(50ms);
    m_network.Shutdown();
    m_network.Shutdown();  // a second call changes nothing

    const auto start = Clock::now();
    EXPECT_EQ(m_socket->WaitReadable({10, 0}), -1);
    EXPECT_LT(SecondsSince(start), kPromptly);
    const std::uint8_t hello[] = {1};
    EXPECT_FALSE(m_socket->SendTo(kLoopback, m_peer.port(), hello, sizeof hello));
    EXPECT_FALSE(m_peer.Hear(200));
    EXPECT_EQ(m_network.OpenUdpSocket(), nullptr);
}

TEST_F(PosixNetworkTest, SocketOutlivingItsNetworkStillWorks) {
    auto network = std::make_unique<PosixNetwork>();
    auto socket = network->OpenUdpSocket();
    ASSERT_NE(socket, nullptr);
    network.reset();
    const std::uint8_t hello[] = {1};
    EXPECT_TRUE(socket->SendTo(kLoopback, m_peer.port(), hello, sizeof hello));
    EXPECT_TRUE(m_peer.Hear());
    EXPECT_EQ(socket->WaitReadable({0, 10'000}), 0);
}

}  // namespace
}  // namespace vindle
