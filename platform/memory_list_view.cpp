#include "platform/memory_list_view.h"

#include <algorithm>

namespace vindle {

namespace {

bool IsColumn(int column) {
    return column >= 0 && column < MemoryListView::kColumnCount;
}

}  // namespace

int MemoryListView::ItemCount() {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_rows.size());
}

std::string MemoryListView::ItemText(int row, int column) {
    std::lock_guard lock(m_mutex);
    return IsRow(row) && IsColumn(column) ? m_rows[row].texts[column] : std::string();
}

int MemoryListView::InsertItem(int position, const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (position < 0) {
        return -1;
    }
    const int index = std::min(position, static_cast<int>(m_rows.size()));
    Row row;
    row.texts[0] = text;
    m_rows.insert(m_rows.begin() + index, row);
    return index;
}

void MemoryListView::SetItemText(int row, int column, const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (IsRow(row) && IsColumn(column)) {
        m_rows[row].texts[column] = text;
    }
}

void MemoryListView::DeleteItem(int row) {
    std::lock_guard lock(m_mutex);
    if (IsRow(row)) {
        m_rows.erase(m_rows.begin() + row);
    }
}

void MemoryListView::DeleteAllItems() {
    std::lock_guard lock(m_mutex);
    m_rows.clear();
}

int MemoryListView::NextSelected(int start) {
    std::lock_guard lock(m_mutex);
    for (int row = std::max(start + 1, 0); row < static_cast<int>(m_rows.size()); ++row) {
        if (m_rows[row].state.selected) {
            return row;
        }
    }
    return -1;
}

int MemoryListView::SelectedCount() {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(
        std::count_if(m_rows.begin(), m_rows.end(), [](const Row& r) { return r.state.selected; }));
}

ListRowState MemoryListView::RowState(int row) {
    std::lock_guard lock(m_mutex);
    return IsRow(row) ? m_rows[row].state : ListRowState{};
}

void MemoryListView::SetRowState(int row, const ListRowState& state) {
    std::lock_guard lock(m_mutex);
    if (IsRow(row)) {
        m_rows[row].state = state;
    }
}

std::vector<MemoryListView::Row> MemoryListView::Rows() {
    std::lock_guard lock(m_mutex);
    return m_rows;
}

void MemoryListView::AppendRow(const std::array<std::string, kColumnCount>& texts) {
    std::lock_guard lock(m_mutex);
    m_rows.push_back(Row{texts, {}});
}

}  // namespace vindle
