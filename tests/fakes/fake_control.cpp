#include "fakes/fake_control.h"

namespace vindle {

void FakeControl::SetEnabled(bool enabled) {
    {
        std::lock_guard lock(m_mutex);
        m_enabled = enabled;
        m_history.push_back(enabled);
    }
    m_changed.notify_all();
}

bool FakeControl::IsEnabled() {
    std::lock_guard lock(m_mutex);
    return m_enabled;
}

std::vector<bool> FakeControl::History() {
    std::lock_guard lock(m_mutex);
    return m_history;
}

bool FakeControl::WaitUntilEnabled(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_enabled; });
}

}  // namespace vindle
