#include "platform/qt/qt_search_observer.h"

#include <utility>

namespace vindle {

QtSearchObserver::QtSearchObserver(ProgressHandler onProgress, EndHandler onEnd)
    : m_onProgress(std::move(onProgress)), m_onEnd(std::move(onEnd)) {}

void QtSearchObserver::SearchProgressed(const SearchProgress& progress) {
    ++m_postedCalls;
    m_gate.Post([this, progress] { m_onProgress(progress); });
}

void QtSearchObserver::SearchEnded(const SearchOutcome& outcome) {
    ++m_postedCalls;
    m_gate.Post([this, outcome] { m_onEnd(outcome); });
}

}  // namespace vindle
