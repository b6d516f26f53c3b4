#include "app/win32/posted_list_mirror.h"

namespace vindle {

PostedListMirror::PostedListMirror(MemoryListView& rows, ListView& view, HWND window, UINT message)
    : ListMirror(rows, view), m_window(window), m_message(message) {}

PostedListMirror::~PostedListMirror() {
    Detach();
}

void PostedListMirror::PostSync() {
    PostMessageW(m_window, m_message, 0, 0);
}

}  // namespace vindle
