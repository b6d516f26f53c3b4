#include "tools/scan/interrupt_watcher.h"

#include <signal.h>

#include <utility>

namespace vindle {
namespace {

// Wakes the watcher when it is to stop; never sent by anyone else.
constexpr int kStopSignal = SIGUSR2;

sigset_t WatchedSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, kStopSignal);
    return signals;
}

}  // namespace

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt)
    : m_onInterrupt(std::move(onInterrupt)) {
    const sigset_t signals = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    m_thread = std::thread([this] { Watch(); });
}

InterruptWatcher::~InterruptWatcher() {
    pthread_kill(m_thread.native_handle(), kStopSignal);
    m_thread.join();
}

void InterruptWatcher::Watch() {
    const sigset_t signals = WatchedSignals();
    for (;;) {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0 || signal == kStopSignal) {
            return;
        }
        if (!m_interrupted.exchange(true)) {
            m_onInterrupt();
        }
    }
}

}  // namespace vindle
