// qarv-vindle-scan: one search from the command line, with the settings file of the current
// working directory, printing the devices in the order the main window would list them.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "discovery/broadcast_search.h"
#include "discovery/search_context.h"
#include "discovery/specified_search.h"
#include "platform/console.h"
#include "platform/memory_list_view.h"
#include "platform/system_network.h"
#include "settings/settings_file.h"
#include "tools/scan/device_row_format.h"
#include "tools/scan/observed_network.h"

namespace {

using vindle::OutputFormat;

constexpr int kExitSearched = 0;
constexpr int kExitUsage = 2;
constexpr int kExitNoSearchMode = 3;
constexpr int kExitNetworkUnusable = 4;

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
    "  --help          show this text\n"
    "  --version       show the version\n"
    "\n"
    "Exit status: 0 after a search (whatever was found), 2 for a usage error, 3 when the\n"
    "settings select no search mode, 4 when the network cannot be used.\n";

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

struct Options {
    OutputFormat format = OutputFormat::Table;
};

// Returns -1 to go on with a search, or the exit status to end with.
int ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return kExitSearched;
        }
        if (argument == "--version") {
            std::cout << "Qarv Vindle LAN Setup Utility\nVersion 1.1\n";
            return kExitSearched;
        }
        std::string_view value;
        if (argument == "--format" && i + 1 < argc) {
            value = argv[++i];
        } else if (argument.starts_with("--format=")) {
            value = argument.substr(9);
        } else {
            std::cerr << "qarv-vindle-scan: unknown argument '" << argument << "'\n\n" << kUsage;
            return kExitUsage;
        }
        if (value == "table") {
            options.format = OutputFormat::Table;
        } else if (value == "csv") {
            options.format = OutputFormat::Csv;
        } else if (value == "json") {
            options.format = OutputFormat::Json;
        } else {
            std::cerr << "qarv-vindle-scan: --format takes table, csv or json\n";
            return kExitUsage;
        }
    }
    return -1;
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
    vindle::PrepareConsole();
    Options options;
    if (const int status = ParseArguments(argc, argv, options); status >= 0) {
        return status;
    }

    vindle::EnsureSettingsFile();
    const vindle::SearchMode mode = vindle::ReadSearchMode();
    if (mode == vindle::SearchMode::Undefined) {
        std::cerr << "qarv-vindle-scan: " << vindle::kSettingsFileName
                  << " selects no search mode.\n"
                     "Set [BroadCast] Status=Enabled and [SearchSpecifiedAddress] "
                     "Status=Disabled for a broadcast search,\n"
                     "or [BroadCast] Status=Disabled and [SearchSpecifiedAddress] "
                     "Status=Enabled to search the listed addresses.\n";
        return kExitNoSearchMode;
    }

    const std::unique_ptr<vindle::Network> systemNetwork = vindle::MakeSystemNetwork();
    vindle::ObservedNetwork network(*systemNetwork);
    vindle::MemoryListView list;
    SearchEndSignal searchEnd;

    auto* context = new vindle::SearchContext{};
    context->listControl = &list;
    context->retrieveButton = &searchEnd;
    context->network = &network;
    std::thread worker(mode == vindle::SearchMode::Broadcast ? vindle::BroadcastSearchThread
                                                             : vindle::SpecifiedSearchThread,
                       context);

    // Progress on a terminal only: printers found and the quiet time that ends the search.
    const bool showProgress = vindle::StandardErrorIsTerminal();
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

    if (network.Unusable()) {
        std::cerr << "qarv-vindle-scan: the network cannot be used (no socket, or no request "
                     "could be sent)\n";
        return kExitNetworkUnusable;
    }
    std::cout << vindle::FormatRows(options.format, CollectRows(list));
    return kExitSearched;
}
