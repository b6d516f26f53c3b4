#pragma once

#include <string>

#include "discovery/search_observer.h"

namespace vindle {

// The status line's texts: what a search is doing and how it ended, in plain words.
std::string IdleStatusText();
std::string ProgressStatusText(const SearchProgress& progress);
// `elapsedSeconds` is shown with one decimal; `stopped` when the operator ended the search.
std::string OutcomeStatusText(const SearchOutcome& outcome, double elapsedSeconds, bool stopped);
// "Retrieve" found no search mode in the settings file.
std::string NoSearchModeStatusText();

}  // namespace vindle
