#pragma once

#include <pthread.h>

#include <atomic>
#include <functional>
#include <thread>

namespace vindle {

// Turns SIGINT into a call on a thread of its own, so that the call may do what a signal handler
// must not (take locks, shut a network down). Construct it before any other thread starts: it
// blocks SIGINT in the calling thread, and threads started later inherit that.
class InterruptWatcher {
  public:
    explicit InterruptWatcher(std::function<void()> onInterrupt);
    // Stops watching; a SIGINT after this stays pending and blocked.
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    // True once SIGINT has arrived.
    bool Interrupted() const { return m_interrupted.load(); }

  private:
    void Watch();

    std::function<void()> m_onInterrupt;
    std::atomic<bool> m_interrupted{false};
    std::thread m_thread;
};

}  // namespace vindle
