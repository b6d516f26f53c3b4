#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/search_context.h"
#include "fakes/fake_control.h"
#include "fakes/fake_list_view.h"
#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"

namespace vindle {

// Everything one search needs, on the fakes: a temporary working directory holding the settings
// file, the fake network, the list and the "Retrieve" button (disabled, as "Retrieve" leaves it
// before a worker starts). The discovery globals are reset on construction and destruction.
class SearchHarness {
  public:
    SearchHarness();
    ~SearchHarness();
    SearchHarness(const SearchHarness&) = delete;
    SearchHarness& operator=(const SearchHarness&) = delete;

    // Writes QarvVindle.ini selecting the broadcast search with time-out `timeoutSeconds`.
    void WriteBroadcastSettings(int timeoutSeconds);
    // Writes QarvVindle.ini selecting the specified search with the given pairs (joined by ",").
    void WriteSpecifiedSettings(int timeoutSeconds, const std::vector<std::string>& addresses,
                                const std::vector<std::string>& masks);
    // Replaces the settings file with `text` as given.
    void WriteSettingsText(const std::string& text);

    // A zero-filled context wired to the fakes, allocated with new as "Retrieve" does; the worker
    // deletes it.
    SearchContext* NewContext();

    ScopedTempDir directory;
    FakeNetwork network;
    FakeListView list;
    FakeControl retrieve{false};
};

// The request bytes of kind `kind` with sequence byte `sequence`.
std::vector<std::uint8_t> RequestBytes(int kind, int sequence);

}  // namespace vindle
