#pragma once

#include <windows.h>

#include <string>

#include "platform/list_view.h"

namespace vindle {

// A SysListView32 in report view as the core's list: its texts are Latin-1 bytes, shown one code
// unit per byte. For the window's thread only.
class Win32ListView final : public ListView {
  public:
    explicit Win32ListView(HWND list) : m_list(list) {}

    HWND Handle() const { return m_list; }

    int ItemCount() override;
    std::string ItemText(int row, int column) override;
    int InsertItem(int position, const std::string& text) override;
    void SetItemText(int row, int column, const std::string& text) override;
    void DeleteItem(int row) override;
    void DeleteAllItems() override;
    int NextSelected(int start) override;
    int SelectedCount() override;
    ListRowState RowState(int row) override;
    void SetRowState(int row, const ListRowState& state) override;

  private:
    HWND m_list;
};

// Appends a left-aligned column of `pixels` width (at 96 DPI; scaled to the list's DPI).
void AddReportColumn(HWND list, int index, const char* title, int pixels);

}  // namespace vindle
