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

    // Opens the web page of `row`: nothing for a row that does not exist or holds no address;
    // when no browser starts, says so and shows the address.
    void OpenWebPage(int row);
    // Opens the web page of a row's address text.
    void OpenAddress(const std::string& ipText);
    // The selected rows with a heading line, tab-separated, in the list's order.
    void CopySelectedRows();
    // One column of the selected rows, one line each.
    void CopySelectedColumn(int column);
    // Asks for a file and writes every row, in the list's order, as CSV or JSON. A failed save is
    // reported; nothing else changes.
    void SaveListAs();

  private:
    void CopyText(const std::wstring& text);
    void ShowWarning(const std::wstring& text);

    HWND m_owner;
    Win32ListView& m_list;
};

}  // namespace vindle
