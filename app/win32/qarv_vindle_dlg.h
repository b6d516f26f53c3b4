#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "app/win32/dialog_dpi.h"
#include "app/win32/posted_tasks.h"
#include "app/win32/status_line_control.h"
#include "platform/main_window_view.h"
#include "platform/network.h"

namespace vindle {
class MainWindowLogic;
class PostedListMirror;
class Settings;
class Win32ListView;
}  // namespace vindle

// The main window (template 102): the title, "Retrieve", the device list, "Browse", the status
// line with "Stop" and the menu. Every decision is the core's main-window logic: the window
// routes its controls' events there and is the logic's view. The list control shows the logic's
// rows through a mirror; the search's worker reaches the window only by posted messages.
class CQarvVindleDlg final : private vindle::MainWindowView {
  public:
    // `network` and `settings` must outlive the window; the window prepares the settings file.
    CQarvVindleDlg(vindle::Network& network, vindle::Settings& settings);
    ~CQarvVindleDlg() override;
    CQarvVindleDlg(const CQarvVindleDlg&) = delete;
    CQarvVindleDlg& operator=(const CQarvVindleDlg&) = delete;

    // Runs the window modally; returns when it has closed (-1 when it could not be created).
    INT_PTR DoModal();
    // Waits until a search still running when the window closed has ended.
    void FinishSearch();

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void OnCommand(int id, int code);
    // Returns the notification's result, or nothing for notifications left to the dialog.
    bool OnNotify(const NMHDR& header, LRESULT& result);
    void OnHeaderItemClick(int column, int button);
    void OnContextMenu(LPARAM position);
    void OnAbout();
    void OnConfiguration();
    void OnClose();
    void OnDestroy();
    bool OnPaint();
    // WM_DPICHANGED: the layout, the title, the columns, the tooltip and the icons follow.
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    // The title's font and the icons at the dialog's DPI.
    void SetTitleFont();
    void SetIcons();

    // The logic's view.
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
    HWND Control(vindle::MainControl control) const;

    vindle::Network& m_network;
    vindle::Settings& m_settings;

    // The caption's icons: the large one (also drawn when minimised) and the small one, each
    // from the image of its own size.
    HICON m_hWindowIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    HFONT m_titleFont = nullptr;
    vindle::DialogDpi m_dpi;

    HWND m_hWnd = nullptr;
    HWND m_btnRetrieve = nullptr;
    HWND m_btnBrowse = nullptr;
    HWND m_listDevices = nullptr;
    HWND m_staticTitle = nullptr;
    HWND m_btnStop = nullptr;
    vindle::StatusLineControl m_statusLine;
    bool m_busy = false;
    // WM_CLOSE came while a dialog was open over the window: it closes once that has returned.
    bool m_closePending = false;

    // Made with the window; the logic (and its search) ends before the tasks and the list.
    std::unique_ptr<vindle::PostedTasks> m_tasks;
    std::unique_ptr<vindle::Win32ListView> m_listView;
    std::unique_ptr<vindle::MainWindowLogic> m_logic;
    std::unique_ptr<vindle::PostedListMirror> m_mirror;
};
