#pragma once

#include "discovery/search_context.h"
#include "platform/network.h"

namespace vindle {

// The broadcast search worker. Takes ownership of `context` (allocated with new): sends one
// discovery request to 255.255.255.255, empties the list, and collects replies until none has
// come for the configured time-out. On every path it enables context->retrieveButton and deletes
// the context before returning. 0 after a search, -1 when the search socket could not be opened
// (nothing sent, the list and the slot counters untouched).
int BroadcastSearchThread(SearchContext* context);

// The one receive step of both searches. Reads nothing after a wait that timed out or failed
// (`waitResult` <= 0); otherwise reads one datagram of at most 21 bytes and hands an accepted
// reply to ProcessAcceptedReply. 1 when a datagram was read, accepted or not; 0 otherwise.
int ReceiveOneReply(SearchContext& context, UdpSocket& socket, int waitResult, bool inBlock,
                    int blockFirstRow);

}  // namespace vindle
