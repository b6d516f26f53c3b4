#pragma once

#include <memory>

#include "discovery/search_context.h"
#include "discovery/search_observer.h"

namespace vindle {

// The broadcast search worker; it owns `context` until it returns. Sends one discovery request
// to 255.255.255.255, empties the list, and collects replies until none has come for the
// configured time-out. On every path it ends through FinishSearch (socket closed, outcome
// reported). NoSocket when the search socket could not be opened (nothing sent, the list
// untouched); NotSent when the request could not leave (the search still waits out its time-out,
// as replies to an earlier request may yet come).
SearchOutcome BroadcastSearchThread(std::unique_ptr<SearchContext> context);

}  // namespace vindle
