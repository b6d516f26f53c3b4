// What the system networks' core does with the system's answers that a real socket cannot be made
// to give on demand: a send refused for a full buffer. Nothing is sent.

#include "platform/system_network_core.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vindle {
namespace {

using namespace std::chrono_literals;

constexpr int kBufferFull = 1000;
constexpr SystemHandle kSocketHandle = 1;
constexpr SystemHandle kWakeHandle = 2;

// Refuses the first `refusals` sends for a full buffer (all of them when negative).
class FullBufferSystem final : public SocketSystem {
  public:
    explicit FullBufferSystem(int refusals) : m_refusals(refusals) {}

    std::atomic<int> attempts{0};

    std::unique_ptr<SystemSocket> OpenSocket() override { return std::make_unique<Socket>(*this); }
    std::unique_ptr<WakeSignal> OpenWakeSignal() override { return std::make_unique<Wake>(*this); }
    int Poll(const std::vector<SystemHandle>& handles, std::chrono::microseconds timeout,
             std::vector<bool>& readable) override {
        std::this_thread::sleep_for(std::min<std::chrono::microseconds>(timeout, 1ms));
        readable.assign(handles.size(), false);
        for (std::size_t index = 0; index < handles.size(); ++index) {
            readable[index] = handles[index] == kWakeHandle && m_raised.load();
        }
        return 0;
    }
    bool IsBufferFull(int error) override { return error == kBufferFull; }
    std::string ErrorText(int) override { return "buffer full"; }
    std::optional<std::vector<BroadcastInterface>> BroadcastInterfaces() override {
        return std::nullopt;
    }
    std::vector<Ipv4Subnet> InterfaceSubnets() override { return {}; }
    bool TeachesNothing(const ReplyPath&) override { return false; }

  private:
    struct Socket final : SystemSocket {
        explicit Socket(FullBufferSystem& system) : system(system) {}
        SystemHandle Handle() const override { return kSocketHandle; }
        bool EnableBroadcast() override { return true; }
        int SendOnce(Ipv4Address, std::uint16_t, const std::uint8_t*, std::size_t,
                     const ReplyPath*) override {
            const int attempt = system.attempts++;
            return system.m_refusals < 0 || attempt < system.m_refusals ? kBufferFull : 0;
        }
        int Receive(std::uint8_t*, std::size_t, Ipv4Address&, std::optional<ReplyPath>&) override {
            return -1;
        }
        FullBufferSystem& system;
    };
    struct Wake final : WakeSignal {
        explicit Wake(FullBufferSystem& system) : system(system) {}
        SystemHandle Handle() const override { return kWakeHandle; }
        void Raise() override { system.m_raised = true; }
        FullBufferSystem& system;
    };

    const int m_refusals;
    std::atomic<bool> m_raised{false};
};

TEST(SystemNetworkCoreTest, ASendRefusedForAFullBufferIsTriedAgainUntilItGoesOrTheNetworkEnds) {
    const std::uint8_t request[7] = {};
    {
        auto system = std::make_shared<FullBufferSystem>(5);
        SystemNetworkCore network(system);
        auto socket = network.OpenUdpSocket();
        ASSERT_NE(socket, nullptr);
        EXPECT_TRUE(socket->SendTo(0xC6336405u, 3001, request, sizeof request));
        EXPECT_EQ(system->attempts.load(), 6);
        EXPECT_EQ(socket->LastSendReport().errorText, "");
    }

    // A buffer that never drains: Shutdown() ends the send (and does not wait for it forever).
    auto system = std::make_shared<FullBufferSystem>(-1);
    SystemNetworkCore network(system);
    auto socket = network.OpenUdpSocket();
    ASSERT_NE(socket, nullptr);
    std::atomic<int> result{2};
    std::thread sender(
        [&] { result = socket->SendTo(0xC6336405u, 3001, request, sizeof request) ? 1 : 0; });
    while (system->attempts.load() < 3) {
        std::this_thread::yield();
    }
    const auto shutdownAt = std::chrono::steady_clock::now();
    network.Shutdown();
    sender.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - shutdownAt, 3s);
    EXPECT_EQ(socket->LastSendReport().errorText, "buffer full");
}

}  // namespace
}  // namespace vindle
