#include "platform/list_mirror.h"

namespace vindle {

ListMirror::ListMirror(MemoryListView& rows, ListView& view) : m_rows(rows), m_view(view) {
    m_rows.SetChangeSink(this);
}

ListMirror::~ListMirror() {
    Detach();
}

void ListMirror::ChangesPending() {
    ++m_postedCalls;
    PostSync();
}

void ListMirror::Sync() {
    if (m_detached.load()) {
        return;
    }
    for (const ListChange& change : m_rows.TakeChanges()) {
        Replay(change);
    }
}

void ListMirror::Detach() {
    // Takes the rows' lock: a worker inside ChangesPending has left it when this returns.
    m_rows.SetChangeSink(nullptr);
    m_detached.store(true);
}

void ListMirror::Replay(const ListChange& change) {
    switch (change.kind) {
        case ListChange::Kind::Insert:
            m_view.InsertItem(change.row, change.text);
            break;
        case ListChange::Kind::SetText:
            m_view.SetItemText(change.row, change.column, change.text);
            break;
        case ListChange::Kind::Delete:
            m_view.DeleteItem(change.row);
            break;
        case ListChange::Kind::DeleteAll:
            m_view.DeleteAllItems();
            break;
        case ListChange::Kind::SetState:
            m_view.SetRowState(change.row, change.state);
            break;
    }
}

void ListMirror::AdoptViewStates() {
    const int rows = m_view.ItemCount();
    for (int row = 0; row < rows; ++row) {
        m_rows.AdoptRowState(row, m_view.RowState(row));
    }
}

}  // namespace vindle
