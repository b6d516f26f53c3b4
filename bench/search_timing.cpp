// One broadcast search over the real network, timed from "Retrieve" to "Retrieve" enabled again,
// with every detail probe's round trip noted so the protocol's own waits can be set apart.
// Run it inside scripts/lan-sandbox, next to qarv-printer-sim. Prints one JSON object.
//
//   bench-search [--list window|memory] [--timeout SECONDS]
//
// "window" drives the real main window (offscreen unless QT_QPA_PLATFORM says otherwise): the
// worker reaches the list through the Qt adapters, as after a click on "Retrieve". "memory" runs
// the worker against an in-memory list, as the command-line scanner does.
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "app/qt/qarv_vindle_dlg.h"
#include "bench/timing_network.h"
#include "discovery/broadcast_search.h"
#include "discovery/protocol.h"
#include "platform/memory_list_view.h"
#include "platform/posix/posix_network.h"

namespace {

using Clock = vindle::TimingNetwork::Clock;

constexpr int kSettleMs = 300;

struct Options {
    bool window = true;
    int timeoutSeconds = 6;
};

struct Outcome {
    Clock::duration wall{};
    int rows = 0;
    // The window only: calls the worker queued to the GUI thread, and the longest time the GUI
    // thread went without handling an event during the search.
    int queuedCalls = 0;
    double longestStallMs = 0;
};

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Notes the moment "Retrieve" is enabled again, which is the search's last step, and ends the
// event loop.
class SearchEndWatcher : public QObject {
  public:
    explicit SearchEndWatcher(QPushButton* button) : m_button(button) {
        button->installEventFilter(this);
    }
    void Arm() { m_armed = true; }
    Clock::time_point End() const { return m_end; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (m_armed && watched == m_button && event->type() == QEvent::EnabledChange &&
            m_button->isEnabled()) {
            m_end = Clock::now();
            m_armed = false;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

  private:
    QPushButton* m_button;
    bool m_armed = false;
    Clock::time_point m_end{};
};

Outcome SearchInWindow(vindle::Network& network) {
    CQarvVindleDlg window(network);
    window.show();
    auto* retrieve = window.findChild<QPushButton*>(QStringLiteral("retrieveButton"));
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("deviceList"));
    if (retrieve == nullptr || list == nullptr) {
        std::fprintf(stderr, "bench-search: the main window has no Retrieve button or list\n");
        std::exit(1);
    }
    SearchEndWatcher watcher(retrieve);
    Clock::time_point start{};
    // A heartbeat on the GUI thread: the longest gap between two beats during the search is how
    // long the window could not handle an event.
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    Clock::time_point lastBeat{};
    Clock::duration longestGap{};
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        longestGap = std::max(longestGap, now - lastBeat);
        lastBeat = now;
    });
    // The click comes once the window has been shown and painted, as an operator's would.
    QTimer::singleShot(kSettleMs, &window, [&] {
        watcher.Arm();
        start = Clock::now();
        lastBeat = start;
        heartbeat.start();
        retrieve->click();
    });
    QCoreApplication::exec();
    heartbeat.stop();
    const int queuedCalls = window.QueuedCallsFromWorkers();
    Outcome outcome{watcher.End() - start, list->topLevelItemCount(), queuedCalls,
                    Milliseconds(longestGap)};
    window.close();
    window.FinishSearch();
    return outcome;
}

// "Retrieve" of a search without a window: the worker enables it at its end.
class EndSignal : public vindle::Control {
  public:
    void SetEnabled(bool enabled) override {
        std::lock_guard lock(m_mutex);
        if (enabled) {
            m_end = Clock::now();
        }
        m_enabled = enabled;
        m_changed.notify_all();
    }
    bool IsEnabled() override {
        std::lock_guard lock(m_mutex);
        return m_enabled;
    }
    Clock::time_point WaitForEnd() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_enabled; });
        return m_end;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_enabled = false;
    Clock::time_point m_end{};
};

Outcome SearchInMemory(vindle::Network& network) {
    vindle::MemoryListView list;
    EndSignal retrieve;
    vindle::RequestState requests;
    auto context = std::make_unique<vindle::SearchContext>();
    context->listControl = &list;
    context->retrieveButton = &retrieve;
    context->network = &network;
    context->requests = &requests;
    const Clock::time_point start = Clock::now();
    std::thread worker(vindle::BroadcastSearchThread, std::move(context));
    const Clock::time_point end = retrieve.WaitForEnd();
    worker.join();
    return Outcome{end - start, list.ItemCount(), 0, 0};
}

bool ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--list" && i + 1 < argc) {
            const std::string_view value = argv[++i];
            if (value != "window" && value != "memory") {
                return false;
            }
            options.window = value == "window";
        } else if (argument == "--timeout" && i + 1 < argc) {
            options.timeoutSeconds = std::atoi(argv[++i]);
            if (options.timeoutSeconds < 1 || options.timeoutSeconds > 120) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

// A fresh working directory holding a settings file that selects the broadcast search.
std::filesystem::path EnterSettingsDirectory(int timeoutSeconds) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vindle-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("bench-search: mkdtemp");
        std::exit(1);
    }
    std::filesystem::current_path(pattern);
    std::ofstream("QarvVindle.ini")
        << "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
        << "[TimeOut]\nTimeVal=" << timeoutSeconds << "\n";
    return pattern;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fprintf(stderr, "usage: bench-search [--list window|memory] [--timeout 1-120]\n");
        return 2;
    }
    if (getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    const std::filesystem::path directory = EnterSettingsDirectory(options.timeoutSeconds);

    vindle::PosixNetwork posixNetwork;
    vindle::TimingNetwork network(posixNetwork);
    const Outcome outcome = options.window ? SearchInWindow(network) : SearchInMemory(network);
    const vindle::TimingNetwork::Summary summary = network.Collect();

    std::filesystem::current_path(directory.parent_path());
    std::filesystem::remove_all(directory);

    const vindle::ProtocolFloor floor =
        vindle::ComputeProtocolFloor(summary, std::chrono::seconds(options.timeoutSeconds));

    std::printf(
        "{\"list\": \"%s\", \"rows\": %d, \"search_replies\": %d, \"probe_round_trips\": %zu, "
        "\"probe_timeouts\": %d, \"wall_ms\": %.3f, \"floor_ms\": %.3f, "
        "\"round_trip_sum_ms\": %.3f, \"median_round_trip_ms\": %.4f, "
        "\"last_quiet_wait_ms\": %.3f, \"overhead_ms\": %.3f, \"queued_gui_calls\": %d, "
        "\"longest_gui_stall_ms\": %.3f}\n",
        options.window ? "window" : "memory", outcome.rows, summary.searchReplies,
        summary.probeRoundTrips.size(), summary.probeTimeouts, Milliseconds(outcome.wall),
        Milliseconds(floor.total), Milliseconds(floor.roundTripSum),
        Milliseconds(floor.medianRoundTrip), Milliseconds(summary.lastQuietWait),
        Milliseconds(outcome.wall - floor.total), outcome.queuedCalls, outcome.longestStallMs);
    return 0;
}
