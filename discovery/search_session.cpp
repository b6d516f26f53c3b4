#include "discovery/search_session.h"

#include <memory>
#include <system_error>
#include <utility>

#include "discovery/broadcast_search.h"
#include "discovery/search_context.h"
#include "discovery/search_status_text.h"
#include "discovery/specified_search.h"
#include "discovery/thorough_search.h"

namespace vindle {

namespace {

using SearchThreadProc = SearchOutcome (*)(std::unique_ptr<SearchContext>);

std::thread StartPlainThread(SearchSession::WorkerBody body) {
    return std::thread(std::move(body));
}

}  // namespace

SearchSession::SearchSession(const Settings& settings, Network& network, ListView& rows,
                             SearchObserver* observer, ThreadStarter startThread)
    : m_settings(settings),
      m_network(network),
      m_rows(rows),
      m_observer(observer),
      m_startThread(startThread ? std::move(startThread) : ThreadStarter(&StartPlainThread)) {}

SearchSession::~SearchSession() {
    Stop();
    Wait();
}

SearchStart SearchSession::Start() {
    return Start(SearchOptions{});
}

SearchStart SearchSession::Start(const SearchOptions& options) {
    Wait();
    SearchStart start;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) {
            start.result = SearchStart::Result::Closed;
            return start;
        }
    }
    // Targets make a specified search of their own, without the settings file.
    start.mode = options.targets.empty() ? ReadSearchMode(m_settings) : SearchMode::Specified;
    SearchThreadProc proc = nullptr;
    if (start.mode != SearchMode::Undefined) {
        start.thorough =
            options.thorough || (options.targets.empty() && ReadThoroughSearch(m_settings));
    }
    switch (start.mode) {
        case SearchMode::Broadcast:
            proc = start.thorough ? &ThoroughBroadcastSearchThread : &BroadcastSearchThread;
            break;
        case SearchMode::Specified:
            proc = start.thorough ? &ThoroughSpecifiedSearchThread : &SpecifiedSearchThread;
            break;
        case SearchMode::Undefined:
            start.settings = CheckSettingsReadable(m_settings);
            start.result = start.settings.Ok() ? SearchStart::Result::NoSearchMode
                                               : SearchStart::Result::SettingsUnreadable;
            return start;
    }

    {
        std::lock_guard lock(m_mutex);
        // A stopped search shut its sockets down for good; the next one opens fresh ones.
        if (m_stopRequested && !m_closed) {
            m_network.Restart();
        }
        m_stopRequested = false;
        m_running = true;
        m_startedAt = std::chrono::steady_clock::now();
    }

    // Value-initialised, so every device slot starts zero-filled. Held through a shared pointer
    // because the worker's body must be copyable; the worker takes it over.
    auto context =
        std::make_shared<std::unique_ptr<SearchContext>>(std::make_unique<SearchContext>());
    (*context)->listControl = &m_rows;
    (*context)->network = &m_network;
    (*context)->requests = &m_requests;
    (*context)->observer = m_observer;
    (*context)->options = options;
    (*context)->settings = &m_settings;
    try {
        m_worker = m_startThread([this, proc, context] {
            proc(std::move(*context));
            std::lock_guard lock(m_mutex);
            m_running = false;
            m_ended.notify_all();
        });
    } catch (const std::system_error&) {
        std::lock_guard lock(m_mutex);
        m_running = false;
        start.result = SearchStart::Result::NoThread;
    }
    return start;
}

void SearchSession::Stop() {
    std::lock_guard lock(m_mutex);
    if (m_running) {
        m_stopRequested = true;
        m_network.Shutdown();
    }
}

void SearchSession::Close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_stopRequested = m_stopRequested || m_running;
    m_network.Shutdown();
}

bool SearchSession::Running() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

void SearchSession::Wait() {
    {
        std::unique_lock lock(m_mutex);
        m_ended.wait(lock, [this] { return !m_running; });
    }
    Join();
}

bool SearchSession::WaitFor(std::chrono::milliseconds limit) {
    {
        std::unique_lock lock(m_mutex);
        if (!m_ended.wait_for(lock, limit, [this] { return !m_running; })) {
            return false;
        }
    }
    Join();
    return true;
}

void SearchSession::Join() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

bool SearchSession::StopRequested() const {
    std::lock_guard lock(m_mutex);
    return m_stopRequested;
}

double SearchSession::ElapsedSeconds() const {
    std::lock_guard lock(m_mutex);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_startedAt).count();
}

StatusLine SearchSession::EndStatusLine(const SearchOutcome& outcome) const {
    return vindle::EndStatusLine(outcome, ElapsedSeconds(), StopRequested());
}

}  // namespace vindle
