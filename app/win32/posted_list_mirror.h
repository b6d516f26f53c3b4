#pragma once

#include <windows.h>

#include "platform/list_mirror.h"
#include "platform/list_view.h"
#include "platform/memory_list_view.h"

namespace vindle {

// Shows the rows of a MemoryListView in a list control: each run of changes costs one posted
// message to the window, which answers it with Sync(). The worker posts and goes on: it never
// sends or waits. Create and use it on the window's thread; the rows may change on any thread.
class PostedListMirror final : public ListMirror {
  public:
    // `message` is posted to `window` when changes are waiting.
    PostedListMirror(MemoryListView& rows, ListView& view, HWND window, UINT message);
    ~PostedListMirror() override;

  protected:
    void PostSync() override;

  private:
    HWND m_window;
    UINT m_message;
};

}  // namespace vindle
