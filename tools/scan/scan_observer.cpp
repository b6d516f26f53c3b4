#include "tools/scan/scan_observer.h"

#include "discovery/search_status_text.h"

namespace vindle {

void ScanObserver::SearchProgressed(const SearchProgress& progress) {
    std::lock_guard lock(m_mutex);
    m_progress = progress;
}

void ScanObserver::SearchEnded(const SearchOutcome& outcome) {
    std::lock_guard lock(m_mutex);
    m_outcome = outcome;
}

std::string ScanObserver::ProgressText() const {
    std::lock_guard lock(m_mutex);
    return m_progress ? ProgressStatusText(*m_progress) : "Searching...";
}

SearchOutcome ScanObserver::Outcome() const {
    std::lock_guard lock(m_mutex);
    return m_outcome;
}

}  // namespace vindle
