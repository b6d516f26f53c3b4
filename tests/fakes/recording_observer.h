#pragma once

#include <mutex>
#include <vector>

#include "discovery/search_observer.h"

namespace vindle {

// Keeps every progress report and outcome a search gives, for tests to read afterwards.
class RecordingObserver : public SearchObserver {
  public:
    void SearchProgressed(const SearchProgress& progress) override {
        std::lock_guard lock(m_mutex);
        m_progress.push_back(progress);
    }
    void SearchEnded(const SearchOutcome& outcome) override {
        std::lock_guard lock(m_mutex);
        m_outcomes.push_back(outcome);
    }
    std::vector<SearchProgress> Progress() {
        std::lock_guard lock(m_mutex);
        return m_progress;
    }
    std::vector<SearchOutcome> Outcomes() {
        std::lock_guard lock(m_mutex);
        return m_outcomes;
    }

  private:
    std::mutex m_mutex;
    std::vector<SearchProgress> m_progress;
    std::vector<SearchOutcome> m_outcomes;
};

}  // namespace vindle
