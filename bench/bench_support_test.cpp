// The parts of the benchmarks whose faults would skew a figure rather than fail loudly: the
// round-trip bookkeeping behind the protocol's floor, and the instant network's replies.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "bench/instant_network.h"
#include "bench/timing_network.h"
#include "discovery/protocol.h"
#include "discovery/search_steps.h"
#include "fakes/fake_control.h"
#include "fakes/fake_list_view.h"
#include "fakes/temp_dir.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

using namespace std::chrono_literals;
using Clock = TimingNetwork::Clock;

// A socket whose waits take a set real time and give set results, one per wait, in order.
class ScriptedSocket : public UdpSocket {
  public:
    struct Wait {
        std::chrono::milliseconds duration;
        int result;
    };
    explicit ScriptedSocket(std::vector<Wait> waits) : m_waits(std::move(waits)) {}

    bool EnableBroadcast() override { return true; }
    bool SendTo(Ipv4Address, std::uint16_t, const std::uint8_t*, std::size_t) override {
        return true;
    }
    int WaitReadable(WaitTime) override {
        const Wait wait = m_waits.at(m_next++);
        std::this_thread::sleep_for(wait.duration);
        return wait.result;
    }
    int ReceiveFrom(std::uint8_t*, std::size_t, Ipv4Address&) override { return 7; }
    SendReport LastSendReport() const override { return {}; }

  private:
    std::vector<Wait> m_waits;
    std::size_t m_next = 0;
};

class ScriptedNetwork : public Network {
  public:
    std::vector<std::vector<ScriptedSocket::Wait>> scripts;  // one per socket opened, in order

    std::unique_ptr<UdpSocket> OpenUdpSocket() override {
        return std::make_unique<ScriptedSocket>(scripts.at(m_opened++));
    }
    void Shutdown() override {}
    void Restart() override {}
    std::optional<Ipv4Address> LocalAddress() override { return std::nullopt; }

  private:
    std::size_t m_opened = 0;
};

TEST(TimingNetworkTest, SeparatesProbeRoundTripsFromTheSearchSocketsWaits) {
    ScriptedNetwork inner;
    inner.scripts = {{{1ms, 1}, {20ms, 0}},   // search socket: one reply, then the quiet wait
                     {{5ms, 1}, {200ms, 0}},  // probe: serial number answered, MAC not
                     {{0ms, 1}}};             // a wait with no request before it
    TimingNetwork network(inner);
    std::uint8_t request[7] = {};

    auto search = network.OpenUdpSocket();
    search->EnableBroadcast();
    search->SendTo(kLimitedBroadcast, 3001, request, sizeof request);
    std::uint8_t buffer[21];
    Ipv4Address sender = 0;
    EXPECT_EQ(search->WaitReadable({6, 0}), 1);
    search->ReceiveFrom(buffer, sizeof buffer, sender);

    auto probe = network.OpenUdpSocket();
    probe->SendTo(1, 3001, request, sizeof request);
    EXPECT_EQ(probe->WaitReadable({1, 0}), 1);
    probe->ReceiveFrom(buffer, sizeof buffer, sender);
    probe->SendTo(1, 3001, request, sizeof request);
    EXPECT_EQ(probe->WaitReadable({1, 0}), 0);
    EXPECT_EQ(search->WaitReadable({6, 0}), 0);
    network.OpenUdpSocket()->WaitReadable({1, 0});

    const TimingNetwork::Summary summary = network.Collect();
    ASSERT_EQ(summary.probeRoundTrips.size(), 1u);
    EXPECT_GE(summary.probeRoundTrips[0], 5ms);
    EXPECT_LT(summary.probeRoundTrips[0], 150ms);
    EXPECT_EQ(summary.probeTimeouts, 1);
    EXPECT_GE(summary.probeTimeoutTotal, 200ms);
    EXPECT_GE(summary.lastQuietWait, 20ms);
    // This thread mostly slept: its CPU time is there, and far below the time it waited.
    EXPECT_GT(summary.searchThreadCpu, Clock::duration::zero());
    EXPECT_LT(summary.searchThreadCpu, 20ms);
    EXPECT_LE(summary.searchThreadSystemCpu, summary.searchThreadCpu);
    EXPECT_EQ(summary.searchReplies, 1);
    EXPECT_EQ(summary.socketsOpened, 3);
}

TEST(TimingNetworkTest, FloorAddsQuietPeriodRoundTripsTimeoutsAndOneMedianTrip) {
    TimingNetwork::Summary summary;
    summary.probeRoundTrips = {9ms, 1ms, 2ms};
    summary.probeTimeoutTotal = 1000ms;
    const ProtocolFloor floor = ComputeProtocolFloor(summary, 6s);
    EXPECT_EQ(floor.roundTripSum, Clock::duration(12ms));
    EXPECT_EQ(floor.medianRoundTrip, Clock::duration(2ms));
    EXPECT_EQ(floor.total, Clock::duration(6000ms + 12ms + 1000ms + 2ms));

    const ProtocolFloor empty = ComputeProtocolFloor(TimingNetwork::Summary{}, 6s);
    EXPECT_EQ(empty.total, Clock::duration(6s));
}

// The reply-handling benchmark must time the path of a complete device, not a failure path.
TEST(InstantNetworkTest, RepliesAsAPrinterSoTheDeviceIsListedComplete) {
    ScopedTempDir directory;
    WriteFile(directory.Path() / kSettingsFileName,
              "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n");

    InstantNetwork network;
    InstantNetwork::Printer printer;
    printer.address = 0xC6120005;  // 198.18.0.5
    std::memcpy(printer.model.data(), "QV-2200", 7);
    std::memcpy(printer.serial.data(), "QV22A000117", 11);
    printer.mac = {0x02, 0x1A, 0x2B, 0x0C, 0x4D, 0x5E};
    network.AddPrinter(printer);

    FakeListView list;
    list.AppendRow({"198.18.0.9", "", "", ""});
    RequestState requests;
    SearchContext context;
    context.listControl = &list;
    context.network = &network;
    context.requests = &requests;
    const Settings settings = Settings::InWorkingDirectory();
    context.settings = &settings;
    std::unique_ptr<InstantNetwork::Socket> ownSocket = network.OpenSearchSocket();
    InstantNetwork::Socket* search = ownSocket.get();
    context.socket = std::move(ownSocket);
    search->Queue(InstantNetwork::BuildReply(printer, requests.discoveryRequest), printer.address);

    EXPECT_EQ(search->WaitReadable({6, 0}), 1);
    EXPECT_EQ(ReceiveOneReply(context, 1, false, 0), 1);
    EXPECT_EQ(search->WaitReadable({6, 0}), 0);
    ASSERT_EQ(list.ItemCount(), 2);
    const auto rows = list.Rows();
    EXPECT_EQ(rows[0].texts, (std::array<std::string, 4>{"198.18.0.5", "02:1a:2b:0c:4d:5e",
                                                         "QV-2200", "QV22A000117"}));
}

}  // namespace
}  // namespace vindle
