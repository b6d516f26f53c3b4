// main() of the LAN tests: it refuses to run outside scripts/lan-sandbox (nothing may be
// broadcast on a real network), and runs the printer simulator for the whole test program.

#include "tests/net/lan_test_support.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/posix_network.h"
#include "tests/net/sandbox_check.h"

namespace vindle::lan_test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSkipStatus = 77;
constexpr Ipv4Address kReadinessPrinter = Ip(198, 51, 100, 10);

// The simulator as a child process for the whole test program.
class SimulatorEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        m_pid = ::fork();
        ASSERT_GE(m_pid, 0) << "fork failed";
        if (m_pid == 0) {
            const bool verbose = std::getenv("VINDLE_SIM_VERBOSE") != nullptr;
            const char* arguments[] = {VINDLE_PRINTER_SIM, "--config", VINDLE_LAN_PRINTERS_CONF,
                                       verbose ? "--verbose" : nullptr, nullptr};
            ::execv(VINDLE_PRINTER_SIM, const_cast<char* const*>(arguments));
            std::perror("exec " VINDLE_PRINTER_SIM);
            ::_exit(127);
        }
        ASSERT_TRUE(WaitUntilAnswering()) << "the printer simulator did not start answering";
    }

    void TearDown() override {
        if (m_pid <= 0) {
            return;
        }
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "the simulator did not stop cleanly on SIGTERM (status " << status << ")";
    }

  private:
    static bool WaitUntilAnswering() {
        PosixNetwork network;
        const auto socket = network.OpenUdpSocket();
        const std::vector<std::uint8_t> request = RequestOfKind(1);
        for (int attempt = 0; attempt < 100 && socket; ++attempt) {
            socket->SendTo(kReadinessPrinter, kPrinterPort, request.data(), request.size());
            if (socket->WaitReadable({0, 50'000}) == 1) {
                std::uint8_t reply[64];
                Ipv4Address sender = 0;
                socket->ReceiveFrom(reply, sizeof reply, sender);
                return true;
            }
        }
        return false;
    }

    pid_t m_pid = -1;
};

}  // namespace

std::vector<Reply> CollectReplies(UdpSocket& socket, std::chrono::milliseconds window) {
    std::vector<Reply> replies;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + window;
    for (Clock::time_point now = start; now < end; now = Clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - now);
        if (socket.WaitReadable({0, static_cast<long>(left.count())}) != 1) {
            continue;
        }
        Reply reply;
        reply.bytes.resize(2048);
        const int length = socket.ReceiveFrom(reply.bytes.data(), reply.bytes.size(), reply.sender);
        if (length < 0) {
            ADD_FAILURE() << "receive failed";
            break;
        }
        reply.bytes.resize(static_cast<std::size_t>(length));
        reply.arrival = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        replies.push_back(std::move(reply));
    }
    return replies;
}

std::vector<std::uint8_t> RequestOfKind(int kind) {
    static constexpr std::uint8_t kSelectors[] = {0x22, 0x21, 0x23};
    return {static_cast<std::uint8_t>(kind), 0, 0, 0, 0x1B, 0x6E, kSelectors[kind - 1]};
}

}  // namespace vindle::lan_test

int main(int argc, char** argv) {
    if (!vindle::CheckInsideLanSandbox(argv[0], VINDLE_LAN_PRINTERS_CONF)) {
        return vindle::lan_test::kSkipStatus;
    }
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new vindle::lan_test::SimulatorEnvironment);
    return RUN_ALL_TESTS();
}
