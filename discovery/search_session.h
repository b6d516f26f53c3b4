#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "discovery/protocol.h"
#include "discovery/search_observer.h"
#include "discovery/search_options.h"
#include "discovery/search_status_text.h"
#include "platform/list_view.h"
#include "platform/network.h"
#include "settings/settings_file.h"

namespace vindle {

// What Start() did.
struct SearchStart {
    enum class Result {
        Started,             // a search runs; its end is reported to the observer
        NoSearchMode,        // the settings file selects no search mode
        SettingsUnreadable,  // the settings file cannot be read; `settings` says why
        NoThread,            // no worker thread could be started
        Closed,              // the session was closed: its front end is going away
    };
    Result result = Result::Started;
    SearchMode mode = SearchMode::Undefined;
    // Whether the search started is the thorough one.
    bool thorough = false;
    SettingsStatus settings;

    bool Started() const { return result == Result::Started; }
};

// The searches of one front end (a window or the scanner), one at a time. Start() reads the
// search mode from the settings file and runs that search on a worker thread; the worker places
// rows in `rows` and reports progress and its end to `observer` only, never waiting for the
// front end. Stop() ends a running search at once (its waits, sends and opens fail; it keeps the
// rows it listed and reports its end as usual). The request state that outlives one search
// (sequence bytes, pending sends) lives here.
//
// Start(), Wait(), WaitFor() and the destructor belong to one thread (the front end's); Stop(),
// Close(), Running() and the status queries may be called from any thread.
class SearchSession {
  public:
    using WorkerBody = std::function<void()>;
    // Starts a thread running `body`; throws std::system_error when none starts.
    using ThreadStarter = std::function<std::thread(WorkerBody body)>;

    // `settings`, `network`, `rows` and `observer` (may be null) must outlive the session.
    SearchSession(const Settings& settings, Network& network, ListView& rows,
                  SearchObserver* observer, ThreadStarter startThread = {});
    // Stops a running search and waits for its worker.
    ~SearchSession();

    SearchSession(const SearchSession&) = delete;
    SearchSession& operator=(const SearchSession&) = delete;

    // Waits for the previous worker (it has reported its end already), then starts the search
    // the settings file selects ([Search] Thorough read here, like the mode). The observer hears
    // of a started search only. After Close() nothing starts.
    SearchStart Start();
    // The same with `options` applied: thorough forced on, a time-out, or an explicit list of
    // targets, with which the settings file is neither read nor created (see SearchOptions).
    SearchStart Start(const SearchOptions& options);
    // Ends the running search at once; does nothing when none runs. The next Start() opens the
    // network again.
    void Stop();
    // Shuts the network down for good, for a front end that is closing: a running search ends at
    // once and no later Start() reopens the network.
    void Close();

    // From Start() until the worker has returned (after the observer heard of the end).
    bool Running() const;
    // Waits until the worker has returned and joins it.
    void Wait();
    // Waits up to `limit`; true when no search runs any more (the worker is then joined).
    bool WaitFor(std::chrono::milliseconds limit);

    // Whether Stop() ended the last search started.
    bool StopRequested() const;
    // Seconds since the last Start() that started a search.
    double ElapsedSeconds() const;
    // The status line for how the last search ended, said when the end is reported.
    StatusLine EndStatusLine(const SearchOutcome& outcome) const;

    RequestState& Requests() { return m_requests; }

  private:
    void Join();

    const Settings& m_settings;
    Network& m_network;
    ListView& m_rows;
    SearchObserver* m_observer;
    ThreadStarter m_startThread;
    RequestState m_requests;

    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_closed = false;
    std::chrono::steady_clock::time_point m_startedAt{};
    std::thread m_worker;
};

}  // namespace vindle
