#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/memory_list_view.h"

namespace vindle {

// The in-memory list, with what tests need around it: call counters, selection helpers and a
// hook that runs before every list operation. Safe to use from a worker and a test thread.
class FakeListView : public MemoryListView {
  public:
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

    // The texts of one column, top to bottom.
    std::vector<std::string> ColumnTexts(int column);
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

    // Called at the start of every ListView operation, without any lock held, with the
    // operation's name ("InsertItem", "DeleteAllItems", ...). A test may change the rows from
    // it (for example reorder them between two replies) or block in it.
    void SetBeforeOperation(std::function<void(const char* operation)> hook);

  private:
    // Runs the hook and counts the call in `counter` (when given).
    void Before(const char* operation, int Counters::*counter);

    std::mutex m_mutex;
    Counters m_counters;
    std::function<void(const char*)> m_beforeOperation;
};

}  // namespace vindle
