#pragma once

#include <string>
#include <vector>

namespace vindle {

// Which of the two searches runs.
enum class SearchKind { Broadcast, Specified };

// Where a running search stands, reported when it sends to a destination and after every row
// it adds.
struct SearchProgress {
    SearchKind kind = SearchKind::Broadcast;
    // The destination being searched (address text, with "/mask" for a specified destination),
    // and its place among `destinationCount` destinations, counting from 1.
    std::string destination;
    int destinationIndex = 0;
    int destinationCount = 0;
    int devicesListed = 0;
    int timeoutSeconds = 0;
};

// How a search ended.
enum class SearchEnd {
    Searched,       // at least one request went out; `devicesListed` rows were added
    NotSent,        // no request could leave; `reason` says why
    NoSocket,       // the search socket could not be opened
    NoAddressList,  // the specified search found no address list in the settings file
};

// A destination whose discovery request the system refused, and its text for why.
struct UnsentDestination {
    std::string destination;  // as in SearchProgress::destination
    std::string reason;

    bool operator==(const UnsentDestination&) const = default;
};

struct SearchOutcome {
    SearchEnd end = SearchEnd::Searched;
    int devicesListed = 0;
    int timeoutSeconds = 0;
    // Interfaces the broadcast request went out on (empty for a send to one address).
    std::vector<std::string> interfacesSent;
    // The system's text for a send that failed (also after a later destination of a specified
    // search could not be sent to); empty otherwise.
    std::string reason;

    // What the search saw that may have cost it printers, for the status texts.
    // Whether this was the thorough search.
    bool thorough = false;
    // Destinations whose request could not be sent, in search order. The plain specified search
    // ends at the first one; `destinationsNotTried` then counts those after it.
    std::vector<UnsentDestination> unsentDestinations;
    int destinationsNotTried = 0;
    // Configured subnets ("address/mask") on no local interface: a router in between usually
    // drops their directed broadcast. The thorough search sweeps them and leaves this empty.
    std::vector<std::string> unattachedSubnets;
    // Thorough search: subnets on no local interface too wide to sweep (wider than /16); they
    // got their directed broadcast only.
    std::vector<std::string> unsweptSubnets;
    // Addresses of printers that answered the discovery request but never their serial number
    // request, so they are not listed.
    std::vector<std::string> silentPrinters;

    bool operator==(const SearchOutcome&) const = default;
};

// An outcome that says no more than how the search ended.
inline SearchOutcome Outcome(SearchEnd end) {
    SearchOutcome outcome;
    outcome.end = end;
    return outcome;
}

// Told what a search is doing, on the search's worker thread. Implementations hand the news on
// to wherever it is shown without waiting for it.
class SearchObserver {
  public:
    virtual ~SearchObserver() = default;
    virtual void SearchProgressed(const SearchProgress& progress) = 0;
    virtual void SearchEnded(const SearchOutcome& outcome) = 0;
};

}  // namespace vindle
