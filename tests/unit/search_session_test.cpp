#include "discovery/search_session.h"

#include <gtest/gtest.h>

#include <chrono>
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
    EXPECT_EQ(session.EndStatusText(observer.Outcomes()[0]).rfind("Stopped after ", 0), 0u);

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
