#include "discovery/main_window_logic.h"

#include <utility>
#include <vector>

#include "discovery/column_sort.h"
#include "discovery/device_list_rules.h"
#include "discovery/device_row_format.h"
#include "discovery/search_status_text.h"
#include "platform/atomic_file.h"

namespace vindle {

namespace {

StatusLine SettingsMovedStatusLine(const SettingsStartup& settings) {
    return {"The settings are kept in " + settings.status.file,
            "The settings file " + settings.abandoned.file +
                " can be neither opened nor created:\n" + settings.abandoned.Reason() +
                "\nThe settings are kept in " + settings.status.file + " instead."};
}

}  // namespace

MainWindowLogic::MainWindowLogic(MainWindowView& view, Network& network, const Settings& settings,
                                 ThreadStarter startThread)
    : m_view(view), m_session(settings, network, m_rows, this, std::move(startThread)) {}

MainWindowLogic::~MainWindowLogic() {
    m_session.Close();
    m_session.Wait();
}

template <typename Operation>
void MainWindowLogic::WithRows(Operation&& operation) {
    if (m_mirror != nullptr) {
        m_mirror->WithRows(std::forward<Operation>(operation));
        return;
    }
    ListUpdateScope update(m_rows);
    std::forward<Operation>(operation)(static_cast<ListView&>(m_rows));
}

void MainWindowLogic::OnInitDialog(const SettingsStartup& settings) {
    EnableRetrieve(true);
    m_view.EnableControl(MainControl::Browse, m_browseEnabled);
    m_view.ShowControl(MainControl::Stop, false);
    if (const auto problem = StartupSettingsProblem(settings.status)) {
        ShowStatus(problem->brief, problem->full);
    } else if (settings.MovedToUserFolder()) {
        const StatusLine moved = SettingsMovedStatusLine(settings);
        ShowStatus(moved.brief, moved.full);
    } else {
        ShowStatus(IdleStatusText());
    }
}

void MainWindowLogic::OnRetrieve() {
    // A disabled Retrieve cannot be pressed; a second search never starts beside the first.
    if (!m_retrieveEnabled || m_closed) {
        return;
    }
    // Disabled until the end is shown; a Retrieve that starts nothing gives it back at once.
    EnableRetrieve(false);
    const SearchStart start = m_session.Start();
    const StatusLine line = StartStatusLine(start);
    ShowStatus(line.brief, line.full);
    if (!start.Started()) {
        EnableRetrieve(true);
        return;
    }
    ShowSearchRunning(true);
}

void MainWindowLogic::OnStop() {
    // The search's waits, sends and opens fail from now on; the worker ends through its usual
    // last steps and keeps the rows it listed.
    m_view.EnableControl(MainControl::Stop, false);
    m_session.Stop();
}

void MainWindowLogic::SearchProgressed(const SearchProgress& progress) {
    {
        std::lock_guard lock(m_progressMutex);
        m_latestProgress = progress;
        if (m_progressPosted) {
            return;
        }
        m_progressPosted = true;
    }
    ++m_postedReports;
    m_view.Post([this] { ShowProgress(); });
}

void MainWindowLogic::SearchEnded(const SearchOutcome& outcome) {
    ++m_postedReports;
    m_view.Post([this, outcome] { ShowEnd(outcome); });
}

void MainWindowLogic::ShowProgress() {
    SearchProgress latest;
    {
        std::lock_guard lock(m_progressMutex);
        latest = m_latestProgress;
        m_progressPosted = false;
    }
    // After Stop the status line waits for the end, which says the search was stopped.
    if (!m_closed && !m_session.StopRequested()) {
        ShowStatus(ProgressStatusText(latest));
    }
}

void MainWindowLogic::ShowEnd(const SearchOutcome& outcome) {
    if (m_closed) {
        return;
    }
    m_lastOutcome = outcome;
    const StatusLine line = m_session.EndStatusLine(outcome);
    ShowStatus(line.brief, line.full);
    ShowSearchRunning(false);
    // The search's socket is closed by now.
    EnableRetrieve(true);
}

void MainWindowLogic::ShowSearchRunning(bool running) {
    // Before Stop goes: a disabled control loses the focus to wherever the toolkit chooses.
    if (!running && m_view.HasFocus(MainControl::Stop)) {
        m_view.SetFocus(MainControl::DeviceList);
    }
    m_view.EnableControl(MainControl::Stop, running);
    m_view.ShowControl(MainControl::Stop, running);
    m_view.ShowBusyCursor(running);
}

void MainWindowLogic::EnableRetrieve(bool enabled) {
    m_retrieveEnabled = enabled;
    m_view.EnableControl(MainControl::Retrieve, enabled);
}

void MainWindowLogic::ShowStatus(const std::string& brief, const std::string& full) {
    m_view.ShowStatus(brief, full);
}

void MainWindowLogic::OnBrowse() {
    std::string address;
    bool selected = false;
    WithRows([&](ListView& rows) {
        const int row = rows.NextSelected(-1);
        selected = row >= 0;
        if (selected) {
            address = rows.ItemText(row, kIpAddressColumn);
        }
    });
    if (selected) {
        OpenWebPage(address);
    }
}

void MainWindowLogic::OnListItemChanged(int firstSelectedRow) {
    const bool enabled = BrowseEnabledAfterSelectionChange(m_browseEnabled, firstSelectedRow);
    if (enabled != m_browseEnabled) {
        m_browseEnabled = enabled;
        m_view.EnableControl(MainControl::Browse, enabled);
    }
}

void MainWindowLogic::OnHeaderItemClick(int column, int button) {
    if (button != 0 || column < 0 || column >= kDeviceListColumnCount) {
        return;
    }
    m_bSortAscending = SortAscendingAfterClick(m_nSortColumn, column);
    m_nSortColumn = column;
    // The rows are sorted where the search places them, so later rows go where the sort says.
    WithRows([&](ListView& rows) { SortByColumn(rows, column, m_bSortAscending); });
}

void MainWindowLogic::OpenRowWebPage(int row) {
    if (row < 0) {
        return;
    }
    std::string address;
    WithRows([&](ListView& rows) { address = rows.ItemText(row, kIpAddressColumn); });
    OpenWebPage(address);
}

void MainWindowLogic::OpenWebPage(const std::string& ipText) {
    // Only an address becomes the page's host; a row's text is never handed to a shell.
    const std::string page = WebPageAddress(ipText);
    if (!page.empty() && !m_view.OpenAddress(page)) {
        m_view.ShowMessage(NoBrowserMessage(page));
    }
}

void MainWindowLogic::CopySelectedRows() {
    std::vector<DeviceRow> rows;
    WithRows([&](ListView& list) { rows = ReadDeviceRows(list, true); });
    // With nothing selected the clipboard keeps what it holds.
    if (!rows.empty() && !m_view.PutOnClipboard(FormatTabSeparated(rows))) {
        ShowStatus("The clipboard cannot be used: nothing was copied");
    }
}

void MainWindowLogic::CopySelectedColumn(int column) {
    std::string text;
    bool anySelected = false;
    WithRows([&](ListView& rows) {
        anySelected = rows.SelectedCount() > 0;
        text = SelectedColumnText(rows, column);
    });
    if (anySelected && !m_view.PutOnClipboard(Latin1ToUtf8(text))) {
        ShowStatus("The clipboard cannot be used: nothing was copied");
    }
}

void MainWindowLogic::SaveListAs() {
    const std::optional<SaveFileChoice> choice = m_view.AskSaveFileName();
    if (!choice || choice->path.empty()) {
        return;
    }
    const ExportTarget target = ChooseExportTarget(
        choice->path,
        choice->filterType == SaveFileType::Json ? OutputFormat::Json : OutputFormat::Csv);
    std::vector<DeviceRow> rows;
    WithRows([&](ListView& list) { rows = ReadDeviceRows(list, false); });
    std::string reason;
    if (!ReplaceFileContents(target.path, FormatRows(target.format, rows), &reason)) {
        m_view.ShowMessage(ListSaveFailedMessage(target.path, reason));
    }
}

void MainWindowLogic::OnClose() {
    m_closed = true;
    m_session.Close();
    if (m_mirror != nullptr) {
        m_mirror->Detach();
    }
}

void MainWindowLogic::FinishSearch() {
    m_session.Wait();
}

}  // namespace vindle
