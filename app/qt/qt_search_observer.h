#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "discovery/search_observer.h"
#include "platform/qt/gui_thread_gate.h"

namespace vindle {

// Hands a search's progress and end to functions that run on the GUI thread. The worker posts
// and goes on; nothing waits. Progress reports that come faster than the GUI thread takes them
// are merged: it is handed the latest. After Detach() nothing more is handed on.
class QtSearchObserver final : public SearchObserver {
  public:
    using ProgressHandler = std::function<void(const SearchProgress&)>;
    using EndHandler = std::function<void(const SearchOutcome&)>;

    QtSearchObserver(ProgressHandler onProgress, EndHandler onEnd);

    void SearchProgressed(const SearchProgress& progress) override;
    void SearchEnded(const SearchOutcome& outcome) override;

    // GUI thread only.
    void Detach() { m_gate.Detach(); }

    // Queued calls made to the GUI thread so far.
    int PostedCalls() const { return m_postedCalls.load(); }

  private:
    ProgressHandler m_onProgress;
    EndHandler m_onEnd;
    GuiThreadGate m_gate;
    std::atomic<int> m_postedCalls{0};
    std::mutex m_mutex;
    SearchProgress m_latest;
    bool m_progressPosted = false;
};

}  // namespace vindle
