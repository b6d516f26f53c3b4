// qarv-vindle-scan: one search from the command line, with the settings file of the current
// working directory, printing the devices in the order the main window would list them.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "discovery/broadcast_search.h"
#include "discovery/device_row_format.h"
#include "discovery/protocol.h"
#include "discovery/search_context.h"
#include "discovery/specified_search.h"
#include "platform/memory_list_view.h"
#include "platform/posix/posix_network.h"
#include "settings/settings_file.h"
#include "tools/scan/interrupt_watcher.h"
#include "tools/scan/observed_network.h"
#include "tools/scan/scan_options.h"
#include "vindle_version.h"

namespace {

using vindle::OutputFormat;

constexpr int kExitSearched = 0;
constexpr int kExitUsage = 2;
constexpr int kExitNoSearchMode = 3;
constexpr int kExitNetworkUnusable = 4;
constexpr int kExitSettingsUnreadable = 5;
constexpr int kExitOutputFailed = 6;
constexpr int kExitInterrupted = 130;

constexpr char kUsage[] =
    "Usage: qarv-vindle-scan [--format table|csv|json]\n"
    "\n"
    "Searches the local network for printers once, with the settings of QarvVindle.ini in the\n"
    "current working directory (created with its defaults when missing), and prints the devices\n"
    "found: IP address, MAC address, model number and serial number.\n"
    "\n"
    "  --format table  aligned columns (default)\n"
    "  --format csv    comma-separated values with a header row\n"
    "  --format json   an array of objects with the keys ip, mac, model and serial\n"
    "                  (also --format=VALUE; the value in any case)\n"
    "  --help          show this text\n"
    "  --version       show the version\n"
    "\n"
    "Ctrl+C ends the search early and prints the printers found so far.\n"
    "\n"
    "Exit status: 0 after a search (whatever was found), 2 for a usage error, 3 when the\n"
    "settings select no search mode, 4 when the network cannot be used, 5 when the settings\n"
    "file cannot be read or created, 6 when the output could not be written, 130 when Ctrl+C\n"
    "ended the search.\n";

// "Retrieve" of a window that has none: the search enables it when it ends.
class SearchEndSignal : public vindle::Control {
  public:
    void SetEnabled(bool enabled) override {
        std::lock_guard lock(m_mutex);
        m_enabled = enabled;
        m_changed.notify_all();
    }
    bool IsEnabled() override {
        std::lock_guard lock(m_mutex);
        return m_enabled;
    }
    // Waits up to `limit` for the search to end; true when it has.
    bool WaitForEnd(std::chrono::milliseconds limit) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [this] { return m_enabled; });
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_enabled = false;
};

// Writes all of `text` to standard output; 0, or the system's error number.
int WriteStandardOutput(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : EIO;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

int ReportOutputFailure(int error) {
    std::cerr << "qarv-vindle-scan: the output could not be written: "
              << std::system_category().message(error) << "\n";
    return kExitOutputFailed;
}

int PrintOrFail(const std::string& text) {
    const int error = WriteStandardOutput(text);
    return error == 0 ? kExitSearched : ReportOutputFailure(error);
}

// A closed standard stream would hand its number to the next file or socket opened, and output
// meant for it would go there: each closed one is held by /dev/null instead. Returns the error
// of a closed standard output, or 0.
int HoldClosedStandardStreams() {
    int outputError = 0;
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        if (fd == STDOUT_FILENO) {
            outputError = EBADF;
        }
        const int held = open("/dev/null", O_RDWR);
        if (held >= 0 && held != fd) {
            dup2(held, fd);
            close(held);
        }
    }
    return outputError;
}

int ReportUnusableSettings(const vindle::SettingsStatus& status) {
    std::error_code error;
    const bool exists = std::filesystem::exists(vindle::kSettingsFileName, error) || error;
    std::cerr << "qarv-vindle-scan: the settings file " << vindle::SettingsFilePath()
              << (exists ? " cannot be read: " : " is missing and cannot be created: ")
              << status.Reason() << "\n";
    return kExitSettingsUnreadable;
}

std::vector<vindle::DeviceRow> CollectRows(vindle::MemoryListView& list) {
    std::vector<vindle::DeviceRow> rows;
    for (const auto& row : list.Rows()) {
        rows.push_back({row.texts[0], row.texts[1], row.texts[2], row.texts[3]});
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    const int closedOutput = HoldClosedStandardStreams();
    const vindle::ScanOptions options = vindle::ParseScanArguments(argc, argv);
    if (options.action == vindle::ScanOptions::Action::UsageError) {
        std::cerr << "qarv-vindle-scan: " << options.error << "\n\n" << kUsage;
        return kExitUsage;
    }
    // Nothing to print to, so no search either.
    if (closedOutput != 0) {
        return ReportOutputFailure(closedOutput);
    }
    if (options.action == vindle::ScanOptions::Action::Help) {
        return PrintOrFail(kUsage);
    }
    if (options.action == vindle::ScanOptions::Action::Version) {
        return PrintOrFail("Qarv Vindle LAN Setup Utility\nVersion " +
                           std::string(vindle::kVersionText) + "\n");
    }

    vindle::PosixNetwork posixNetwork;
    vindle::ObservedNetwork network(posixNetwork);
    // Ctrl+C shuts the network down: the search's waits fail at once and it ends with the rows
    // it has. Set up before any other thread starts, so that none of them takes the signal.
    const vindle::InterruptWatcher interrupt([&network] { network.Shutdown(); });

    if (const vindle::SettingsStatus status = vindle::EnsureSettingsFile(); !status.Ok()) {
        return ReportUnusableSettings(status);
    }
    const vindle::SearchMode mode = vindle::ReadSearchMode();
    if (mode == vindle::SearchMode::Undefined) {
        if (const vindle::SettingsStatus status = vindle::CheckSettingsReadable(); !status.Ok()) {
            return ReportUnusableSettings(status);
        }
        std::cerr << "qarv-vindle-scan: " << vindle::kSettingsFileName
                  << " selects no search mode.\n"
                     "Set [BroadCast] Status=Enabled and [SearchSpecifiedAddress] "
                     "Status=Disabled for a broadcast search,\n"
                     "or [BroadCast] Status=Disabled and [SearchSpecifiedAddress] "
                     "Status=Enabled to search the listed addresses.\n";
        return kExitNoSearchMode;
    }

    vindle::MemoryListView list;
    SearchEndSignal searchEnd;

    vindle::RequestState requests;

    auto context = std::make_unique<vindle::SearchContext>();
    context->listControl = &list;
    context->retrieveButton = &searchEnd;
    context->network = &network;
    context->requests = &requests;
    std::thread worker(mode == vindle::SearchMode::Broadcast ? vindle::BroadcastSearchThread
                                                             : vindle::SpecifiedSearchThread,
                       std::move(context));

    // Progress on a terminal only: printers found and the quiet time that ends the search.
    const bool showProgress = isatty(STDERR_FILENO) == 1;
    while (!searchEnd.WaitForEnd(std::chrono::milliseconds(200))) {
        if (showProgress) {
            const auto quiet =
                std::chrono::duration_cast<std::chrono::seconds>(network.SinceLastDatagram());
            std::fprintf(stderr, "\rSearching: %d printer(s) found, %lld s since the last reply ",
                         list.ItemCount(), static_cast<long long>(quiet.count()));
            std::fflush(stderr);
        }
    }
    worker.join();
    if (showProgress) {
        std::fprintf(stderr, "\r\033[K");
    }

    if (interrupt.Interrupted()) {
        const int status = PrintOrFail(vindle::FormatRows(options.format, CollectRows(list)));
        std::cerr << "qarv-vindle-scan: interrupted; " << list.ItemCount()
                  << " printer(s) found before the search ended\n";
        return status == kExitSearched ? kExitInterrupted : status;
    }
    if (network.Unusable()) {
        std::cerr << "qarv-vindle-scan: the network cannot be used: " << network.UnusableReason()
                  << "\n";
        return kExitNetworkUnusable;
    }
    return PrintOrFail(vindle::FormatRows(options.format, CollectRows(list)));
}
