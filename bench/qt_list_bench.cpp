// The device list as the main window drives it: the rows live in an in-memory list (the window's
// own copy of them) and a QtListMirror replays their changes on a shown QTreeWidget set up like
// the main window's (offscreen unless QT_QPA_PLATFORM says otherwise):
// - a header click's sort: SortByColumn on the rows, replayed on the widget, for 20, 200 and 2000
//   rows;
// - what one search reply costs the GUI thread: the queued call that replays its new row.
// The benchmarks run on a thread of their own; the main thread is the GUI thread.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "discovery/column_sort.h"
#include "discovery/device_table.h"
#include "discovery/search_context.h"
#include "platform/ipv4_text.h"
#include "platform/memory_list_view.h"
#include "platform/qt/qt_list_mirror.h"
#include "platform/qt/qt_list_view.h"

namespace vindle {
namespace {

using Clock = std::chrono::steady_clock;
using Row = std::array<std::string, kDeviceListColumnCount>;

// The main window's arrangement: its rows, the widget, the adapter and the mirror between them.
struct GuiFixture {
    QDialog window;
    QTreeWidget* tree = nullptr;
    MemoryListView rows;
    std::unique_ptr<QtListView> view;
    std::unique_ptr<QtListMirror> mirror;
};
GuiFixture* g_fixture = nullptr;

// Runs `operation` on the GUI thread and waits for its result (the benchmark's own harness).
template <typename Operation>
auto RunOnGui(Operation&& operation) {
    decltype(operation()) result{};
    QMetaObject::invokeMethod(
        qApp, [&] { result = operation(); }, Qt::BlockingQueuedConnection);
    return result;
}

void BuildFixture(GuiFixture& fixture) {
    fixture.tree = new QTreeWidget(&fixture.window);
    QTreeWidget& tree = *fixture.tree;
    tree.setColumnCount(kDeviceListColumnCount);
    tree.setHeaderLabels({QStringLiteral("IP Address"), QStringLiteral("MAC Address"),
                          QStringLiteral("Model number"), QStringLiteral("Serial number")});
    tree.setRootIsDecorated(false);
    tree.setItemsExpandable(false);
    tree.setUniformRowHeights(true);
    tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree.setSelectionBehavior(QAbstractItemView::SelectRows);
    tree.setSortingEnabled(false);
    auto* layout = new QVBoxLayout(&fixture.window);
    layout->addWidget(&tree);
    fixture.window.resize(640, 720);
    fixture.window.show();
    fixture.view = std::make_unique<QtListView>(&tree);
    fixture.mirror = std::make_unique<QtListMirror>(fixture.rows, *fixture.view);
}

// `count` distinct devices in a fixed shuffled order: addresses across several /24s (so that a
// textual order would differ from the numeric one), a few model numbers, unique serials.
std::vector<Row> ShuffledRows(int count) {
    static const char* const kModels[] = {"QV-1100 Mono", "QV-2200", "QV-3300", "QV-5500DN",
                                          "QV-9000"};
    std::vector<Row> rows;
    for (int i = 0; i < count; ++i) {
        const Ipv4Address address = 0xC6120000u + static_cast<Ipv4Address>(i) * 7u + 1u;
        const std::string mac =
            "02:51:64:00:" + std::to_string(10 + i % 90) + ":" + std::to_string(10 + (i / 90) % 90);
        rows.push_back(
            {FormatIpv4(address), mac, kModels[i % 5], "QV" + std::to_string(900000 - i * 13)});
    }
    std::shuffle(rows.begin(), rows.end(), std::mt19937(static_cast<unsigned>(count)));
    return rows;
}

// Gives the rows exactly `rows`, in order, and shows them on the widget, where one row is
// selected and current as a user would leave it (its state must travel with it through the
// sort); returns that row's address text. GUI thread.
std::string LoadRows(GuiFixture& fixture, const std::vector<Row>& rows) {
    {
        ListUpdateScope update(fixture.rows);
        fixture.rows.DeleteAllItems();
        for (const Row& row : rows) {
            fixture.rows.AppendRow(row);
        }
        fixture.mirror->Sync();
    }
    QTreeWidget& tree = *fixture.tree;
    const int chosen = static_cast<int>(rows.size()) / 3;
    tree.clearSelection();
    tree.setCurrentItem(tree.topLevelItem(chosen));
    tree.topLevelItem(chosen)->setSelected(true);
    // Let the view catch up now (and the mirror's queued calls find nothing left to replay), so
    // the timed part does not pay for the loading.
    QCoreApplication::processEvents();
    return rows[chosen][0];
}

// Empty when the widget is in order by `column` with the chosen row still selected and current.
std::string CheckSorted(QTreeWidget& tree, int column, const std::string& chosen) {
    for (int r = 1; r < tree.topLevelItemCount(); ++r) {
        if (CompareSortKeys(column, tree.topLevelItem(r - 1)->text(column).toStdString(),
                            tree.topLevelItem(r)->text(column).toStdString()) > 0) {
            return "rows out of order on the widget after the sort";
        }
    }
    const QList<QTreeWidgetItem*> selected = tree.selectedItems();
    if (selected.size() != 1 || selected.front()->text(0).toStdString() != chosen ||
        tree.currentItem() != selected.front()) {
        return "the selected row's state did not travel with it";
    }
    return {};
}

// The sort as a header click runs it in the main window: the widget's selection is taken into
// the rows, the rows are sorted and the changes replayed on the widget. With `repaint`, the time
// also covers the event processing that follows (the view's relayout and repaint) until the
// window is idle again.
void SortBenchmark(benchmark::State& state, int column, bool repaint) {
    const std::vector<Row> rows = ShuffledRows(static_cast<int>(state.range(0)));
    GuiFixture& fixture = *g_fixture;
    for (auto _ : state) {
        const std::string error = RunOnGui([&] {
            const std::string chosen = LoadRows(fixture, rows);
            const Clock::time_point start = Clock::now();
            fixture.mirror->WithRows([&](ListView& list) { SortByColumn(list, column, true); });
            if (repaint) {
                QCoreApplication::processEvents();
            }
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
            return CheckSorted(*fixture.tree, column, chosen);
        });
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
}

void BM_SortByAddress(benchmark::State& state) {
    SortBenchmark(state, kIpAddressColumn, false);
}
void BM_SortBySerial(benchmark::State& state) {
    SortBenchmark(state, 3, false);
}
void BM_SortByAddressAndRepaint(benchmark::State& state) {
    SortBenchmark(state, kIpAddressColumn, true);
}
BENCHMARK(BM_SortByAddress)
    ->Arg(20)
    ->Arg(200)
    ->Arg(2000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortBySerial)->Arg(2000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByAddressAndRepaint)->Arg(2000)->UseManualTime()->Unit(benchmark::kMillisecond);

template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(N, text.size()));
}

// What one accepted reply costs the GUI thread: the search places the device's row among N rows
// (in the middle) in the window's rows, and the one queued call that follows replays it on the
// widget. Only the replay is timed; the worker's side is the reply benchmark's.
void BM_ReplayOneReply(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<Row> rows = ShuffledRows(count);
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return CompareSortKeys(kIpAddressColumn, a[0], b[0]) < 0;
    });
    GuiFixture& fixture = *g_fixture;
    RunOnGui([&] { return LoadRows(fixture, rows); });

    SearchContext context;
    context.listControl = &fixture.rows;
    DeviceSlot& slot = context.deviceSlots[0];
    CopyField(slot.ipText, "198.18.255.254");
    CopyField(slot.modelNumber, "QV-3300");
    CopyField(slot.serialNumber, "QV33B000042");
    std::memcpy(slot.macField, "\x02\x51\x64\x00\x12\x34", 6);
    const int position = count / 2;
    const std::string expected = SlotText(slot.ipText);

    for (auto _ : state) {
        const bool placed = RunOnGui([&] {
            AddDeviceRow(context, 0, position);
            const Clock::time_point start = Clock::now();
            fixture.mirror->Sync();
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
            QTreeWidgetItem* item = fixture.tree->topLevelItem(position);
            const bool shown = fixture.tree->topLevelItemCount() == count + 1 && item != nullptr &&
                               item->text(0).toStdString() == expected &&
                               item->text(3) == QStringLiteral("QV33B000042");
            fixture.rows.DeleteItem(position);
            fixture.mirror->Sync();
            return shown;
        });
        if (!placed) {
            state.SkipWithError("the reply's row did not reach the widget");
            break;
        }
    }
}
// A fixed count: between two iterations the event loop lays out and repaints the list, as it
// does between two replies, which costs far more wall time than the replay itself.
BENCHMARK(BM_ReplayOneReply)
    ->Arg(20)
    ->Arg(200)
    ->Arg(2000)
    ->Iterations(200)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vindle

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    if (getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    vindle::GuiFixture fixture;
    vindle::BuildFixture(fixture);
    vindle::g_fixture = &fixture;

    std::thread runner([&] {
        benchmark::RunSpecifiedBenchmarks();
        QMetaObject::invokeMethod(&application, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    QApplication::exec();
    runner.join();
    benchmark::Shutdown();
    // The mirror goes before the rows it watches.
    fixture.mirror.reset();
    return 0;
}
