#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/list_view.h"

namespace vindle {

// An in-memory report list with four text columns. Every operation takes one mutex, so a worker
// thread and a test thread may use it at the same time. Texts are stored as the bytes given.
//
// Out-of-range rows behave like an empty list control: reads give "" / a default state, writes
// are ignored. InsertItem clamps a position past the end to the end and refuses a negative one.
class FakeListView : public ListView {
  public:
    static constexpr int kColumnCount = 4;

    struct Row {
        std::array<std::string, kColumnCount> texts;
        ListRowState state;
    };

    // ListView
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

    // Test helpers.
    std::vector<Row> Rows();
    // The texts of one column, top to bottom.
    std::vector<std::string> ColumnTexts(int column);
    // Appends a complete row (item data 0, not selected).
    void AppendRow(const std::array<std::string, kColumnCount>& texts);
    void Select(int row, bool selected = true);
    void ClearSelection();

    // How often each operation was called since construction (or ResetCounters).
    struct Counters {
        int itemCount = 0;
        int itemText = 0;
        int insertItem = 0;
        int setItemText = 0;
        int deleteItem = 0;
        int deleteAllItems = 0;
        int rowState = 0;
        int setRowState = 0;
    };
    Counters Calls();
    void ResetCounters();

    // Called at the start of every ListView operation, without the lock held, with the
    // operation's name ("InsertItem", "DeleteAllItems", ...). A test may change the rows from
    // it (for example reorder them between two replies) or block in it.
    void SetBeforeOperation(std::function<void(const char* operation)> hook);

  private:
    void RunHook(const char* operation);

    std::mutex m_mutex;
    std::vector<Row> m_rows;
    Counters m_counters;
    std::function<void(const char*)> m_beforeOperation;
};

}  // namespace vindle
