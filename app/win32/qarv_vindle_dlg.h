#pragma once

#include <windows.h>

#include <memory>

#include "app/win32/dialog_dpi.h"
#include "app/win32/status_line_control.h"
#include "platform/memory_list_view.h"
#include "platform/network.h"

namespace vindle {
class DeviceListActions;
class PostedListMirror;
class PostedSearchObserver;
class SearchSession;
class Win32ListView;
struct StatusLine;
}  // namespace vindle

// The main window (template 102): the title, "Retrieve", the device list, "Browse", the status
// line with "Stop" and the menu. "Retrieve" runs one search at a time through the core's search
// session, on its worker thread. The worker places rows in the window's own copy of them
// (m_rows), which the list control shows, and reports progress and its end; it reaches the window
// only by posted messages. Closing the window ends a running search: the session's network is
// shut down so that the worker's waits fail at once, and nothing is posted to the window any more.
class CQarvVindleDlg {
  public:
    // `network` is where every search opens its sockets; it must outlive the window.
    explicit CQarvVindleDlg(vindle::Network& network);
    ~CQarvVindleDlg();
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
    void OnRetrieve();
    void OnStop();
    void OnBrowse();
    void OnListItemChanged();
    // `button` counts from 0 for the left mouse button.
    void OnHeaderItemClick(int column, int button);
    void OnAbout();
    void OnConfiguration();
    // WM_CONTEXTMENU from the device list.
    void OnContextMenu(LPARAM position);
    void OnClose();
    void OnDestroy();
    bool OnPaint();
    bool OnSetCursor(HWND window, int hitTest);
    void OnRowsChanged();
    void OnSearchProgressed();
    void OnSearchEnded();

    // The title's font and the icons at the dialog's DPI.
    void SetTitleFont();
    void SetIcons();
    // WM_DPICHANGED: the layout, the title, the columns, the tooltip and the icons follow.
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    // "Retrieve" off, "Stop" shown while a search runs; the reverse when it has ended.
    void ShowSearchRunning(bool running);
    // The core's status texts come in UTF-8.
    void ShowStatus(const vindle::StatusLine& line);
    // Shuts the session down and stops the posts: the window is closing.
    void StopSearch();

    vindle::Network& m_network;
    // The rows as the searches placed them (and the sort ordered them); the list shows them.
    vindle::MemoryListView m_rows;

    int m_nSortColumn = -1;
    bool m_bSortAscending = true;
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
    bool m_searching = false;
    // WM_CLOSE came while a dialog was open over the window: it closes once that has returned.
    bool m_closePending = false;

    // Made with the window; the session (and its worker) ends before the observer and the rows.
    std::unique_ptr<vindle::PostedSearchObserver> m_observer;
    std::unique_ptr<vindle::SearchSession> m_session;
    std::unique_ptr<vindle::Win32ListView> m_listView;
    std::unique_ptr<vindle::PostedListMirror> m_mirror;
    std::unique_ptr<vindle::DeviceListActions> m_rowActions;
};
