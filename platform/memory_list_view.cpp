#include "platform/memory_list_view.h"

#include <algorithm>
#include <utility>

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
    Record({ListChange::Kind::Insert, index, 0, text, {}});
    return index;
}

void MemoryListView::SetItemText(int row, int column, const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (IsRow(row) && IsColumn(column)) {
        m_rows[row].texts[column] = text;
        Record({ListChange::Kind::SetText, row, column, text, {}});
    }
}

void MemoryListView::DeleteItem(int row) {
    std::lock_guard lock(m_mutex);
    if (IsRow(row)) {
        m_rows.erase(m_rows.begin() + row);
        Record({ListChange::Kind::Delete, row, 0, {}, {}});
    }
}

void MemoryListView::DeleteAllItems() {
    std::lock_guard lock(m_mutex);
    m_rows.clear();
    Record({ListChange::Kind::DeleteAll, 0, 0, {}, {}});
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
        Record({ListChange::Kind::SetState, row, 0, {}, state});
    }
}

void MemoryListView::AdoptRowState(int row, const ListRowState& state) {
    std::lock_guard lock(m_mutex);
    if (IsRow(row)) {
        m_rows[row].state = state;
    }
}

void MemoryListView::SetChangeSink(ListChangeSink* sink) {
    std::lock_guard lock(m_mutex);
    m_sink = sink;
    m_changes.clear();
}

std::vector<ListChange> MemoryListView::TakeChanges() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_changes, {});
}

void MemoryListView::Record(ListChange change) {
    if (m_sink == nullptr) {
        return;
    }
    m_changes.push_back(std::move(change));
    if (m_changes.size() == 1) {
        m_sink->ChangesPending();
    }
}

std::vector<MemoryListView::Row> MemoryListView::Rows() {
    std::lock_guard lock(m_mutex);
    return m_rows;
}

void MemoryListView::AppendRow(const std::array<std::string, kColumnCount>& texts) {
    std::lock_guard lock(m_mutex);
    m_rows.push_back(Row{texts, {}});
    if (m_sink != nullptr) {
        const int row = static_cast<int>(m_rows.size()) - 1;
        Record({ListChange::Kind::Insert, row, 0, texts[0], {}});
        for (int column = 1; column < kColumnCount; ++column) {
            Record({ListChange::Kind::SetText, row, column, texts[column], {}});
        }
    }
}

}  // namespace vindle
