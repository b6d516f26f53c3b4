#pragma once

#include <cstdint>
#include <string>

namespace vindle {

// What travels with a row when two rows are exchanged: selection, focus, item data and image.
struct ListRowState {
    bool selected = false;
    bool focused = false;
    std::intptr_t itemData = 0;
    int image = 0;

    bool operator==(const ListRowState&) const = default;
};

// A report-style list of rows with text columns. Texts are byte strings: each byte is one
// character of the list (Latin-1), so every byte a printer sends is shown and compared as itself.
class ListView {
  public:
    virtual ~ListView() = default;

    virtual int ItemCount() = 0;
    virtual std::string ItemText(int row, int column) = 0;
    // Inserts a row before `position` (at the end when position == ItemCount()) whose column 0 is
    // `text`, with item data 0; returns the index the row got, or -1.
    virtual int InsertItem(int position, const std::string& text) = 0;
    virtual void SetItemText(int row, int column, const std::string& text) = 0;
    virtual void DeleteItem(int row) = 0;
    virtual void DeleteAllItems() = 0;
    // Index of the first selected row after `start` (-1 searches from the top); -1 when none.
    virtual int NextSelected(int start) = 0;
    virtual int SelectedCount() = 0;
    virtual ListRowState RowState(int row) = 0;
    virtual void SetRowState(int row, const ListRowState& state) = 0;

    // Brackets a run of calls that must see the rows unchanged by anyone else (reading where a
    // row goes, then inserting it). Nested runs are allowed; a list used by one thread at a time
    // needs nothing here.
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
};

// BeginUpdate() for the lifetime of the scope.
class ListUpdateScope {
  public:
    explicit ListUpdateScope(ListView& list) : m_list(list) { m_list.BeginUpdate(); }
    ~ListUpdateScope() { m_list.EndUpdate(); }
    ListUpdateScope(const ListUpdateScope&) = delete;
    ListUpdateScope& operator=(const ListUpdateScope&) = delete;

  private:
    ListView& m_list;
};

}  // namespace vindle
