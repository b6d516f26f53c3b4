// qarv-vindle-scan: one search from the command line, of the targets given or with the settings
// file of the current working directory, printing the devices in the order the main window would
// list them.
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
#include "discovery/search_status_text.h"
#include "platform/console.h"
#include "platform/memory_list_view.h"
#include "platform/system_network.h"
#include "settings/settings_file.h"
#include "settings/user_settings_folder.h"
#include "tools/scan/scan_observer.h"
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
    "Usage: qarv-vindle-scan [--thorough] [--timeout SECONDS] [--format table|csv|json]\n"
    "                        [TARGET...]\n"
    "\n"
    "Searches for printers once and prints the devices found: IP address, MAC address,\n"
    "model number and serial number.\n"
    "\n"
    "Without TARGET it runs the search that QarvVindle.ini in the current working directory\n"
    "selects (the file is created with its defaults when missing). With TARGETs it searches\n"
    "them, in the order given, and neither reads nor creates the settings file:\n"
    "  ADDRESS          one address, such as 203.0.113.40\n"
    "  ADDRESS/PREFIX   a subnet, such as 203.0.113.0/24 (prefix 0 to 32)\n"
    "  ADDRESS/MASK     a subnet, such as 203.0.113.0/255.255.255.0 (a contiguous mask)\n"
    "\n"
    "  --thorough         the thorough search, whatever [Search] Thorough says: requests\n"
    "                     repeated against loss, a subnet behind a router asked address by\n"
    "                     address (up to a /16), printers asked for their details in parallel\n"
    "  --timeout SECONDS  wait up to SECONDS (1 to 999) for each reply instead of the\n"
    "                     settings file's [TimeOut] TimeVal (6 with TARGETs)\n"
    "  --format table     aligned columns (default)\n"
    "  --format csv       comma-separated values with a header row\n"
    "  --format json      an array of objects with the keys ip, mac, model and serial\n"
    "                     (also --format=VALUE, --timeout=SECONDS; the format in any case)\n"
    "  --help             show this text\n"
    "  --version          show the version\n"
    "\n"
    "Hints go to standard error: a destination that could not be searched and why, a subnet\n"
    "that was not swept, and, after a search that was not thorough, printers it may have\n"
    "missed. Ctrl+C ends the search early and prints the printers found so far.\n"
    "\n"
    "Exit status: 0 after a search (whatever was found), 2 for a usage error (the offending\n"
    "text is named), 3 when the settings select no search mode, 4 when the network cannot be\n"
    "used, 5 when the settings file cannot be read or created, 6 when the output could not be\n"
    "written, 130 when Ctrl+C ended the search.\n";

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

    const std::unique_ptr<vindle::Network> network = vindle::MakeSystemNetwork();
    // Ctrl+C is noted instead of ending the program; the loop below then stops the session, the
    // search's waits fail at once and it ends with the rows it has.
    vindle::CatchInterrupts();

    // The working directory's file first; the user's own when that can be neither opened nor
    // created. With targets the settings file is neither read nor created.
    vindle::Settings settings = vindle::ChooseSettings(false).settings;
    if (options.search.targets.empty()) {
        const vindle::SettingsStartup startup = vindle::PrepareSettings(settings);
        if (!startup.status.Ok()) {
            return ReportUnusableSettings(startup.status);
        }
        if (startup.MovedToUserFolder()) {
            std::cerr << "qarv-vindle-scan: " << startup.abandoned.file
                      << " can be neither opened nor created (" << startup.abandoned.Reason()
                      << "); using " << startup.status.file << "\n";
        }
    }
    vindle::MemoryListView list;
    vindle::ScanObserver observer;
    vindle::SearchSession session(settings, *network, list, &observer);
    const vindle::SearchStart start = session.Start(options.search);
    if (start.result == vindle::SearchStart::Result::SettingsUnreadable) {
        return ReportUnusableSettings(start.settings);
    }
    if (!start.Started()) {
        std::cerr << "qarv-vindle-scan: " << vindle::StartStatusLine(start).brief << "\n";
        return start.result == vindle::SearchStart::Result::NoSearchMode ? kExitNoSearchMode
                                                                         : kExitNetworkUnusable;
    }

    // Progress on a terminal only, in the window's words.
    const bool showProgress = vindle::StandardErrorIsTerminal();
    while (!session.WaitFor(std::chrono::milliseconds(200))) {
        if (vindle::InterruptRequested()) {
            session.Stop();
        }
        if (showProgress) {
            std::fprintf(stderr, "\r\033[K%s", observer.ProgressText().c_str());
            std::fflush(stderr);
        }
    }
    if (showProgress) {
        std::fprintf(stderr, "\r\033[K");
    }

    const std::string rows =
        vindle::FormatRows(options.format, vindle::ReadDeviceRows(list, false));
    if (vindle::InterruptRequested()) {
        const int status = PrintOrFail(rows);
        std::cerr << "qarv-vindle-scan: interrupted; " << list.ItemCount()
                  << " printer(s) found before the search ended\n";
        return status == kExitSearched ? kExitInterrupted : status;
    }
    const vindle::SearchOutcome outcome = observer.Outcome();
    if (outcome.end == vindle::SearchEnd::NotSent || outcome.end == vindle::SearchEnd::NoSocket) {
        std::cerr << "qarv-vindle-scan: the network cannot be used: "
                  << vindle::OutcomeStatusText(outcome, session.ElapsedSeconds(), false) << "\n";
        return kExitNetworkUnusable;
    }
    if (outcome.end == vindle::SearchEnd::NoAddressList) {
        std::cerr << "qarv-vindle-scan: "
                  << vindle::OutcomeStatusText(outcome, session.ElapsedSeconds(), false) << "\n";
    }
    for (const std::string& hint : vindle::OutcomeHints(outcome)) {
        std::cerr << "qarv-vindle-scan: " << hint << "\n";
    }
    return PrintOrFail(rows);
}
