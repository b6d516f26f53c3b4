#pragma once

#include <memory>
#include <string>

#include "discovery/search_context.h"
#include "discovery/search_observer.h"
#include "platform/network.h"

namespace vindle {

// The one receive step of both searches. Reads nothing after a wait that timed out or failed
// (`waitResult` <= 0); otherwise reads one datagram of at most 21 bytes from the search socket
// and hands an accepted reply to ProcessAcceptedReply. 1 when a datagram was read, accepted or
// not; 0 otherwise.
int ReceiveOneReply(SearchContext& context, int waitResult, bool inBlock, int blockFirstRow);

// The search's time-out in seconds: the caller's, else [TimeOut] TimeVal, read now (the
// default time-out for a search of targets, which reads no settings file).
int SearchTimeout(const SearchContext& context);

// [BroadCast] Status, read now, which decides how rows are placed; a search of targets places
// them in blocks, as "Disabled" does, without reading the settings file.
std::string PlacementStatus(const SearchContext& context);

// Opens the search socket with broadcast permission into context.socket; false when none opens.
bool OpenSearchSocket(SearchContext& context);

// Tells the observer, if any, where the search stands now.
void ReportProgress(SearchContext& context, const SearchProgress& progress);
// The same once more, with the rows listed so far.
void ReportDeviceListed(SearchContext& context);

// The last steps of both searches, on every path: slot counters back to 0, the socket closed,
// the outcome reported, and the search object freed. Returns `outcome`.
SearchOutcome FinishSearch(std::unique_ptr<SearchContext> context, SearchOutcome outcome);

}  // namespace vindle
