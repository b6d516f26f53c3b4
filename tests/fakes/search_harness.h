#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "discovery/protocol.h"
#include "discovery/search_context.h"
#include "fakes/fake_list_view.h"
#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace vindle {

// Everything one search needs, on the fakes: a temporary working directory holding the settings
// file, the settings object naming it, the fake network, the program's request state and the
// list.
class SearchHarness {
  public:
    SearchHarness() = default;
    SearchHarness(const SearchHarness&) = delete;
    SearchHarness& operator=(const SearchHarness&) = delete;

    // Writes QarvVindle.ini selecting the broadcast search with time-out `timeoutSeconds`.
    void WriteBroadcastSettings(int timeoutSeconds);
    // Writes QarvVindle.ini selecting the specified search with the given pairs (joined by ",").
    void WriteSpecifiedSettings(int timeoutSeconds, const std::vector<std::string>& addresses,
                                const std::vector<std::string>& masks);
    // Replaces the settings file with `text` as given.
    void WriteSettingsText(const std::string& text);

    // A zero-filled search wired to the fakes, as "Retrieve" makes one.
    std::unique_ptr<SearchContext> NewContext(SearchObserver* observer = nullptr);

    ScopedTempDir directory;
    Settings settings = Settings::InFolder(directory.Path());
    FakeNetwork network;
    RequestState requests;
    FakeListView list;
};

// The request bytes of kind `kind` with sequence byte `sequence`.
std::vector<std::uint8_t> RequestBytes(int kind, int sequence);

}  // namespace vindle
