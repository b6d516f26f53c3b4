#pragma once

#include "platform/list_mirror.h"
#include "platform/memory_list_view.h"
#include "platform/qt/gui_thread_gate.h"
#include "platform/qt/qt_list_view.h"

namespace vindle {

// Shows the rows of a MemoryListView in a list widget: each run of changes costs one queued,
// non-blocking call to the GUI thread, which replays the changes on the widget. Create and use it
// on the GUI thread; the rows may change on any thread.
class QtListMirror final : public ListMirror {
  public:
    QtListMirror(MemoryListView& rows, QtListView& view);
    ~QtListMirror() override;

  protected:
    void PostSync() override;

  private:
    GuiThreadGate m_gate;
};

}  // namespace vindle
