// Drives the window program under Wine (or Windows) through window messages, the way an
// operator's clicks reach it, and checks what it shows. Usage:
//   window_driver --app EXE [--app-arg ARG]... [--browse-address A] [--browser-record FILE]
//                 [--screenshot FILE.bmp] [--config-pair ADDRESS/MASK]... [--config-timeout N]
//                 [--app-data FOLDER --settings-file FILE] SCENARIO...
// Scenarios run in the given order on one start of the program: controls, search, browse, sort,
// screenshot, about, config, config-thorough, stop, close-searching, row-menu, dpi, escape,
// close-dialogs, user-settings (with --app-data, the user's application data folder while the
// program runs). Each prints "PASS name: summary" or "FAIL name: reason" (the first failure ends
// the run); a search prints its rows as "ROW\tip\tmac\tmodel\tserial". At the end the program is
// closed with WM_CLOSE and must exit 0. Exit status: 0 when everything passed, 1 otherwise, 2 for a
// bad command line.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app_process.h"
#include "driver_failure.h"
#include "scenario.h"
#include "window_ids.h"

namespace vindle {
namespace {

const std::map<std::wstring, Scenario> kScenarios = {
    {L"controls", ControlsAtStart},
    {L"search", BroadcastSearch},
    {L"browse", BrowseSelected},
    {L"sort", SortByHeader},
    {L"screenshot", Screenshot},
    {L"about", AboutBox},
    {L"config", ConfigurationRoundTrip},
    {L"config-thorough", ThoroughSearchRoundTrip},
    {L"stop", StopSearch},
    {L"close-searching", CloseWhileSearching},
    {L"row-menu", RowMenu},
    {L"dpi", DpiChange},
    {L"escape", EscapeKeepsWindow},
    {L"close-dialogs", CloseWithDialogs},
    {L"user-settings", SettingsInUserFolder},
};

struct Options {
    std::wstring app;
    std::vector<std::wstring> appArguments;
    std::vector<std::wstring> scenarios;
    std::wstring browseAddress = L"198.51.100.10";
    std::wstring browserRecord;
    std::wstring screenshot;
    std::vector<AddressPair> configPairs;
    std::wstring configTimeout = L"45";
    std::wstring appData;
    std::wstring settingsFile;
};

bool ParseAddress(const std::wstring& text, std::array<int, 4>& fields) {
    wchar_t rest = 0;
    return std::swscanf(text.c_str(), L"%d.%d.%d.%d%lc", &fields[0], &fields[1], &fields[2],
                        &fields[3], &rest) == 4;
}

bool ParsePair(const std::wstring& text, AddressPair& pair) {
    const std::size_t slash = text.find(L'/');
    return slash != std::wstring::npos && ParseAddress(text.substr(0, slash), pair.address) &&
           ParseAddress(text.substr(slash + 1), pair.mask);
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument.starts_with(L"--") && !hasValue) {
            return false;
        }
        if (argument == L"--app") {
            options.app = argv[++i];
        } else if (argument == L"--app-arg") {
            options.appArguments.push_back(argv[++i]);
        } else if (argument == L"--browse-address") {
            options.browseAddress = argv[++i];
        } else if (argument == L"--browser-record") {
            options.browserRecord = argv[++i];
        } else if (argument == L"--screenshot") {
            options.screenshot = argv[++i];
        } else if (argument == L"--app-data") {
            options.appData = argv[++i];
        } else if (argument == L"--settings-file") {
            options.settingsFile = argv[++i];
        } else if (argument == L"--config-timeout") {
            options.configTimeout = argv[++i];
        } else if (argument == L"--config-pair") {
            AddressPair pair{};
            if (!ParsePair(argv[++i], pair)) {
                return false;
            }
            options.configPairs.push_back(pair);
        } else if (kScenarios.contains(argument)) {
            options.scenarios.push_back(argument);
        } else {
            return false;
        }
    }
    return !options.app.empty() && !options.scenarios.empty();
}

void Report(const char* verdict, const std::wstring& name, const std::string& text) {
    std::printf("%s %s: %s\n", verdict, ToBytes(name).c_str(), text.c_str());
    std::fflush(stdout);
}

// Ends the program with WM_CLOSE, as the close box does; it must exit 0.
std::string CloseProgram(Session& session) {
    Expect(PostMessageW(session.main, WM_CLOSE, 0, 0) != 0, "PostMessage WM_CLOSE failed");
    DWORD exitCode = 0;
    Expect(session.app.WaitForExit(5000, exitCode), "the program still runs 5 s after WM_CLOSE");
    Expect(exitCode == 0, "the program exited with " + std::to_string(exitCode));
    return "WM_CLOSE ended the program with exit code 0";
}

int Run(const Options& options) {
    const AppDataRedirect appData(options.appData);
    AppProcess app(options.app, options.appArguments);
    Session session(app);
    session.browseAddress = options.browseAddress;
    session.browserRecord = options.browserRecord;
    session.screenshot = options.screenshot;
    session.configPairs = options.configPairs;
    session.configTimeout = options.configTimeout;
    session.settingsFile = options.settingsFile;

    std::wstring current = L"start";
    try {
        WaitForInputIdle(app.Handle(), 20000);
        session.main = app.WaitForTopWindow(ids::kMainCaption, 20000, ids::kDialogClass);
        for (const std::wstring& name : options.scenarios) {
            current = name;
            Expect(!session.closed, "the program has ended already");
            Report("PASS", name, kScenarios.at(name)(session));
        }
        if (!session.closed) {
            current = L"close";
            Report("PASS", current, CloseProgram(session));
        }
        return 0;
    } catch (const DriverFailure& failure) {
        Report("FAIL", current,
               std::string(failure.what()) + " [windows: " + app.DescribeWindows() + "]");
        return 1;
    }
}

}  // namespace
}  // namespace vindle

int wmain(int argc, wchar_t** argv) {
    // Output bytes as they are: no CRLF translation, so lines compare with Linux output.
    _setmode(_fileno(stdout), _O_BINARY);
    vindle::Options options;
    if (!vindle::ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: window_driver --app EXE [options] SCENARIO... (see the "
                     "source's first comment)\n");
        return 2;
    }
    try {
        return vindle::Run(options);
    } catch (const vindle::DriverFailure& failure) {
        vindle::Report("FAIL", L"start", failure.what());
        return 1;
    }
}
