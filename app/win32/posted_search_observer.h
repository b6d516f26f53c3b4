#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>

#include "discovery/search_observer.h"

namespace vindle {

// Hands a search's progress and end to the window by posted messages; the worker posts and goes
// on. Progress reports that come faster than the window takes them are merged: the window finds
// the latest. The window answers each message by taking what waits. After Detach() nothing more
// is posted.
class PostedSearchObserver final : public SearchObserver {
  public:
    PostedSearchObserver(HWND window, UINT progressMessage, UINT endMessage);

    // The search's worker thread.
    void SearchProgressed(const SearchProgress& progress) override;
    void SearchEnded(const SearchOutcome& outcome) override;

    // The window's thread: the latest progress and the end, once each; nothing when none waits.
    std::optional<SearchProgress> TakeProgress();
    std::optional<SearchOutcome> TakeOutcome();

    // The window is going away; once this returns no thread posts to it any more.
    void Detach();

    // Messages posted so far.
    int PostedMessages() const { return m_posted.load(); }

  private:
    void Post(UINT message);

    std::mutex m_mutex;
    HWND m_window;
    UINT m_progressMessage;
    UINT m_endMessage;
    std::optional<SearchProgress> m_progress;
    std::optional<SearchOutcome> m_outcome;
    std::atomic<int> m_posted{0};
};

}  // namespace vindle
