#include "app/win32/posted_search_observer.h"

#include <utility>

namespace vindle {

PostedSearchObserver::PostedSearchObserver(HWND window, UINT progressMessage, UINT endMessage)
    : m_window(window), m_progressMessage(progressMessage), m_endMessage(endMessage) {}

void PostedSearchObserver::SearchProgressed(const SearchProgress& progress) {
    std::lock_guard lock(m_mutex);
    // A message already on its way will find this report instead of the one it was posted for.
    const bool posted = m_progress.has_value();
    m_progress = progress;
    if (!posted) {
        Post(m_progressMessage);
    }
}

void PostedSearchObserver::SearchEnded(const SearchOutcome& outcome) {
    std::lock_guard lock(m_mutex);
    m_outcome = outcome;
    Post(m_endMessage);
}

std::optional<SearchProgress> PostedSearchObserver::TakeProgress() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_progress, std::nullopt);
}

std::optional<SearchOutcome> PostedSearchObserver::TakeOutcome() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_outcome, std::nullopt);
}

void PostedSearchObserver::Detach() {
    std::lock_guard lock(m_mutex);
    m_window = nullptr;
}

void PostedSearchObserver::Post(UINT message) {
    // Callers hold m_mutex.
    if (m_window != nullptr) {
        ++m_posted;
        PostMessageW(m_window, message, 0, 0);
    }
}

}  // namespace vindle
