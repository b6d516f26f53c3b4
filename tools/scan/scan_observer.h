#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "discovery/search_observer.h"

namespace vindle {

// Keeps what the scanner shows of a search: the latest progress, as the window's status line
// words it, and how the search ended. Told on the search's worker thread, read on the main one.
class ScanObserver : public SearchObserver {
  public:
    void SearchProgressed(const SearchProgress& progress) override;
    void SearchEnded(const SearchOutcome& outcome) override;

    // The status line's text for the latest progress; "Searching..." before the first report.
    std::string ProgressText() const;
    // How the search ended (a default outcome until it has).
    SearchOutcome Outcome() const;

  private:
    mutable std::mutex m_mutex;
    std::optional<SearchProgress> m_progress;
    SearchOutcome m_outcome;
};

}  // namespace vindle
