#include "platform/win32/window_task_queue.h"

namespace vindle {

void WindowTaskQueue::Post(Task task) {
    std::lock_guard lock(m_mutex);
    if (m_dropping) {
        return;
    }
    m_tasks.push_back(std::move(task));
    if (m_tasks.size() == 1) {
        PostMessageW(m_window, m_message, 0, 0);
    }
}

void WindowTaskQueue::RunPosted() {
    std::deque<Task> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
    }
    for (const Task& task : tasks) {
        if (std::lock_guard lock(m_mutex); m_dropping) {
            return;
        }
        task();
    }
}

void WindowTaskQueue::DropPosted() {
    std::lock_guard lock(m_mutex);
    m_dropping = true;
    m_tasks.clear();
}

}  // namespace vindle
