#include "discovery/search_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "fakes/recording_observer.h"
#include "fakes/search_harness.h"

namespace vindle {
namespace {

using namespace std::chrono_literals;

class SearchSessionTest : public ::testing::Test {
  protected:
    SearchSessionTest() {
        h.network.AddPrinter(MakeFakePrinter("10.1.2.3", "QV-1", "SN1", {0, 1, 2, 3, 4, 5}));
    }

    SearchHarness h;
    RecordingObserver observer;
    SearchSession session{h.settings, h.network, h.list, &observer};
};

TEST_F(SearchSessionTest, StartsTheSearchTheSettingsSelectAndReportsItsEnd) {
    h.WriteBroadcastSettings(6);
    const SearchStart start = session.Start();
    EXPECT_TRUE(start.Started());
    EXPECT_EQ(start.mode, SearchMode::Broadcast);
    session.Wait();
    EXPECT_FALSE(session.Running());
    ASSERT_EQ(observer.Outcomes().size(), 1u);
    EXPECT_EQ(observer.Outcomes()[0].devicesListed, 1);
    EXPECT_EQ(h.list.ColumnTexts(0), std::vector<std::string>{"10.1.2.3"});
    EXPECT_FALSE(session.StopRequested());

    // The next search goes on with the request state the first one left.
    h.WriteSpecifiedSettings(6, {"10.1.2.3"}, {"255.255.255.255"});
    EXPECT_EQ(session.Start().mode, SearchMode::Specified);
    EXPECT_TRUE(session.WaitFor(5s));
    EXPECT_EQ(observer.Outcomes().size(), 2u);
    EXPECT_EQ(session.Requests().discoveryRequest[1], 2);
}

TEST_F(SearchSessionTest, SettingsWithoutAModeStartNothing) {
    h.WriteSettingsText("[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n");
    const SearchStart start = session.Start();
    EXPECT_EQ(start.result, SearchStart::Result::NoSearchMode);
    EXPECT_FALSE(session.Running());
    EXPECT_EQ(h.network.OpenedSocketCount(), 0);
    EXPECT_TRUE(observer.Outcomes().empty());
}

TEST_F(SearchSessionTest, StopEndsTheSearchAtOnceAndTheNextStartOpensTheNetworkAgain) {
    h.WriteBroadcastSettings(120);
    h.network.SetHold(true);
    ASSERT_TRUE(session.Start().Started());
    ASSERT_TRUE(h.network.WaitUntilBlocked(5s));
    EXPECT_TRUE(session.Running());
    session.Stop();
    EXPECT_TRUE(session.WaitFor(5s));
    EXPECT_TRUE(session.StopRequested());
    ASSERT_EQ(observer.Outcomes().size(), 1u);
    EXPECT_EQ(session.EndStatusLine(observer.Outcomes()[0]).brief.rfind("Stopped after ", 0), 0u);

    h.network.SetHold(false);
    ASSERT_TRUE(session.Start().Started());
    session.Wait();
    EXPECT_FALSE(session.StopRequested());
    ASSERT_EQ(observer.Outcomes().size(), 2u);
    EXPECT_EQ(observer.Outcomes()[1].devicesListed, 1);
}

TEST_F(SearchSessionTest, AfterCloseNothingStarts) {
    h.WriteBroadcastSettings(6);
    session.Close();
    EXPECT_EQ(session.Start().result, SearchStart::Result::Closed);
    EXPECT_FALSE(session.Running());
    EXPECT_TRUE(observer.Outcomes().empty());
    EXPECT_EQ(h.network.OpenedSocketCount(), 0);
}

TEST_F(SearchSessionTest, TheThoroughSettingSelectsTheThoroughSearch) {
    h.WriteSettingsText(
        "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
        "[TimeOut]\nTimeVal=3\n[Search]\nThorough=Enabled\n");
    const SearchStart start = session.Start();
    EXPECT_TRUE(start.thorough);
    session.Wait();
    // The repeated discovery request marks the thorough search.
    EXPECT_EQ(h.network.Sends().front().bytes, RequestBytes(1, 0));
    EXPECT_GT(h.network.Sends().size(), 3u);
    ASSERT_EQ(observer.Outcomes().size(), 1u);
    EXPECT_TRUE(observer.Outcomes()[0].thorough);
}

TEST_F(SearchSessionTest, TargetsAreSearchedExactlyWithoutTheSettingsFile) {
    SearchOptions options;
    options.timeoutSeconds = 2;
    // More than the settings file's 20 pairs, in the order given; no local /24 first.
    for (Ipv4Address n = 30; n > 0; --n) {
        options.targets.push_back({0x0A010200u + n, 0xFFFFFFFFu});
    }
    const SearchStart start = session.Start(options);
    EXPECT_EQ(start.mode, SearchMode::Specified);
    EXPECT_FALSE(start.thorough);
    session.Wait();
    const auto sends = h.network.Sends();
    std::vector<Ipv4Address> destinations;
    for (const auto& send : sends) {
        if (send.bytes[0] == 1) {
            destinations.push_back(send.destination);
        }
    }
    ASSERT_EQ(destinations.size(), 30u);
    EXPECT_EQ(destinations.front(), 0x0A01021Eu);
    EXPECT_EQ(destinations.back(), 0x0A010201u);
    EXPECT_EQ(h.list.ColumnTexts(0), std::vector<std::string>{"10.1.2.3"});
    ASSERT_EQ(observer.Outcomes().size(), 1u);
    EXPECT_EQ(observer.Outcomes()[0].timeoutSeconds, 2);
    EXPECT_FALSE(std::filesystem::exists(h.directory.Path() / "QarvVindle.ini"));
}

TEST_F(SearchSessionTest, StopEndsASweepWithinATenthOfASecond) {
    h.network.SetHold(true);
    SearchOptions options;
    options.thorough = true;
    options.targets = {{0x0A090000u, 0xFFFF0000u}};
    ASSERT_TRUE(session.Start(options).thorough);
    ASSERT_TRUE(h.network.WaitUntilBlocked(5s));
    const auto stopAt = std::chrono::steady_clock::now();
    session.Stop();
    EXPECT_TRUE(session.WaitFor(5s));
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 100ms);
    EXPECT_LT(h.network.Sends().size(), 100u);
}

TEST(SearchSessionThreadTest, AThreadThatCannotStartIsReportedAndLeavesNothingRunning) {
    SearchHarness h;
    h.WriteBroadcastSettings(6);
    RecordingObserver observer;
    SearchSession session(h.settings, h.network, h.list, &observer,
                          [](SearchSession::WorkerBody) -> std::thread {
                              throw std::system_error(
                                  std::make_error_code(std::errc::resource_unavailable_try_again));
                          });
    EXPECT_EQ(session.Start().result, SearchStart::Result::NoThread);
    EXPECT_FALSE(session.Running());
    EXPECT_TRUE(session.WaitFor(0ms));
    EXPECT_EQ(h.network.OpenedSocketCount(), 0);
}

}  // namespace
}  // namespace vindle
