#pragma once

#include "platform/list_mirror.h"
#include "platform/memory_list_view.h"
#include "platform/win32/win32_list_view.h"
#include "platform/win32/window_task_queue.h"

namespace vindle {

// Shows the rows of a MemoryListView in a list control: each run of changes posts one replay
// through the window's task queue, so it keeps its place among the window's other tasks. Create
// and use it on the window's thread; the rows may change on any thread. `tasks` must outlive it.
class Win32ListMirror final : public ListMirror {
  public:
    Win32ListMirror(MemoryListView& rows, Win32ListView& list, WindowTaskQueue& tasks)
        : ListMirror(rows, list), m_tasks(tasks) {}
    ~Win32ListMirror() override { Detach(); }

  protected:
    void PostSync() override {
        m_tasks.Post([this] { Sync(); });
    }

  private:
    WindowTaskQueue& m_tasks;
};

}  // namespace vindle
