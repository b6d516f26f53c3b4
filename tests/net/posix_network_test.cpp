// What only the POSIX network promises, beyond the network contract (tests/contract): nothing is
// sent.

#include "platform/posix/posix_network.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vindle {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

void IgnoreSignal(int) {}

TEST(PosixNetworkTest, SignalsDoNotShortenAWait) {
    PosixNetwork network;
    const auto socket = network.OpenUdpSocket();
    ASSERT_NE(socket, nullptr);
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
    const int result = socket->WaitReadable({0, 700'000});
    const auto elapsed = Clock::now() - start;
    done = true;
    interrupter.join();
    ::sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_EQ(result, 0);
    EXPECT_GE(elapsed, 700ms);
    EXPECT_LT(elapsed, 700ms + 3s);
}

}  // namespace
}  // namespace vindle
