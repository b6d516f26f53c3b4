// qarv-vindle-scan: one search from the command line, with the settings file of the current
// working directory, printing the devices in the order the main window would list them.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "discovery/device_list_rules.h"
#include "discovery/device_row_format.h"
#include "discovery/search_session.h"
#include "platform/console.h"
#include "platform/memory_list_view.h"
#include "platform/system_network.h"
#include "settings/settings_file.h"
#include "settings/user_settings_folder.h"
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

int ReportOutputFailure(const std::string& reason) {
    std::cerr << "qarv-vindle-scan: the output could not be written: " << reason << "\n";
    return kExitOutputFailed;
}

int PrintOrFail(const std::string& text) {
    std::string reason;
    return vindle::WriteStandardOutput(text, reason) ? kExitSearched : ReportOutputFailure(reason);
}

int ReportUnusableSettings(const vindle::SettingsStatus& status) {
    std::error_code error;
    const bool exists = std::filesystem::exists(status.file, error) || error;
    std::cerr << "qarv-vindle-scan: the settings file " << status.file
              << (exists ? " cannot be read: " : " is missing and cannot be created: ")
              << status.Reason() << "\n";
    return kExitSettingsUnreadable;
}

}  // namespace

int main(int argc, char** argv) {
    vindle::PrepareConsole();
    const std::string closedOutput = vindle::HoldClosedStandardStreams();
    const vindle::ScanOptions options = vindle::ParseScanArguments(argc, argv);
    if (options.action == vindle::ScanOptions::Action::UsageError) {
        std::cerr << "qarv-vindle-scan: " << options.error << "\n\n" << kUsage;
        return kExitUsage;
    }
    // Nothing to print to, so no search either.
    if (!closedOutput.empty()) {
        return ReportOutputFailure(closedOutput);
    }
    if (options.action == vindle::ScanOptions::Action::Help) {
        return PrintOrFail(kUsage);
    }
    if (options.action == vindle::ScanOptions::Action::Version) {
        return PrintOrFail("Qarv Vindle LAN Setup Utility\nVersion " +
                           std::string(vindle::kVersionText) + "\n");
    }

    const std::unique_ptr<vindle::Network> systemNetwork = vindle::MakeSystemNetwork();
    vindle::ObservedNetwork network(*systemNetwork);
    // Ctrl+C is noted instead of ending the program; the loop below then shuts the network
    // down, the search's waits fail at once and it ends with the rows it has.
    vindle::CatchInterrupts();

    // The working directory's file first; the user's own when that can be neither opened nor
    // created.
    vindle::Settings settings = vindle::ChooseSettings(false).settings;
    if (const vindle::SettingsStartup startup = vindle::PrepareSettings(settings);
        !startup.status.Ok()) {
        return ReportUnusableSettings(startup.status);
    } else if (startup.MovedToUserFolder()) {
        std::cerr << "qarv-vindle-scan: " << startup.abandoned.file
                  << " can be neither opened nor created (" << startup.abandoned.Reason()
                  << "); using " << startup.status.file << "\n";
    }
    vindle::MemoryListView list;
    vindle::SearchSession session(settings, network, list, nullptr);
    const vindle::SearchStart start = session.Start();
    if (start.result == vindle::SearchStart::Result::SettingsUnreadable) {
        return ReportUnusableSettings(start.settings);
    }
    if (start.result == vindle::SearchStart::Result::NoThread) {
        std::cerr << "qarv-vindle-scan: the search could not be started: no thread is available\n";
        return kExitNetworkUnusable;
    }
    if (start.result == vindle::SearchStart::Result::NoSearchMode) {
        std::cerr << "qarv-vindle-scan: " << vindle::kSettingsFileName
                  << " selects no search mode.\n"
                     "Set [BroadCast] Status=Enabled and [SearchSpecifiedAddress] "
                     "Status=Disabled for a broadcast search,\n"
                     "or [BroadCast] Status=Disabled and [SearchSpecifiedAddress] "
                     "Status=Enabled to search the listed addresses.\n";
        return kExitNoSearchMode;
    }

    // Progress on a terminal only: printers found and the quiet time that ends the search.
    const bool showProgress = vindle::StandardErrorIsTerminal();
    while (!session.WaitFor(std::chrono::milliseconds(200))) {
        if (vindle::InterruptRequested()) {
            session.Stop();
        }
        if (showProgress) {
            const auto quiet =
                std::chrono::duration_cast<std::chrono::seconds>(network.SinceLastDatagram());
            std::fprintf(stderr, "\rSearching: %d printer(s) found, %lld s since the last reply ",
                         list.ItemCount(), static_cast<long long>(quiet.count()));
            std::fflush(stderr);
        }
    }
    if (showProgress) {
        std::fprintf(stderr, "\r\033[K");
    }

    if (vindle::InterruptRequested()) {
        const int status =
            PrintOrFail(vindle::FormatRows(options.format, vindle::ReadDeviceRows(list, false)));
        std::cerr << "qarv-vindle-scan: interrupted; " << list.ItemCount()
                  << " printer(s) found before the search ended\n";
        return status == kExitSearched ? kExitInterrupted : status;
    }
    if (network.Unusable()) {
        std::cerr << "qarv-vindle-scan: the network cannot be used: " << network.UnusableReason()
                  << "\n";
        return kExitNetworkUnusable;
    }
    return PrintOrFail(vindle::FormatRows(options.format, vindle::ReadDeviceRows(list, false)));
}
