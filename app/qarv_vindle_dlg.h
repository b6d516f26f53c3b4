#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <thread>

#include "discovery/protocol.h"
#include "discovery/search_context.h"
#include "discovery/search_observer.h"
#include "platform/memory_list_view.h"
#include "platform/network.h"

class QLabel;
class QMenuBar;
class QPushButton;
class QTreeWidget;

namespace vindle {
struct SettingsProblem;
class DeviceListActions;
class QtControl;
class QtListMirror;
class QtListView;
class QtSearchObserver;
}  // namespace vindle

// The main window: the title, "Retrieve", the device list, "Browse", the status line with "Stop"
// and the menu. "Retrieve" runs one search at a time on a worker thread. The worker places rows
// in the window's own copy of them (m_rows), which the list widget shows; it reaches the widgets
// only through queued calls and the "Retrieve" adapter. Closing the window ends a running search:
// the network is shut down so that the worker's waits fail at once, and the adapters go inert so
// that it never touches a widget again.
class CQarvVindleDlg : public QDialog {
    Q_OBJECT

  public:
    // The search thread procedure; it owns the search it is given.
    using SearchThreadProc = vindle::SearchOutcome (*)(std::unique_ptr<vindle::SearchContext>);
    using WorkerBody = std::packaged_task<void()>;

    // `network` is where every search opens its sockets; it must outlive the window.
    explicit CQarvVindleDlg(vindle::Network& network, QWidget* parent = nullptr);
    ~CQarvVindleDlg() override;

    // Waits until the search worker has ended and joins it, answering its pending calls meanwhile.
    // Call it after the window has closed; the destructor calls it too.
    void FinishSearch();

    int SortColumn() const { return m_nSortColumn; }
    bool SortAscending() const { return m_bSortAscending; }

    // The status line's text.
    QString StatusText() const;
    // How the last search ended; nothing before the first one has ended.
    const std::optional<vindle::SearchOutcome>& LastOutcome() const { return m_lastOutcome; }
    // Calls the search workers queued to the GUI thread so far: one per run of row changes and
    // one per progress report, whatever the number of rows. (Each search also makes one blocking
    // call, to enable "Retrieve".)
    int QueuedCallsFromWorkers() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Starts the worker thread running `body`; throws std::system_error when no thread starts.
    virtual std::thread StartWorkerThread(WorkerBody body);

  private Q_SLOTS:
    void OnRetrieve();
    void OnStop();
    void OnBrowse();
    void OnListItemChanged();
    void OnAbout();
    void OnConfiguration();
    void OnHeaderSectionClicked(int section);

  private:
    // `button` counts from 0 for the left mouse button.
    void OnHeaderItemClick(int column, int button);
    void BuildMenu();
    void BuildControls();
    // Shuts the network down and makes the adapters inert; the window is closing.
    void StopSearch();
    void OnSearchProgressed(const vindle::SearchProgress& progress);
    void OnSearchEnded(const vindle::SearchOutcome& outcome);
    // Stop, the busy cursor: shown while a search runs.
    void ShowSearchRunning(bool running);
    // `details`, when given, is the tooltip; otherwise the text itself.
    void SetStatusText(const QString& text, const QString& details = QString());
    void ShowSettingsProblem(const vindle::SettingsProblem& problem);

    vindle::Network& m_network;
    // Sequence bytes and pending sends go on from one search to the next.
    vindle::RequestState m_requests;
    // The rows as the searches placed them (and the sort ordered them); the widget shows them.
    vindle::MemoryListView m_rows;

    int m_nSortColumn = -1;
    bool m_bSortAscending = true;

    QMenuBar* m_menuBar = nullptr;
    QPushButton* m_btnRetrieve = nullptr;
    QPushButton* m_btnBrowse = nullptr;
    QTreeWidget* m_listDevices = nullptr;
    QLabel* m_staticTitle = nullptr;
    QLabel* m_statusLine = nullptr;
    QPushButton* m_btnStop = nullptr;
    // Open, copy and save for the rows; the list owns it.
    vindle::DeviceListActions* m_rowActions = nullptr;

    // The adapters the worker uses; they live until the worker has ended.
    std::unique_ptr<vindle::QtListView> m_listAdapter;
    std::unique_ptr<vindle::QtListMirror> m_listMirror;
    std::unique_ptr<vindle::QtControl> m_retrieveAdapter;
    std::unique_ptr<vindle::QtSearchObserver> m_searchObserver;

    QElapsedTimer m_searchTimer;
    bool m_stopRequested = false;
    std::optional<vindle::SearchOutcome> m_lastOutcome;

    std::thread m_worker;
    std::atomic<bool> m_workerRunning{false};
    // Receives the worker's wake-up when it ends, so that FinishSearch sleeps until then.
    std::unique_ptr<QObject> m_wakeReceiver;
    Qt::MouseButton m_headerPressButton = Qt::NoButton;
};
