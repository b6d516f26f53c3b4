#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

#include "discovery/search_observer.h"
#include "discovery/search_session.h"
#include "platform/list_mirror.h"
#include "platform/main_window_view.h"
#include "platform/memory_list_view.h"
#include "platform/network.h"
#include "settings/settings.h"

namespace vindle {

// Every decision of the main window, made once for every front end: the rows and the search
// session, the searching state, the sort column and direction, when Retrieve, Stop and Browse
// are usable, every status text, and what each row action produces. A window builds its
// controls, implements MainWindowView and routes its events here; this drives it back.
//
// Everything runs on the window's thread except the search worker's reports, which are merged
// (only the latest progress waits to be shown) and posted to the window's thread.
class MainWindowLogic final : private SearchObserver {
  public:
    using ThreadStarter = SearchSession::ThreadStarter;

    // `view`, `network` and `settings` must outlive the logic.
    MainWindowLogic(MainWindowView& view, Network& network, const Settings& settings,
                    ThreadStarter startThread = {});
    // Ends a running search and waits for its worker.
    ~MainWindowLogic() override;

    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    // The rows the searches place and the sort orders; the window's list shows them.
    MemoryListView& Rows() { return m_rows; }
    // The window's list shows the rows through `mirror` (null: it shows none); the row actions
    // then read the rows with the list in step, its selection included.
    void AttachMirror(ListMirror* mirror) { m_mirror = mirror; }

    // Once the controls exist: Retrieve usable, Stop hidden, Browse disabled, and the start-up
    // status: the idle text, where the settings are kept, or what is wrong with them.
    void OnInitDialog(const SettingsStartup& settings);

    void OnRetrieve();
    void OnStop();
    // Opens the web page of the first selected row.
    void OnBrowse();
    // The list's selection changed; `firstSelectedRow` is -1 when no row is selected.
    void OnListItemChanged(int firstSelectedRow);
    // A click on a column's header; `button` counts from 0 for the left mouse button.
    void OnHeaderItemClick(int column, int button);

    // Row actions. OpenWebPage takes the address text of the row the user pointed at.
    void OpenRowWebPage(int row);
    void OpenWebPage(const std::string& ipText);
    // The selected rows with a heading line, tab-separated, in the list's order.
    void CopySelectedRows();
    // One column of the selected rows, one line each.
    void CopySelectedColumn(int column);
    // Asks for a file and writes every row, in the list's order, as CSV or JSON.
    void SaveListAs();

    // The window is closing: a running search ends at once and nothing more reaches the view.
    void OnClose();
    // Waits until the search worker has ended and joins it.
    void FinishSearch();

    // From a Retrieve that started a search until its worker has returned.
    bool Searching() const { return m_session.Running(); }
    int SortColumn() const { return m_nSortColumn; }
    bool SortAscending() const { return m_bSortAscending; }
    // How the last search ended; nothing before the first end was shown.
    const std::optional<SearchOutcome>& LastOutcome() const { return m_lastOutcome; }
    // Reports of the search workers posted to the window's thread so far.
    int PostedReports() const { return m_postedReports.load(); }

  private:
    void SearchProgressed(const SearchProgress& progress) override;
    void SearchEnded(const SearchOutcome& outcome) override;
    void ShowProgress();
    void ShowEnd(const SearchOutcome& outcome);
    void ShowSearchRunning(bool running);
    void EnableRetrieve(bool enabled);
    void ShowStatus(const std::string& brief, const std::string& full = {});

    // Runs `operation` on the rows, with the window's list in step when one shows them.
    template <typename Operation>
    void WithRows(Operation&& operation);

    MainWindowView& m_view;
    MemoryListView m_rows;
    ListMirror* m_mirror = nullptr;

    int m_nSortColumn = -1;
    bool m_bSortAscending = true;
    bool m_retrieveEnabled = true;
    bool m_browseEnabled = false;
    bool m_closed = false;
    std::optional<SearchOutcome> m_lastOutcome;

    // The latest progress not yet shown; a report is posted only when none is waiting.
    std::mutex m_progressMutex;
    SearchProgress m_latestProgress;
    bool m_progressPosted = false;
    std::atomic<int> m_postedReports{0};

    // Declared last: it stops and joins its worker before the rows go.
    SearchSession m_session;
};

}  // namespace vindle
