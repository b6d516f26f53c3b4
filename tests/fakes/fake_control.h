#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/control.h"

namespace vindle {

// A control that remembers every SetEnabled call. Thread-safe: a worker may enable it while a
// test thread waits for that with WaitUntilEnabled.
class FakeControl : public Control {
  public:
    explicit FakeControl(bool enabled = true) : m_enabled(enabled) {}

    void SetEnabled(bool enabled) override;
    bool IsEnabled() override;

    // Every value passed to SetEnabled, in call order.
    std::vector<bool> History();
    // Blocks (for real) until the control is enabled or `timeout` passes; true when enabled.
    bool WaitUntilEnabled(std::chrono::milliseconds timeout);

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_enabled;
    std::vector<bool> m_history;
};

}  // namespace vindle
