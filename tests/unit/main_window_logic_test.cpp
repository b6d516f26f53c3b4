#include "discovery/main_window_logic.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <map>
#include <system_error>

#include "discovery/device_list_rules.h"
#include "discovery/search_status_text.h"
#include "fakes/search_harness.h"

namespace vindle {
namespace {

using namespace std::chrono_literals;

// Records what the logic asks of the window; posted tasks wait until the test runs them.
class FakeMainWindowView : public MainWindowView {
  public:
    void EnableControl(MainControl control, bool enabled) override {
        enabledState[control] = enabled;
        // As in the toolkits, a disabled control loses the focus.
        if (!enabled && focus == control) {
            focus.reset();
        }
    }
    void ShowControl(MainControl control, bool shown) override { shownState[control] = shown; }
    bool HasFocus(MainControl control) override { return focus == control; }
    void SetFocus(MainControl control) override { focus = control; }
    void ShowBusyCursor(bool on) override { busy = on; }
    void ShowStatus(const std::string& brief, const std::string& full) override {
        status = brief;
        statusTip = full;
        statusHistory.push_back(brief);
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool OpenAddress(const std::string& url) override {
        opened.push_back(url);
        return browserStarts;
    }
    bool PutOnClipboard(const std::string& text) override {
        if (clipboardWorks) {
            clipboard = text;
        }
        return clipboardWorks;
    }
    std::optional<SaveFileChoice> AskSaveFileName() override { return saveChoice; }
    void Post(Task task) override {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }

    // Runs the tasks posted so far, oldest first; returns how many ran.
    int RunPosted() {
        std::deque<Task> tasks;
        {
            std::lock_guard lock(m_mutex);
            tasks.swap(m_tasks);
        }
        for (Task& task : tasks) {
            task();
        }
        return static_cast<int>(tasks.size());
    }

    bool Enabled(MainControl control) { return enabledState[control]; }
    bool Shown(MainControl control) { return shownState[control]; }

    std::map<MainControl, bool> enabledState;
    std::map<MainControl, bool> shownState;
    std::optional<MainControl> focus;
    bool busy = false;
    std::string status;
    std::string statusTip;
    std::vector<std::string> statusHistory;
    std::vector<std::string> messages;
    std::vector<std::string> opened;
    bool browserStarts = true;
    std::string clipboard = "before";
    bool clipboardWorks = true;
    std::optional<SaveFileChoice> saveChoice;

  private:
    std::mutex m_mutex;
    std::deque<Task> m_tasks;
};

class MainWindowLogicTest : public ::testing::Test {
  protected:
    MainWindowLogicTest() {
        h.network.AddPrinter(MakeFakePrinter("10.1.2.3", "QV-1", "SN1", {0, 1, 2, 3, 4, 5}));
        h.network.AddPrinter(MakeFakePrinter("10.1.2.20", "QV-2", "SN2", {0, 1, 2, 3, 4, 6}));
        logic.OnInitDialog(SettingsStartup{});
    }

    // Three rows in the list's order, the first and the last selected.
    void FillRows() {
        MemoryListView& rows = logic.Rows();
        rows.AppendRow({"10.0.0.9", "02:00:00:00:00:09", "QV-9", "SN\xe9"});
        rows.AppendRow({"10.0.0.1", "02:00:00:00:00:01", "QV-1", "SN1"});
        rows.AppendRow({"10.0.0.5", "02:00:00:00:00:05", "QV-5", "SN5"});
        rows.SetRowState(0, {.selected = true});
        rows.SetRowState(2, {.selected = true});
    }

    SearchHarness h;
    FakeMainWindowView view;
    MainWindowLogic logic{view, h.network, h.settings};
};

TEST_F(MainWindowLogicTest, ARetrieveRunsOneSearchAndGivesTheButtonBackWhenItsEndIsShown) {
    EXPECT_EQ(view.status, IdleStatusText());
    EXPECT_FALSE(view.Enabled(MainControl::Browse));
    EXPECT_FALSE(view.Shown(MainControl::Stop));

    h.WriteBroadcastSettings(6);
    logic.OnRetrieve();
    EXPECT_EQ(view.status, "Searching...");
    EXPECT_FALSE(view.Enabled(MainControl::Retrieve));
    EXPECT_TRUE(view.Shown(MainControl::Stop));
    EXPECT_TRUE(view.Enabled(MainControl::Stop));
    EXPECT_TRUE(view.busy);
    logic.OnRetrieve();  // while disabled: no second search
    logic.FinishSearch();
    EXPECT_FALSE(view.Enabled(MainControl::Retrieve));  // until the end is shown

    logic.OnHeaderItemClick(3, 0);
    view.focus = MainControl::Stop;
    view.RunPosted();
    EXPECT_EQ(view.status.rfind("2 printers found in ", 0), 0u) << view.status;
    EXPECT_TRUE(view.Enabled(MainControl::Retrieve));
    EXPECT_FALSE(view.Shown(MainControl::Stop));
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(view.focus, MainControl::DeviceList);
    ASSERT_TRUE(logic.LastOutcome());
    EXPECT_EQ(logic.LastOutcome()->devicesListed, 2);
    EXPECT_EQ(logic.Rows().ItemCount(), 2);
    // The rows are placed by address; the last sort is remembered for the next click.
    EXPECT_EQ(logic.Rows().ItemText(0, 0), "10.1.2.3");
    EXPECT_EQ(logic.SortColumn(), 3);
}

TEST_F(MainWindowLogicTest, ARetrieveThatStartsNothingSaysWhyAndGivesTheButtonBackAtOnce) {
    h.WriteSettingsText("[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n");
    logic.OnRetrieve();
    EXPECT_EQ(view.status, NoSearchModeStatusText());
    EXPECT_TRUE(view.Enabled(MainControl::Retrieve));
    EXPECT_FALSE(view.Shown(MainControl::Stop));
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(view.RunPosted(), 0);
    // The mode is read at every Retrieve: a mended file makes the next one search.
    h.WriteBroadcastSettings(6);
    logic.OnRetrieve();
    logic.FinishSearch();
    view.RunPosted();
    EXPECT_TRUE(logic.LastOutcome());

    FakeMainWindowView noThreadView;
    MainWindowLogic noThread(
        noThreadView, h.network, h.settings, [](SearchSession::WorkerBody) -> std::thread {
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        });
    noThread.OnRetrieve();
    EXPECT_EQ(noThreadView.status, "The search could not be started: no thread is available");
    EXPECT_TRUE(noThreadView.Enabled(MainControl::Retrieve));
}

TEST_F(MainWindowLogicTest, ProgressWaitingToBeShownIsMergedIntoTheLatest) {
    h.WriteSpecifiedSettings(6, {"10.1.2.3", "10.1.2.20"}, {"255.255.255.255", "255.255.255.255"});
    logic.OnRetrieve();
    logic.FinishSearch();
    // Many reports, but one progress call waiting with the end.
    EXPECT_EQ(logic.PostedReports(), 2);
    view.RunPosted();
    ASSERT_EQ(view.statusHistory.size(), 4u);
    EXPECT_EQ(
        view.statusHistory[2].rfind("Searching 10.1.2.20/255.255.255.255 (3 of 3): 2 printers", 0),
        0u)
        << view.statusHistory[2];
    EXPECT_EQ(view.statusHistory[3].rfind("2 printers found in ", 0), 0u);
}

TEST_F(MainWindowLogicTest, StopEndsTheSearchAndOnlyItsEndIsShown) {
    h.WriteBroadcastSettings(120);
    h.network.SetHold(true);
    logic.OnRetrieve();
    ASSERT_TRUE(h.network.WaitUntilBlocked(5s));
    logic.OnStop();
    EXPECT_FALSE(view.Enabled(MainControl::Stop));
    logic.FinishSearch();
    view.RunPosted();
    EXPECT_EQ(view.status.rfind("Stopped after ", 0), 0u) << view.status;
    EXPECT_TRUE(view.Enabled(MainControl::Retrieve));
}

TEST_F(MainWindowLogicTest, AfterCloseNothingStartsAndNothingMoreIsShown) {
    h.WriteBroadcastSettings(120);
    h.network.SetHold(true);
    logic.OnRetrieve();
    ASSERT_TRUE(h.network.WaitUntilBlocked(5s));
    logic.OnClose();
    logic.FinishSearch();
    const std::string shown = view.status;
    view.RunPosted();
    EXPECT_EQ(view.status, shown);
    logic.OnRetrieve();
    EXPECT_FALSE(logic.Searching());
    EXPECT_EQ(view.status, shown);
}

TEST_F(MainWindowLogicTest, BrowseOpensTheFirstSelectedRowOnceASelectionEnabledIt) {
    FillRows();
    logic.OnListItemChanged(-1);
    EXPECT_FALSE(view.Enabled(MainControl::Browse));
    logic.OnListItemChanged(0);
    logic.OnListItemChanged(-1);
    EXPECT_TRUE(view.Enabled(MainControl::Browse));

    logic.OnBrowse();
    logic.OpenRowWebPage(1);
    logic.OpenWebPage("not an address");
    EXPECT_EQ(view.opened, (std::vector<std::string>{"http://10.0.0.9", "http://10.0.0.1"}));

    view.browserStarts = false;
    logic.OpenWebPage("10.0.0.5");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], NoBrowserMessage("http://10.0.0.5"));

    logic.Rows().SetRowState(0, {});
    logic.Rows().SetRowState(2, {});
    logic.OnBrowse();
    EXPECT_EQ(view.opened.size(), 3u);
}

TEST_F(MainWindowLogicTest, LeftHeaderClicksSortAscendingThenDescending) {
    FillRows();
    logic.OnHeaderItemClick(0, 1);
    EXPECT_EQ(logic.SortColumn(), -1);
    logic.OnHeaderItemClick(0, 0);
    EXPECT_TRUE(logic.SortAscending());
    EXPECT_EQ(logic.Rows().ItemText(0, 0), "10.0.0.1");
    logic.OnHeaderItemClick(0, 0);
    EXPECT_FALSE(logic.SortAscending());
    EXPECT_EQ(logic.Rows().ItemText(0, 0), "10.0.0.9");
    EXPECT_TRUE(logic.Rows().RowState(0).selected);  // the selection travels with its row
    logic.OnHeaderItemClick(2, 0);
    EXPECT_EQ(logic.SortColumn(), 2);
    EXPECT_TRUE(logic.SortAscending());
}

TEST_F(MainWindowLogicTest, CopyPutsTheSelectedRowsOnTheClipboardInTheListsOrder) {
    FillRows();
    logic.CopySelectedRows();
    EXPECT_EQ(view.clipboard,
              "IP Address\tMAC Address\tModel number\tSerial number\n"
              "10.0.0.9\t02:00:00:00:00:09\tQV-9\tSN\xc3\xa9\n"
              "10.0.0.5\t02:00:00:00:00:05\tQV-5\tSN5\n");
    logic.CopySelectedColumn(3);
    EXPECT_EQ(view.clipboard, "SN\xc3\xa9\nSN5");

    view.clipboardWorks = false;
    logic.CopySelectedColumn(0);
    EXPECT_EQ(view.status, "The clipboard cannot be used: nothing was copied");

    view.clipboardWorks = true;
    logic.Rows().SetRowState(0, {});
    logic.Rows().SetRowState(2, {});
    logic.CopySelectedRows();
    logic.CopySelectedColumn(0);
    EXPECT_EQ(view.clipboard, "SN\xc3\xa9\nSN5");  // nothing selected: left as it was
}

TEST_F(MainWindowLogicTest, SaveListAsWritesEveryRowOrSaysWhyItCouldNot) {
    FillRows();
    logic.SaveListAs();  // cancelled: nothing written
    view.saveChoice = SaveFileChoice{(h.directory.Path() / "list").string(), SaveFileType::Json};
    logic.SaveListAs();
    const std::string json = ReadFile(h.directory.Path() / "list.json");
    EXPECT_LT(json.find("10.0.0.9"), json.find("10.0.0.1"));
    EXPECT_TRUE(view.messages.empty());

    std::filesystem::create_directory(h.directory.Path() / "taken.csv");
    view.saveChoice = SaveFileChoice{(h.directory.Path() / "taken.csv").string()};
    logic.SaveListAs();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].rfind("The list could not be saved to " +
                                         (h.directory.Path() / "taken.csv").string() + ":\n",
                                     0),
              0u);
}

TEST_F(MainWindowLogicTest, TheStartUpStatusSaysWhereTheSettingsAreAndWhatIsWrong) {
    SettingsStartup moved;
    moved.status.file = "/home/u/.config/qarv-vindle/QarvVindle.ini";
    moved.abandoned = {"Permission denied", "/opt/QarvVindle.ini"};
    logic.OnInitDialog(moved);
    EXPECT_EQ(view.status, "The settings are kept in /home/u/.config/qarv-vindle/QarvVindle.ini");
    EXPECT_NE(view.statusTip.find("/opt/QarvVindle.ini can be neither opened nor created:\n"
                                  "Permission denied"),
              std::string::npos);

    logic.OnInitDialog(SettingsStartup{{"Is a directory", "/w/QarvVindle.ini"}, {}});
    EXPECT_EQ(view.status, StartupSettingsProblem({"Is a directory", "/w/QarvVindle.ini"})->brief);
}

}  // namespace
}  // namespace vindle
