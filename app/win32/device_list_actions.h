#pragma once

#include <windows.h>

#include <string>

#include "app/win32/win32_list_view.h"

namespace vindle {

// What the operator can do with the rows of the device list: open a row's web page ("Browse",
// double-click, context menu), copy rows or one column of them (context menu, Ctrl+C) and save the
// list as CSV or JSON. It reads the list control on the window's thread.
class DeviceListActions {
  public:
    DeviceListActions(HWND owner, Win32ListView& list);
    ~DeviceListActions();
    DeviceListActions(const DeviceListActions&) = delete;
    DeviceListActions& operator=(const DeviceListActions&) = delete;

    // Opens the web page of `row`: nothing for a row that does not exist or holds no address;
    // when no browser starts, says so and shows the address.
    void OpenWebPage(int row);
    // The context menu's "Open Web Page": the row the menu was opened on, else the first
    // selected row.
    void OpenMenuRow();
    // The selected rows with a heading line, tab-separated, in the list's order.
    void CopySelectedRows();
    // One column of the selected rows, one line each.
    void CopySelectedColumn(int column);
    // Asks for a file and writes every row, in the list's order, as CSV or JSON. A failed save is
    // reported; nothing else changes.
    void SaveListAs();

    // WM_CONTEXTMENU from the list: `position` is the mouse's screen position, or -1 for the
    // keyboard (the menu key, Shift+F10). The menu belongs to the row under the mouse, or to the
    // focused row while it is selected; elsewhere no menu opens. A chosen command is sent to the
    // owner as WM_COMMAND.
    void ShowContextMenu(LPARAM position);

  private:
    void OpenAddress(const std::string& ipText);
    void CopyText(const std::wstring& text);
    void ShowWarning(const std::wstring& text);

    HWND m_owner;
    Win32ListView& m_list;
    HMENU m_menus;
    // The address of the row the context menu was opened on: a running search may move or
    // remove rows while the menu is open.
    std::string m_menuAddress;
};

}  // namespace vindle
