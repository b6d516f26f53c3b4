#include "platform/qt/qt_list_mirror.h"

#include <vector>

namespace vindle {

QtListMirror::QtListMirror(MemoryListView& rows, QtListView& view) : m_rows(rows), m_view(view) {
    m_rows.SetChangeSink(this);
}

QtListMirror::~QtListMirror() {
    m_rows.SetChangeSink(nullptr);
}

void QtListMirror::ChangesPending() {
    ++m_postedCalls;
    m_gate.Post([this] { Sync(); });
}

void QtListMirror::Sync() {
    if (m_gate.IsDetached()) {
        return;
    }
    for (const ListChange& change : m_rows.TakeChanges()) {
        Replay(change);
    }
}

void QtListMirror::Detach() {
    m_gate.Detach();
}

void QtListMirror::Replay(const ListChange& change) {
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

void QtListMirror::AdoptWidgetStates() {
    const int rows = m_view.ItemCount();
    for (int row = 0; row < rows; ++row) {
        m_rows.AdoptRowState(row, m_view.RowState(row));
    }
}

}  // namespace vindle
