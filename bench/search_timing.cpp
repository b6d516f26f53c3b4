// One broadcast search over the real network, timed from its start to the moment its front end
// learns of the end, with every detail probe's round trip noted so the protocol's own waits can be
// set apart. Run it inside scripts/lan-sandbox, next to qarv-printer-sim. Prints one JSON object.
//
//   bench-search [--list window|memory] [--timeout SECONDS]
//
// "window" drives the real main window (offscreen unless QT_QPA_PLATFORM says otherwise), from
// the click on "Retrieve" to "Retrieve" enabled again: the window's search session places rows in
// the window's copy of them, which the list widget replays. "memory" runs a search session with
// an in-memory list, as the command-line scanner does, from Start() until Wait() returns.
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/qt/qarv_vindle_dlg.h"
#include "bench/timing_network.h"
#include "discovery/search_session.h"
#include "platform/memory_list_view.h"
#include "platform/posix/posix_network.h"

namespace {

using Clock = vindle::TimingNetwork::Clock;

constexpr int kSettleMs = 300;

struct Options {
    bool window = true;
    int timeoutSeconds = 6;
};

// A time the GUI thread went without handling an event, and the CPU time it used meanwhile (as
// much as the gap when it was busy, little when it waited for a processor).
struct Gap {
    Clock::time_point start;
    Clock::duration length;
    Clock::duration cpu;
};

Clock::duration ThisThreadCpuTime() {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(time.tv_sec) +
                                                       std::chrono::nanoseconds(time.tv_nsec));
}

struct Outcome {
    Clock::duration wall{};
    int rows = 0;
    // The window only: calls the worker queued to the GUI thread, the gaps between the GUI
    // thread's heartbeats during the search, and when the list widget last changed.
    int queuedCalls = 0;
    std::vector<Gap> gaps;
    Clock::time_point lastRowShown{};
};

// The longest gap that began in [from, to).
Gap LongestGap(const std::vector<Gap>& gaps, Clock::time_point from, Clock::time_point to) {
    Gap longest{};
    for (const Gap& gap : gaps) {
        if (gap.start >= from && gap.start < to && gap.length > longest.length) {
            longest = gap;
        }
    }
    return longest;
}

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
    vindle::Settings settings = vindle::Settings::InWorkingDirectory();
    CQarvVindleDlg window(network, settings);
    window.show();
    auto* retrieve = window.findChild<QPushButton*>(QStringLiteral("retrieveButton"));
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("deviceList"));
    if (retrieve == nullptr || list == nullptr) {
        std::fprintf(stderr, "bench-search: the main window has no Retrieve button or list\n");
        std::exit(1);
    }
    SearchEndWatcher watcher(retrieve);
    Clock::time_point start{};
    // A heartbeat on the GUI thread: a gap between two beats is a time the window could not
    // handle an event. It also notes when the list widget last changed.
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    Clock::time_point lastBeat{};
    Clock::duration lastBeatCpu{};
    std::vector<Gap> gaps;
    int rowsShown = 0;
    Clock::time_point lastRowShown{};
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        const Clock::duration cpu = ThisThreadCpuTime();
        gaps.push_back({lastBeat, now - lastBeat, cpu - lastBeatCpu});
        lastBeat = now;
        lastBeatCpu = cpu;
        if (list->topLevelItemCount() != rowsShown) {
            rowsShown = list->topLevelItemCount();
            lastRowShown = now;
        }
    });
    // The click comes once the window has been shown and painted, as an operator's would.
    QTimer::singleShot(kSettleMs, &window, [&] {
        watcher.Arm();
        start = Clock::now();
        lastBeat = start;
        lastBeatCpu = ThisThreadCpuTime();
        heartbeat.start();
        retrieve->click();
    });
    QCoreApplication::exec();
    heartbeat.stop();
    const int queuedCalls = window.QueuedCallsFromWorkers();
    Outcome outcome{watcher.End() - start, list->topLevelItemCount(), queuedCalls, std::move(gaps),
                    lastRowShown};
    window.close();
    window.FinishSearch();
    return outcome;
}

// As the command-line scanner runs a search: a session with an in-memory list and no observer;
// the front end learns of the end when Wait() returns (the worker has closed its socket and
// returned).
Outcome SearchInMemory(vindle::Network& network) {
    vindle::MemoryListView list;
    const vindle::Settings settings = vindle::Settings::InWorkingDirectory();
    vindle::SearchSession session(settings, network, list, nullptr);
    const Clock::time_point start = Clock::now();
    if (!session.Start().Started()) {
        std::fprintf(stderr, "bench-search: the settings file started no search\n");
        std::exit(1);
    }
    session.Wait();
    const Clock::time_point end = Clock::now();
    return Outcome{end - start, list.ItemCount(), 0, {}, {}};
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
    // The GUI thread's busy part: until the last reply was read and the last row was shown; the
    // quiet wait after it gives the GUI thread nothing to do.
    const Clock::time_point busyEnd = std::max(summary.lastSearchReply, outcome.lastRowShown);
    const Gap stall = LongestGap(outcome.gaps, Clock::time_point::min(), Clock::time_point::max());
    const Gap busyStall = LongestGap(outcome.gaps, Clock::time_point::min(), busyEnd);
    const Gap quietStall = LongestGap(outcome.gaps, busyEnd, Clock::time_point::max());

    std::printf(
        "{\"list\": \"%s\", \"rows\": %d, \"search_replies\": %d, \"probe_round_trips\": %zu, "
        "\"probe_timeouts\": %d, \"wall_ms\": %.3f, \"floor_ms\": %.3f, "
        "\"round_trip_sum_ms\": %.3f, \"median_round_trip_ms\": %.4f, "
        "\"last_quiet_wait_ms\": %.3f, \"overhead_ms\": %.3f, \"search_thread_cpu_ms\": %.3f, "
        "\"search_thread_system_cpu_ms\": %.3f, \"queued_gui_calls\": %d, "
        "\"longest_gui_stall_ms\": %.3f, \"longest_gui_stall_busy_ms\": %.3f, "
        "\"longest_gui_stall_busy_cpu_ms\": %.3f, \"longest_gui_stall_quiet_ms\": %.3f, "
        "\"longest_gui_stall_quiet_cpu_ms\": %.3f}\n",
        options.window ? "window" : "memory", outcome.rows, summary.searchReplies,
        summary.probeRoundTrips.size(), summary.probeTimeouts, Milliseconds(outcome.wall),
        Milliseconds(floor.total), Milliseconds(floor.roundTripSum),
        Milliseconds(floor.medianRoundTrip), Milliseconds(summary.lastQuietWait),
        Milliseconds(outcome.wall - floor.total), Milliseconds(summary.searchThreadCpu),
        Milliseconds(summary.searchThreadSystemCpu), outcome.queuedCalls,
        Milliseconds(stall.length), Milliseconds(busyStall.length), Milliseconds(busyStall.cpu),
        Milliseconds(quietStall.length), Milliseconds(quietStall.cpu));
    return 0;
}
