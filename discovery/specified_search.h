#pragma once

#include <memory>
#include <string>
#include <vector>

#include "discovery/search_context.h"
#include "discovery/search_observer.h"
#include "platform/network.h"

namespace vindle {

// The specified-address search worker; it owns `context` until it returns. Sends one discovery
// request to each destination of its table in turn, collecting a subnet destination's replies
// until a quiet wait and reading one reply from a single-address destination. On every path it
// ends through FinishSearch. NoSocket when the socket could not be opened, NoAddressList when the
// settings file holds no address list (the list emptied, nothing sent), NotSent when the first
// destination could not be sent to.
SearchOutcome SpecifiedSearchThread(std::unique_ptr<SearchContext> context);

// Fills the context's destination table, as directed broadcasts, and `labels` with each pair
// as given ("address/mask"): the local /24 and the settings file's valid pairs, or the caller's
// targets. The number of destinations; 0 when the settings file holds no address list.
int PrepareDestinations(SearchContext& context, std::vector<std::string>& labels);

// The steps both specified searches (plain and thorough) begin with: the search socket opened,
// the list emptied, the destination table prepared and the time-out read. The number of
// destinations, or 0 when the search ends there, with `end` saying how (NoSocket: the list keeps
// its rows; NoAddressList).
int BeginSpecifiedSearch(SearchContext& context, std::vector<std::string>& labels,
                         int& timeoutSeconds, SearchEnd& end);

// Whether destination `index`, after PrepareDestinations, is a configured subnet (not the local
// /24; a mask wider than one address) on none of the `local` interfaces' subnets.
bool IsUnattachedSubnet(const SearchContext& context, int index,
                        const std::vector<Ipv4Subnet>& local);

// The configured subnet destinations (all but the local /24; every target with a mask wider than
// one address) on no local interface, by their labels, after PrepareDestinations.
std::vector<std::string> UnattachedSubnets(SearchContext& context,
                                           const std::vector<std::string>& labels);

// Writes the local host's address as dotted-decimal text; 127.0.0.1 when the network knows none.
void GetLocalAddressText(Network& network, DestinationText& text);

// Rewrites `address` as its directed broadcast under `mask`: each octet becomes
// address OR (255 - mask).
void ToDirectedBroadcast(DestinationText& address, const DestinationText& mask);

// How the time-out is shared among the destinations.
struct WaitBudget {
    int singleCount = 0;  // n: destinations whose text holds no "255"
    int subnetCount = 0;  // a: the others, collected until a quiet wait
    WaitTime subnetWait;  // T' seconds, or T / a given in microseconds when T' is 0
    WaitTime singleWait;  // 1 s for one single address, 1/n s for more
};
WaitBudget SplitWaitBudget(int timeoutSeconds, const DestinationText* addresses, int count);

// True for a subnet destination: its text contains "255" anywhere.
bool IsSubnetDestination(const DestinationText& address);

}  // namespace vindle
