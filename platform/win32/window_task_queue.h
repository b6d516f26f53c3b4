#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

namespace vindle {

// Runs tasks on a window's thread for callers on any thread: the first task waiting costs one
// posted message `message` to the window, which answers it with RunPosted(). Posting never waits.
class WindowTaskQueue {
  public:
    using Task = std::function<void()>;

    WindowTaskQueue(HWND window, UINT message) : m_window(window), m_message(message) {}

    // Any thread.
    void Post(Task task);
    // The window's thread: runs the tasks waiting, in the order they were posted.
    void RunPosted();
    // The window is closing: from now on tasks are dropped.
    void DropPosted();

  private:
    HWND m_window;
    UINT m_message;
    std::mutex m_mutex;
    bool m_dropping = false;
    std::deque<Task> m_tasks;
};

}  // namespace vindle
