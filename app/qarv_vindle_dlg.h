#pragma once

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "platform/network.h"

class QLabel;
class QMenuBar;
class QPushButton;
class QTreeWidget;

namespace vindle {
class DeviceListActions;
class QtControl;
class QtListView;
struct SearchContext;
}  // namespace vindle

// The main window: the title, "Retrieve", the device list, "Browse" and the menu. "Retrieve" runs
// one search at a time on a worker thread that reaches the list and the button only through the
// Qt adapters. Closing the window ends a running search: the network is shut down so that the
// worker's waits fail at once, and the adapters go inert so that it never touches a widget again.
class CQarvVindleDlg : public QDialog {
    Q_OBJECT

  public:
    // The search thread procedure; it owns the context it is given.
    using SearchThreadProc = int (*)(vindle::SearchContext*);

    // `network` is where every search opens its sockets; it must outlive the window.
    explicit CQarvVindleDlg(vindle::Network& network, QWidget* parent = nullptr);
    ~CQarvVindleDlg() override;

    // Waits until the search worker has ended and joins it, answering its pending calls meanwhile.
    // Call it after the window has closed; the destructor calls it too.
    void FinishSearch();

    int SortColumn() const { return m_nSortColumn; }
    bool SortAscending() const { return m_bSortAscending; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Starts the worker thread running `body`; throws std::system_error when no thread starts.
    virtual std::thread StartWorkerThread(std::function<void()> body);

  private Q_SLOTS:
    void OnRetrieve();
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

    vindle::Network& m_network;

    int m_nSortColumn = -1;
    bool m_bSortAscending = true;

    QMenuBar* m_menuBar = nullptr;
    QPushButton* m_btnRetrieve = nullptr;
    QPushButton* m_btnBrowse = nullptr;
    QTreeWidget* m_listDevices = nullptr;
    QLabel* m_staticTitle = nullptr;
    // Open, copy and save for the rows; the list owns it.
    vindle::DeviceListActions* m_rowActions = nullptr;

    // The adapters the worker uses; they live until the worker has ended.
    std::unique_ptr<vindle::QtListView> m_listAdapter;
    std::unique_ptr<vindle::QtControl> m_retrieveAdapter;

    std::thread m_worker;
    std::atomic<bool> m_workerRunning{false};
    // Receives the worker's wake-up when it ends, so that FinishSearch sleeps until then.
    std::unique_ptr<QObject> m_wakeReceiver;
    Qt::MouseButton m_headerPressButton = Qt::NoButton;
};
