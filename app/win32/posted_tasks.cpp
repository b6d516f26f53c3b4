#include "app/win32/posted_tasks.h"

#include <utility>

namespace vindle {

void PostedTasks::Post(std::function<void()> task) {
    std::lock_guard lock(m_mutex);
    if (m_window == nullptr) {
        return;
    }
    m_tasks.push_back(std::move(task));
    if (m_tasks.size() == 1) {
        PostMessageW(m_window, m_message, 0, 0);
    }
}

void PostedTasks::RunPending() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
    }
    for (const auto& task : tasks) {
        // A task may close the window.
        if (std::lock_guard lock(m_mutex); m_window == nullptr) {
            return;
        }
        task();
    }
}

void PostedTasks::Detach() {
    std::lock_guard lock(m_mutex);
    m_window = nullptr;
    m_tasks.clear();
}

}  // namespace vindle
