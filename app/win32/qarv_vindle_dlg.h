#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/network.h"
#include "platform/win32/dialog_dpi.h"

namespace vindle {
class ListMirror;
class MainWindowLogic;
class Settings;
class Win32ListView;
class Win32MainView;
}  // namespace vindle

// The main window (template 102): the title, "Retrieve", the device list, "Browse", the status
// line with "Stop" and the menu. Every decision is the core's main-window logic: the window
// routes its controls' events there, and its controls are the logic's view. The list control
// shows the logic's rows through a mirror; the search's worker reaches the window only by posted
// messages.
class CQarvVindleDlg final {
  public:
    // `network` and `settings` must outlive the window; the window prepares the settings file.
    CQarvVindleDlg(vindle::Network& network, vindle::Settings& settings);
    ~CQarvVindleDlg();
    CQarvVindleDlg(const CQarvVindleDlg&) = delete;
    CQarvVindleDlg& operator=(const CQarvVindleDlg&) = delete;

    // Runs the window modally; returns when it has closed (-1 when it could not be created).
    INT_PTR DoModal();

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void OnCommand(int id, int code);
    // False for notifications left to the dialog.
    bool OnNotify(const NMHDR& header);
    void OnHeaderItemClick(int column, int button);
    void OnContextMenu(LPARAM position);
    void OnAbout();
    void OnConfiguration();
    void OnClose();
    bool OnPaint();

    vindle::Network& m_network;
    vindle::Settings& m_settings;

    // The caption's icons (the large one also drawn when minimised), the title's font and the
    // layout, at the monitor's DPI.
    vindle::DialogDpi m_dpi;

    HWND m_hWnd = nullptr;
    HWND m_listDevices = nullptr;
    HWND m_staticTitle = nullptr;
    HWND m_btnStop = nullptr;
    // WM_CLOSE came while a dialog was open over the window: it closes once that has returned.
    bool m_closePending = false;

    // Made with the window; the logic ends (and waits for its search) before the view and the
    // list.
    std::unique_ptr<vindle::Win32MainView> m_view;
    std::unique_ptr<vindle::Win32ListView> m_listView;
    std::unique_ptr<vindle::MainWindowLogic> m_logic;
    std::unique_ptr<vindle::ListMirror> m_mirror;
};
