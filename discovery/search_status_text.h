#pragma once

#include <optional>
#include <string>
#include <vector>

#include "discovery/search_observer.h"

namespace vindle {

struct SearchStart;
struct SettingsStatus;

// A status line's text, and the longer text its tooltip shows (the same text when empty). Texts
// that name the settings file or carry the system's reason come in the system's encoding.
struct StatusLine {
    std::string brief;
    std::string full;
};

// The status line's texts: what a search is doing and how it ended, in plain words.
std::string IdleStatusText();
std::string ProgressStatusText(const SearchProgress& progress);
// `elapsedSeconds` is shown with one decimal; `stopped` when the operator ended the search (no
// hints then).
std::string OutcomeStatusText(const SearchOutcome& outcome, double elapsedSeconds, bool stopped);
// What the search saw that may have cost it printers, one sentence each (no final full stop):
// destinations that could not be sent to, with the reason; after the plain search, subnets on
// no local interface and printers that did not answer their details, each naming the thorough
// search as the remedy; after the thorough search, subnets too wide to sweep. OutcomeStatusText
// ends with them; the scanner prints them on standard error.
std::vector<std::string> OutcomeHints(const SearchOutcome& outcome);
// The status line at the end of a search: the whole OutcomeStatusText for the tooltip, and a
// brief text that fits the line: the outcome and the first thing the search saw, in a few words.
StatusLine EndStatusLine(const SearchOutcome& outcome, double elapsedSeconds, bool stopped);
// "Retrieve" found no search mode in the settings file.
std::string NoSearchModeStatusText();
// What "Retrieve" shows once Start() has returned: "Searching..." for a started search,
// otherwise why none started.
StatusLine StartStatusLine(const SearchStart& start);

// At start-up: the settings file can be neither opened nor created. Nothing when `status` is Ok.
std::optional<StatusLine> StartupSettingsProblem(const SettingsStatus& status);
// At "Retrieve": no search mode could be read because the file cannot be read.
std::optional<StatusLine> RetrieveSettingsProblem(const SettingsStatus& status);

}  // namespace vindle
