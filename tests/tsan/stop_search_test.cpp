// The status line and "Stop" of the main window, with real clicks, at each moment of a search.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/qt/qarv_vindle_dlg.h"
#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"
#include "gui_test_support.h"
#include "platform/ipv4_text.h"
#include "settings/settings_file.h"
#include "tsan/reply_pause_network.h"

namespace vindle {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

constexpr std::int64_t kSecond = 1000000;

std::string SpecifiedSettings(const std::string& addresses, const std::string& masks) {
    return "[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\nStatus=Enabled\nIPAddress=" +
           addresses + "\nSubnet=" + masks + "\n[TimeOut]\nTimeVal=6\n";
}

class StopSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(m_dir.Path() / kSettingsFileName,
                  "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
                  "[TimeOut]\nTimeVal=6\n");
    }
    void TearDown() override { m_dlg.reset(); }

    void AddPrinter(const char* address, std::int64_t delayMicros) {
        FakePrinter printer = MakeFakePrinter(address, "QV-100", "SN", {0, 0x1b, 0x6e, 0, 0, 1});
        printer.discovery.delayMicros = delayMicros;
        m_network.AddPrinter(printer);
    }
    void Open(Network& network) {
        m_dlg = std::make_unique<CQarvVindleDlg>(network, m_settings);
        ASSERT_TRUE(test::ShowAndActivate(*m_dlg));
    }
    QPushButton* Retrieve() { return test::RetrieveButton(*m_dlg); }
    QPushButton* Stop() { return m_dlg->findChild<QPushButton*>("stopButton"); }
    QTreeWidget* List() { return test::DeviceList(*m_dlg); }
    std::string Status() { return m_dlg->StatusText().toStdString(); }
    bool Searching() { return Stop()->isVisible() && List()->cursor().shape() == Qt::BusyCursor; }

    // Clicks "Stop" and waits for the search to give "Retrieve" back.
    void ClickStop() {
        ASSERT_TRUE(Stop()->isVisible());
        QTest::mouseClick(Stop(), Qt::LeftButton);
        ASSERT_TRUE(test::ProcessEventsUntil([this] { return Retrieve()->isEnabled(); }));
        EXPECT_EQ(Status().rfind("Stopped after ", 0), 0u) << Status();
        EXPECT_FALSE(Searching());
    }

    ScopedTempDir m_dir;
    Settings m_settings = Settings::InFolder(m_dir.Path());
    FakeNetwork m_network;
    test::ReplyPauseNetwork m_pause{m_network};
    test::ProbeHoldNetwork m_probeHold{m_network};
    // Last, so that the window goes before the networks it uses.
    std::unique_ptr<CQarvVindleDlg> m_dlg;
};

TEST_F(StopSearchTest, StatusLineFollowsTheSearchFromIdleToItsOutcome) {
    AddPrinter("198.51.100.20", kSecond);
    AddPrinter("198.51.100.10", 2 * kSecond);
    m_pause.PauseBeforeWait(2);
    Open(m_pause);
    EXPECT_EQ(Status(), "Press Retrieve to search for printers.");
    EXPECT_FALSE(Stop()->isVisible());

    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    ASSERT_TRUE(test::ProcessEventsUntil([&] {
        return m_pause.IsPaused() && Status() ==
                                         "Searching by broadcast: 1 printer so far, "
                                         "time-out 6 s";
    })) << Status();
    EXPECT_TRUE(Searching());

    m_pause.Resume();
    ASSERT_TRUE(test::ProcessEventsUntil([this] { return Retrieve()->isEnabled(); }));
    EXPECT_THAT(Status(), ::testing::MatchesRegex("2 printers found in [0-9]+\\.[0-9] s"));
    EXPECT_FALSE(Searching());
    ASSERT_TRUE(m_dlg->LastOutcome().has_value());
    EXPECT_EQ(m_dlg->LastOutcome()->devicesListed, 2);
}

TEST_F(StopSearchTest, SearchesThatFindNothingSayWhy) {
    Open(m_network);
    ASSERT_TRUE(test::RunSearch(*m_dlg));
    EXPECT_EQ(Status(), "No printer answered within 6 s");

    m_network.FailSendsAfter(0);
    ASSERT_TRUE(test::RunSearch(*m_dlg));
    EXPECT_EQ(Status(), "The search request could not be sent: Network is unreachable");
    m_network.FailSendsAfter(-1);

    m_network.SetOpenFails(true);
    ASSERT_TRUE(test::RunSearch(*m_dlg));
    EXPECT_EQ(Status(), "The search could not open a network socket");
    m_network.SetOpenFails(false);

    WriteFile(m_dir.Path() / kSettingsFileName, SpecifiedSettings("10.1.2.3", ""));
    ASSERT_TRUE(test::RunSearch(*m_dlg));
    EXPECT_EQ(Status(),
              "No addresses to search: add them in Tool > Configuration, or choose the "
              "broadcast search there");

    WriteFile(m_dir.Path() / kSettingsFileName, "[BroadCast]\nStatus=Disabled\n");
    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    EXPECT_TRUE(Retrieve()->isEnabled());
    EXPECT_EQ(Status(),
              "No search mode is set: in QarvVindle.ini set [BroadCast] Status or "
              "[SearchSpecifiedAddress] Status to Enabled (Tool > Configuration)");
}

TEST_F(StopSearchTest, StopWhileWaitingForRepliesKeepsTheRowsAndTheNextSearchRuns) {
    AddPrinter("198.51.100.20", kSecond);
    AddPrinter("198.51.100.10", 2 * kSecond);
    m_pause.PauseBeforeWait(2);
    Open(m_pause);
    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    ASSERT_TRUE(test::ProcessEventsUntil(
        [&] { return m_pause.IsPaused() && test::ColumnTexts(*List(), 0).size() == 1; }));

    ClickStop();
    EXPECT_EQ(test::ColumnTexts(*List(), 0), Texts{"198.51.100.20"});
    EXPECT_EQ(m_network.OpenSocketCount(), 0);

    // The next search opens fresh sockets and runs to its end.
    ASSERT_TRUE(test::RunSearch(*m_dlg));
    EXPECT_EQ(test::ColumnTexts(*List(), 0), (Texts{"198.51.100.10", "198.51.100.20"}));
    EXPECT_EQ(Status().find("2 printers found"), 0u) << Status();
}

TEST_F(StopSearchTest, StopInTheMiddleOfADetailProbe) {
    AddPrinter("198.51.100.20", kSecond);
    Open(m_probeHold);
    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    ASSERT_TRUE(m_probeHold.WaitUntilProbeHeld(5000ms));

    ClickStop();
    // The probe's answer never came, so the printer is not listed.
    EXPECT_TRUE(test::ColumnTexts(*List(), 0).empty());
    EXPECT_EQ(m_network.OpenSocketCount(), 0);
}

TEST_F(StopSearchTest, StopBetweenDestinationsSendsToNoFurtherDestination) {
    WriteFile(m_dir.Path() / kSettingsFileName,
              SpecifiedSettings("203.0.113.0,198.18.0.0", "255.255.255.0,255.255.255.0"));
    m_pause.PauseBeforeWait(2);  // the local subnet's wait passed quietly; the next is sent to
    Open(m_pause);
    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    ASSERT_TRUE(test::ProcessEventsUntil([&] {
        return m_pause.IsPaused() && Status() ==
                                         "Searching 203.0.113.0/255.255.255.0 (2 of 3): "
                                         "0 printers so far, time-out 6 s";
    })) << Status();

    ClickStop();
    // The last destination's request was refused on the stopped network: nothing went out.
    const auto sends = m_network.Sends();
    ASSERT_EQ(sends.size(), 3u);
    EXPECT_EQ(FormatIpv4(sends[1].destination), "203.0.113.255");
    EXPECT_TRUE(sends[1].accepted);
    EXPECT_FALSE(sends[2].accepted);
}

}  // namespace
}  // namespace vindle
