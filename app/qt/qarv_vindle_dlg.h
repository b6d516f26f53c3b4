#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>

#include "discovery/main_window_logic.h"
#include "platform/main_window_view.h"
#include "platform/network.h"
#include "platform/qt/gui_thread_gate.h"
#include "settings/settings.h"

class QLabel;
class QMenuBar;
class QPushButton;
class QTreeWidget;

namespace vindle {
class QtListMirror;
class QtListView;
}  // namespace vindle

// The main window: the title, "Retrieve", the device list, "Browse", the status line with "Stop"
// and the menu. It builds the controls and routes their events to the main-window logic, which
// decides everything and drives the controls back through the view functions below. The list
// widget shows the logic's rows through a mirror; the search worker reaches the widgets only
// through queued calls. Closing the window ends a running search at once.
class CQarvVindleDlg : public QDialog, private vindle::MainWindowView {
    Q_OBJECT

  public:
    // `network` is where every search opens its sockets and `settings` the file every search and
    // the configuration dialog use; both must outlive the window. The settings file is made when
    // missing (and may move to its fallback folder) while the window is built.
    CQarvVindleDlg(vindle::Network& network, vindle::Settings& settings, QWidget* parent = nullptr);
    ~CQarvVindleDlg() override;

    // Waits until the search worker has ended and joins it. Call it after the window has closed;
    // the destructor calls it too.
    void FinishSearch();

    int SortColumn() const { return m_logic->SortColumn(); }
    bool SortAscending() const { return m_logic->SortAscending(); }
    // The status line's text.
    QString StatusText() const;
    // How the last search ended; nothing before the first one has ended.
    const std::optional<vindle::SearchOutcome>& LastOutcome() const {
        return m_logic->LastOutcome();
    }
    // Calls the search workers queued to the GUI thread so far: one per run of row changes and
    // one per progress report or end, whatever the number of rows. The workers never wait for
    // the GUI thread.
    int QueuedCallsFromWorkers() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private Q_SLOTS:
    void OnAbout();
    void OnConfiguration();

  private:
    void BuildMenu();
    void BuildControls();
    // Ends a running search and makes the adapters inert; the window is closing.
    void StopSearch();
    QWidget* ControlWidget(vindle::MainControl control) const;

    // vindle::MainWindowView
    void EnableControl(vindle::MainControl control, bool enabled) override;
    void ShowControl(vindle::MainControl control, bool shown) override;
    bool HasFocus(vindle::MainControl control) override;
    void SetFocus(vindle::MainControl control) override;
    void ShowBusyCursor(bool busy) override;
    void ShowStatus(const std::string& brief, const std::string& full) override;
    void ShowMessage(const std::string& text) override;
    bool OpenAddress(const std::string& url) override;
    bool PutOnClipboard(const std::string& text) override;
    std::optional<vindle::SaveFileChoice> AskSaveFileName() override;
    void Post(Task task) override;

    vindle::Settings& m_settings;

    QMenuBar* m_menuBar = nullptr;
    QPushButton* m_btnRetrieve = nullptr;
    QPushButton* m_btnBrowse = nullptr;
    QTreeWidget* m_listDevices = nullptr;
    QLabel* m_staticTitle = nullptr;
    QLabel* m_statusLine = nullptr;
    QPushButton* m_btnStop = nullptr;
    Qt::MouseButton m_headerPressButton = Qt::NoButton;

    // The worker's reports reach the GUI thread through it; closing detaches it.
    vindle::GuiThreadGate m_gate;
    // Declared before the adapters, which show its rows, so that it goes last.
    std::unique_ptr<vindle::MainWindowLogic> m_logic;
    std::unique_ptr<vindle::QtListView> m_listAdapter;
    std::unique_ptr<vindle::QtListMirror> m_listMirror;
};
