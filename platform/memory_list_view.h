#pragma once

#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "platform/list_view.h"

namespace vindle {

// One change made to a MemoryListView, as a view replays it.
struct ListChange {
    enum class Kind { Insert, SetText, Delete, DeleteAll, SetState };
    Kind kind = Kind::Insert;
    int row = 0;
    int column = 0;
    std::string text;
    ListRowState state;
};

// Told that a MemoryListView has changes waiting. Called once for each run of changes (when the
// first change is recorded after the last TakeChanges()), on the thread that changed the rows,
// with the list's lock held: it must not wait for another thread.
class ListChangeSink {
  public:
    virtual ~ListChangeSink() = default;
    virtual void ChangesPending() = 0;
};

// The rows of a report list, kept in memory: the search's own copy, read and placed without
// asking any widget. Every operation takes one (recursive) lock, so the search worker and another
// thread may use it at the same time; BeginUpdate() holds the lock across several calls. With a
// change sink, every change is also recorded, in order, for a view to replay on its own thread.
// Out-of-range rows behave like an empty list control: reads give "" or a default state, writes
// are ignored (and not recorded).
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
    void BeginUpdate() override { m_mutex.lock(); }
    void EndUpdate() override { m_mutex.unlock(); }

    // Starts recording changes for `sink` (nullptr stops). The sink must outlive the list or be
    // removed first.
    void SetChangeSink(ListChangeSink* sink);
    // The changes recorded since the last call, oldest first.
    std::vector<ListChange> TakeChanges();
    // Sets a row's state without recording it: the view already shows it (the user selected).
    void AdoptRowState(int row, const ListRowState& state);

    // A copy of every row, top to bottom.
    std::vector<Row> Rows();
    // Appends a complete row (item data 0, not selected).
    void AppendRow(const std::array<std::string, kColumnCount>& texts);

  private:
    bool IsRow(int row) const { return row >= 0 && row < static_cast<int>(m_rows.size()); }
    // Callers hold m_mutex.
    void Record(ListChange change);

    std::recursive_mutex m_mutex;
    std::vector<Row> m_rows;
    ListChangeSink* m_sink = nullptr;
    std::vector<ListChange> m_changes;
};

}  // namespace vindle
