#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace vindle {

// Window messages to another process's controls. Messages whose arguments point to memory go
// through RemoteMemory in `process`; every send gives up after a few seconds.

// Sends a message and returns its result; throws when the window does not answer in time.
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

HWND Child(HWND dialog, int id);
std::wstring Text(HWND window);
void SetText(HWND window, const std::wstring& text);
std::wstring ClassName(HWND window);
// BM_CLICK, sent: returns once the click's handler has run.
void Click(HWND button);
// BM_CLICK, posted: for buttons whose handler opens a modal window or ends the dialog.
void PostClick(HWND button);

// The report list's rows, `columns` texts each, top to bottom.
using ListRow = std::vector<std::wstring>;
int ItemCount(HWND list);
std::wstring CellText(HANDLE process, HWND list, int row, int column);
std::vector<ListRow> Rows(HANDLE process, HWND list, int columns);
std::wstring ColumnTitle(HANDLE process, HWND list, int column);
int ColumnCount(HWND list);
bool IsRowSelected(HWND list, int row);
// Selects (or deselects) one row, or every row for -1; the list notifies its dialog.
void SelectRow(HANDLE process, HWND list, int row, bool selected);
// A left click in the middle of a column's header (mouse messages to the header).
void ClickHeader(HANDLE process, HWND list, int column);

// IP address control: the four fields, the first the most significant.
void SetIpAddress(HWND control, const std::array<int, 4>& fields);
std::array<int, 4> IpAddress(HANDLE process, HWND control);

// A message box of process `processId` owned by `owner`, or null.
HWND FindMessageBox(DWORD processId, HWND owner);
// Its message text (the static control 0xFFFF).
std::wstring MessageBoxText(HWND box);

}  // namespace vindle
