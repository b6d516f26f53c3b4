// The handling of one accepted discovery reply, in process: receive, accept, probe (serial number
// and MAC address from a network that answers at once), duplicate check against N rows, and
// placement by address into the list, with the broadcast status read from the settings file
// as for every reply. The list is an in-memory list that records its changes for a view, as the
// main window's rows are (the replay on the widget is bench-qt-list's).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "bench/instant_network.h"
#include "discovery/protocol.h"
#include "discovery/search_context.h"
#include "discovery/search_steps.h"
#include "fakes/temp_dir.h"
#include "platform/ipv4_text.h"
#include "platform/memory_list_view.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

constexpr Ipv4Address kFirstRowAddress = 0xC6120000;  // 198.18.0.0

// Rows hold even host numbers in ascending order; the newcomer's odd number falls between them.
Ipv4Address RowAddress(int row) {
    return kFirstRowAddress + 2 * static_cast<Ipv4Address>(row) + 2;
}

template <std::size_t N>
void CopyText(std::array<std::uint8_t, N>& field, const std::string& text) {
    field.fill(0);
    std::memcpy(field.data(), text.data(), std::min(N, text.size()));
}

// Stands in for the window's mirror: the changes are recorded, and taken between replies.
class IgnoredChanges : public ListChangeSink {
  public:
    void ChangesPending() override {}
};

void WriteBroadcastSettings(const ScopedTempDir& directory) {
    WriteFile(directory.Path() / kSettingsFileName,
              "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
              "[TimeOut]\nTimeVal=6\n");
}

void BM_AcceptedReply(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    ScopedTempDir directory;
    WriteBroadcastSettings(directory);

    MemoryListView list;
    IgnoredChanges sink;
    list.SetChangeSink(&sink);
    for (int row = 0; row < rows; ++row) {
        list.AppendRow({FormatIpv4(RowAddress(row)), "02:51:64:00:00:01", "QV-2200",
                        "QV22A" + std::to_string(100000 + row)});
    }
    list.TakeChanges();

    InstantNetwork network;
    InstantNetwork::Printer printer;
    printer.address = RowAddress(rows / 2) - 1;
    CopyText(printer.model, "QV-3300");
    CopyText(printer.serial, "QV33B000042");
    printer.mac = {0x02, 0x51, 0x64, 0x00, 0x12, 0x34};
    network.AddPrinter(printer);
    const std::string newcomer = FormatIpv4(printer.address);
    // Its address lies between those of rows rows / 2 - 1 and rows / 2, so it lands at rows / 2.
    const int expectedRow = rows / 2;

    RequestState requests;
    SearchContext context;
    context.listControl = &list;
    context.network = &network;
    context.requests = &requests;
    const Settings settings = Settings::InWorkingDirectory();
    context.settings = &settings;
    std::unique_ptr<InstantNetwork::Socket> ownSocket = network.OpenSearchSocket();
    InstantNetwork::Socket* searchSocket = ownSocket.get();
    context.socket = std::move(ownSocket);

    for (auto _ : state) {
        state.PauseTiming();
        searchSocket->Queue(InstantNetwork::BuildReply(printer, requests.discoveryRequest),
                            printer.address);
        state.ResumeTiming();

        const int read = ReceiveOneReply(context, 1, false, 0);

        state.PauseTiming();
        if (read != 1 || list.ItemCount() != rows + 1 ||
            list.ItemText(expectedRow, 0) != newcomer || list.ItemText(expectedRow, 3).empty()) {
            state.SkipWithError("the reply was not placed where expected");
            break;
        }
        list.DeleteItem(expectedRow);
        list.TakeChanges();
        std::memset(context.deviceSlots, 0, sizeof context.deviceSlots);
        context.deviceCount = 0;
        context.slotCursor = 0;
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_AcceptedReply)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);

// The settings read that every accepted reply makes, on its own, to show its share.
void BM_ReadBroadcastStatus(benchmark::State& state) {
    ScopedTempDir directory;
    WriteBroadcastSettings(directory);
    for (auto _ : state) {
        const std::string status = ReadBroadcastStatus(Settings::InWorkingDirectory());
        if (status != "Enabled") {
            state.SkipWithError("the settings file did not read back");
            break;
        }
        benchmark::DoNotOptimize(status.data());
    }
}
BENCHMARK(BM_ReadBroadcastStatus)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vindle

BENCHMARK_MAIN();
