#include "fakes/fake_list_view.h"

namespace vindle {

void FakeListView::Before(const char* operation, int Counters::*counter) {
    std::function<void(const char*)> hook;
    {
        std::lock_guard lock(m_mutex);
        hook = m_beforeOperation;
        if (counter != nullptr) {
            ++(m_counters.*counter);
        }
    }
    if (hook) {
        hook(operation);
    }
}

int FakeListView::ItemCount() {
    Before("ItemCount", &Counters::itemCount);
    return MemoryListView::ItemCount();
}

std::string FakeListView::ItemText(int row, int column) {
    Before("ItemText", &Counters::itemText);
    return MemoryListView::ItemText(row, column);
}

int FakeListView::InsertItem(int position, const std::string& text) {
    Before("InsertItem", &Counters::insertItem);
    return MemoryListView::InsertItem(position, text);
}

void FakeListView::SetItemText(int row, int column, const std::string& text) {
    Before("SetItemText", &Counters::setItemText);
    MemoryListView::SetItemText(row, column, text);
}

void FakeListView::DeleteItem(int row) {
    Before("DeleteItem", &Counters::deleteItem);
    MemoryListView::DeleteItem(row);
}

void FakeListView::DeleteAllItems() {
    Before("DeleteAllItems", &Counters::deleteAllItems);
    MemoryListView::DeleteAllItems();
}

int FakeListView::NextSelected(int start) {
    Before("NextSelected", nullptr);
    return MemoryListView::NextSelected(start);
}

int FakeListView::SelectedCount() {
    Before("SelectedCount", nullptr);
    return MemoryListView::SelectedCount();
}

ListRowState FakeListView::RowState(int row) {
    Before("RowState", &Counters::rowState);
    return MemoryListView::RowState(row);
}

void FakeListView::SetRowState(int row, const ListRowState& state) {
    Before("SetRowState", &Counters::setRowState);
    MemoryListView::SetRowState(row, state);
}

std::vector<std::string> FakeListView::ColumnTexts(int column) {
    std::vector<std::string> texts;
    if (column < 0 || column >= kColumnCount) {
        return texts;
    }
    for (const Row& row : Rows()) {
        texts.push_back(row.texts[column]);
    }
    return texts;
}

void FakeListView::Select(int row, bool selected) {
    ListRowState state = MemoryListView::RowState(row);
    state.selected = selected;
    MemoryListView::SetRowState(row, state);
}

void FakeListView::ClearSelection() {
    const int count = MemoryListView::ItemCount();
    for (int row = 0; row < count; ++row) {
        Select(row, false);
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
