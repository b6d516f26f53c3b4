#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>
#include <thread>

#include "discovery/search_observer.h"
#include "discovery/search_session.h"
#include "platform/memory_list_view.h"
#include "platform/network.h"

class QLabel;
class QMenuBar;
class QPushButton;
class QTreeWidget;

namespace vindle {
struct StatusLine;
class DeviceListActions;
class QtListMirror;
class QtListView;
class QtSearchObserver;
}  // namespace vindle

// The main window: the title, "Retrieve", the device list, "Browse", the status line with "Stop"
// and the menu. "Retrieve" starts one search at a time through the search session. The worker
// places rows in the window's own copy of them (m_rows), which the list widget shows; it reaches
// the widgets only through queued calls. Closing the window ends a running search: the session
// shuts the network down so that the worker's waits fail at once, and the adapters go inert so
// that it never touches a widget again.
class CQarvVindleDlg : public QDialog {
    Q_OBJECT

  public:
    using WorkerBody = vindle::SearchSession::WorkerBody;

    // `network` is where every search opens its sockets and `settings` the file every search and
    // the configuration dialog use; both must outlive the window. The settings file is made when
    // missing (and may move to its fallback folder) while the window is built.
    CQarvVindleDlg(vindle::Network& network, vindle::Settings& settings, QWidget* parent = nullptr);
    ~CQarvVindleDlg() override;

    // Waits until the search worker has ended and joins it. Call it after the window has closed;
    // the destructor calls it too.
    void FinishSearch();

    int SortColumn() const { return m_nSortColumn; }
    bool SortAscending() const { return m_bSortAscending; }

    // The status line's text.
    QString StatusText() const;
    // How the last search ended; nothing before the first one has ended.
    const std::optional<vindle::SearchOutcome>& LastOutcome() const { return m_lastOutcome; }
    // Calls the search workers queued to the GUI thread so far: one per run of row changes and
    // one per progress report or end, whatever the number of rows. The workers never wait for
    // the GUI thread.
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
    void SetStatusText(const std::string& text);
    // The tooltip holds the full text.
    void SetStatusLine(const vindle::StatusLine& line);

    vindle::Network& m_network;
    vindle::Settings& m_settings;
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
    std::unique_ptr<vindle::QtSearchObserver> m_searchObserver;
    // Declared last: it stops and joins its worker before the adapters go.
    std::unique_ptr<vindle::SearchSession> m_session;

    std::optional<vindle::SearchOutcome> m_lastOutcome;
    Qt::MouseButton m_headerPressButton = Qt::NoButton;
};
