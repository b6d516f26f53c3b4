#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

namespace vindle {

// Runs tasks handed in on any thread on the window's thread: the first task waiting costs one
// posted message, which the window answers with RunPending(). Nobody waits for the window. After
// Detach() tasks are dropped.
class PostedTasks {
  public:
    PostedTasks(HWND window, UINT message) : m_window(window), m_message(message) {}

    // Any thread.
    void Post(std::function<void()> task);
    // The window's thread: runs the tasks waiting, in the order they were posted.
    void RunPending();
    // The window is going away; once this returns nothing is posted or run any more.
    void Detach();

  private:
    std::mutex m_mutex;
    HWND m_window;
    UINT m_message;
    std::deque<std::function<void()>> m_tasks;
};

}  // namespace vindle
