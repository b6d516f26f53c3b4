#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "discovery/search_context.h"
#include "discovery/search_observer.h"

namespace vindle {

// The thorough search, for networks that lose datagrams, hide subnets behind routers and hold
// slow printers. It sends what the plain search sends, and more:
// - a subnet destination on no local interface also gets the discovery request as unicast to
//   each of its hosts, paced (see unicast_sweep.h), up to a /16; its wait starts after the last
//   send, and replies are taken while the sweep goes on;
// - each destination's request is sent again, the same bytes, kDiscoveryRepeats times, every
//   kDiscoveryRepeatMicros from its last send, and its wait ends only after the last repeat;
// - the printers that answer are probed by DetailProbe, up to kProbesAtOnce at a time, while the
//   search socket is still read; a sender listed, being probed or waiting for a probe is not
//   probed again;
// - a destination whose request cannot be sent is passed over, not the end of the search.
// Everything runs on the worker thread, waiting on the search socket and the probes' sockets at
// once, on the network's clock. Rows are placed as by the plain searches: in address order for
// the broadcast search; for the specified search in one block per destination, in destination
// order, each block in address order.
constexpr int kDiscoveryRepeats = 3;
constexpr std::int64_t kDiscoveryRepeatMicros = 200'000;
// One socket each, plus the search socket: within the 64 sockets one wait may watch on Windows.
constexpr std::size_t kProbesAtOnce = 32;

// The thorough counterparts of BroadcastSearchThread and SpecifiedSearchThread, with the same
// ends (NoSocket, NotSent when no request could leave, NoAddressList).
SearchOutcome ThoroughBroadcastSearchThread(std::unique_ptr<SearchContext> context);
SearchOutcome ThoroughSpecifiedSearchThread(std::unique_ptr<SearchContext> context);

}  // namespace vindle
