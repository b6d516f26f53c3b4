#include "fakes/fake_list_view.h"

namespace vindle {

namespace {

bool IsColumn(int column) {
    return column >= 0 && column < FakeListView::kColumnCount;
}

}  // namespace

void FakeListView::RunHook(const char* operation) {
    std::function<void(const char*)> hook;
    {
        std::lock_guard lock(m_mutex);
        hook = m_beforeOperation;
    }
    if (hook) {
        hook(operation);
    }
}

int FakeListView::ItemCount() {
    RunHook("ItemCount");
    std::lock_guard lock(m_mutex);
    ++m_counters.itemCount;
    return static_cast<int>(m_rows.size());
}

std::string FakeListView::ItemText(int row, int column) {
    RunHook("ItemText");
    std::lock_guard lock(m_mutex);
    ++m_counters.itemText;
    if (row < 0 || row >= static_cast<int>(m_rows.size()) || !IsColumn(column)) {
        return {};
    }
    return m_rows[row].texts[column];
}

int FakeListView::InsertItem(int position, const std::string& text) {
    RunHook("InsertItem");
    std::lock_guard lock(m_mutex);
    ++m_counters.insertItem;
    if (position < 0) {
        return -1;
    }
    const int count = static_cast<int>(m_rows.size());
    const int index = position > count ? count : position;
    Row row;
    row.texts[0] = text;
    m_rows.insert(m_rows.begin() + index, row);
    return index;
}

void FakeListView::SetItemText(int row, int column, const std::string& text) {
    RunHook("SetItemText");
    std::lock_guard lock(m_mutex);
    ++m_counters.setItemText;
    if (row < 0 || row >= static_cast<int>(m_rows.size()) || !IsColumn(column)) {
        return;
    }
    m_rows[row].texts[column] = text;
}

void FakeListView::DeleteItem(int row) {
    RunHook("DeleteItem");
    std::lock_guard lock(m_mutex);
    ++m_counters.deleteItem;
    if (row < 0 || row >= static_cast<int>(m_rows.size())) {
        return;
    }
    m_rows.erase(m_rows.begin() + row);
}

void FakeListView::DeleteAllItems() {
    RunHook("DeleteAllItems");
    std::lock_guard lock(m_mutex);
    ++m_counters.deleteAllItems;
    m_rows.clear();
}

int FakeListView::NextSelected(int start) {
    RunHook("NextSelected");
    std::lock_guard lock(m_mutex);
    const int first = start < 0 ? 0 : start + 1;
    for (int row = first; row < static_cast<int>(m_rows.size()); ++row) {
        if (m_rows[row].state.selected) {
            return row;
        }
    }
    return -1;
}

int FakeListView::SelectedCount() {
    RunHook("SelectedCount");
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const Row& row : m_rows) {
        count += row.state.selected ? 1 : 0;
    }
    return count;
}

ListRowState FakeListView::RowState(int row) {
    RunHook("RowState");
    std::lock_guard lock(m_mutex);
    ++m_counters.rowState;
    if (row < 0 || row >= static_cast<int>(m_rows.size())) {
        return {};
    }
    return m_rows[row].state;
}

void FakeListView::SetRowState(int row, const ListRowState& state) {
    RunHook("SetRowState");
    std::lock_guard lock(m_mutex);
    ++m_counters.setRowState;
    if (row < 0 || row >= static_cast<int>(m_rows.size())) {
        return;
    }
    m_rows[row].state = state;
}

std::vector<FakeListView::Row> FakeListView::Rows() {
    std::lock_guard lock(m_mutex);
    return m_rows;
}

std::vector<std::string> FakeListView::ColumnTexts(int column) {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    if (!IsColumn(column)) {
        return texts;
    }
    for (const Row& row : m_rows) {
        texts.push_back(row.texts[column]);
    }
    return texts;
}

void FakeListView::AppendRow(const std::array<std::string, kColumnCount>& texts) {
    std::lock_guard lock(m_mutex);
    m_rows.push_back(Row{texts, {}});
}

void FakeListView::Select(int row, bool selected) {
    std::lock_guard lock(m_mutex);
    if (row >= 0 && row < static_cast<int>(m_rows.size())) {
        m_rows[row].state.selected = selected;
    }
}

void FakeListView::ClearSelection() {
    std::lock_guard lock(m_mutex);
    for (Row& row : m_rows) {
        row.state.selected = false;
    }
}

FakeListView::Counters FakeListView::Calls() {
    std::lock_guard lock(m_mutex);
    return m_counters;
}

void FakeListView::ResetCounters() {
    std::lock_guard lock(m_mutex);
    m_counters = {};
}

void FakeListView::SetBeforeOperation(std::function<void(const char* operation)> hook) {
    std::lock_guard lock(m_mutex);
    m_beforeOperation = std::move(hook);
}

}  // namespace vindle
