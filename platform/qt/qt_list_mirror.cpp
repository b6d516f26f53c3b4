#include "platform/qt/qt_list_mirror.h"

namespace vindle {

QtListMirror::QtListMirror(MemoryListView& rows, QtListView& view) : ListMirror(rows, view) {}

QtListMirror::~QtListMirror() {
    Detach();
    m_gate.Detach();
}

void QtListMirror::PostSync() {
    m_gate.Post([this] { Sync(); });
}

}  // namespace vindle
