#pragma once

#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "platform/list_view.h"

namespace vindle {

// A report list kept in memory, for a search without a window. Each operation takes one mutex,
// so the search worker and another thread may use it at the same time. Out-of-range rows behave
// like an empty list control: reads give "" or a default state, writes are ignored.
class MemoryListView : public ListView {
  public:
    static constexpr int kColumnCount = 4;

    struct Row {
        std::array<std::string, kColumnCount> texts;
        ListRowState state;
    };

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

    // A copy of every row, top to bottom.
    std::vector<Row> Rows();
    // Appends a complete row (item data 0, not selected).
    void AppendRow(const std::array<std::string, kColumnCount>& texts);

  private:
    bool IsRow(int row) const { return row >= 0 && row < static_cast<int>(m_rows.size()); }

    std::mutex m_mutex;
    std::vector<Row> m_rows;
};

}  // namespace vindle
