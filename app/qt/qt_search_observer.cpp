#include "app/qt/qt_search_observer.h"

#include <utility>

namespace vindle {

QtSearchObserver::QtSearchObserver(ProgressHandler onProgress, EndHandler onEnd)
    : m_onProgress(std::move(onProgress)), m_onEnd(std::move(onEnd)) {}

void QtSearchObserver::SearchProgressed(const SearchProgress& progress) {
    {
        std::lock_guard lock(m_mutex);
        m_latest = progress;
        if (m_progressPosted) {
            return;
        }
        m_progressPosted = true;
    }
    ++m_postedCalls;
    m_gate.Post([this] {
        SearchProgress latest;
        {
            std::lock_guard lock(m_mutex);
            latest = m_latest;
            m_progressPosted = false;
        }
        m_onProgress(latest);
    });
}

void QtSearchObserver::SearchEnded(const SearchOutcome& outcome) {
    ++m_postedCalls;
    m_gate.Post([this, outcome] { m_onEnd(outcome); });
}

}  // namespace vindle
