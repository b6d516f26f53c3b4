// The device list through its Qt adapter, on a shown QTreeWidget set up like the main window's
// (offscreen unless QT_QPA_PLATFORM says otherwise):
// - SortByColumn on the GUI thread, as a header click runs it, for 20, 200 and 2000 rows;
// - one list operation called from a worker thread while the GUI thread runs its event loop.
// The benchmarks run on a thread of their own; the main thread is the GUI thread.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "discovery/column_sort.h"
#include "platform/ipv4_text.h"
#include "platform/qt/qt_list_view.h"

namespace vindle {
namespace {

using Clock = std::chrono::steady_clock;
using Row = std::array<QString, kDeviceListColumnCount>;

struct GuiFixture {
    QDialog window;
    QTreeWidget* tree = nullptr;
    std::unique_ptr<QtListView> list;
};
GuiFixture* g_fixture = nullptr;

// Runs `operation` on the GUI thread and waits for its result.
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
    fixture.list = std::make_unique<QtListView>(&tree);
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
        rows.push_back({QString::fromStdString(FormatIpv4(address)), QString::fromStdString(mac),
                        QString::fromLatin1(kModels[i % 5]),
                        QStringLiteral("QV%1").arg(900000 - i * 13)});
    }
    std::shuffle(rows.begin(), rows.end(), std::mt19937(static_cast<unsigned>(count)));
    return rows;
}

// Gives the tree exactly `rows`, in order, with one row selected and current (its state must
// travel with it through the sort); returns that row's address text.
QString LoadRows(QTreeWidget& tree, const std::vector<Row>& rows) {
    while (tree.topLevelItemCount() > static_cast<int>(rows.size())) {
        delete tree.takeTopLevelItem(tree.topLevelItemCount() - 1);
    }
    while (tree.topLevelItemCount() < static_cast<int>(rows.size())) {
        auto* item = new QTreeWidgetItem();
        item->setData(0, Qt::UserRole, QVariant::fromValue<qintptr>(0));
        item->setData(0, QtListView::kImageRole, 0);
        tree.addTopLevelItem(item);
    }
    tree.clearSelection();
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        QTreeWidgetItem* item = tree.topLevelItem(r);
        for (int column = 0; column < kDeviceListColumnCount; ++column) {
            item->setText(column, rows[r][column]);
        }
    }
    const int chosen = static_cast<int>(rows.size()) / 3;
    tree.setCurrentItem(tree.topLevelItem(chosen));
    tree.topLevelItem(chosen)->setSelected(true);
    // Let the view catch up now, so the timed part does not pay for the loading.
    QCoreApplication::processEvents();
    return rows[chosen][0];
}

// Empty when the tree is in order by `column` with the chosen row still selected and current.
std::string CheckSorted(QTreeWidget& tree, int column, const QString& chosen) {
    for (int r = 1; r < tree.topLevelItemCount(); ++r) {
        if (CompareSortKeys(column, tree.topLevelItem(r - 1)->text(column).toStdString(),
                            tree.topLevelItem(r)->text(column).toStdString()) > 0) {
            return "rows out of order after the sort";
        }
    }
    const QList<QTreeWidgetItem*> selected = tree.selectedItems();
    if (selected.size() != 1 || selected.front()->text(0) != chosen ||
        tree.currentItem() != selected.front()) {
        return "the selected row's state did not travel with it";
    }
    return {};
}

// SortByColumn as a header click runs it. With `repaint`, the time also covers the event
// processing that follows (the view's relayout and repaint) until the window is idle again.
void SortBenchmark(benchmark::State& state, int column, bool repaint) {
    const std::vector<Row> rows = ShuffledRows(static_cast<int>(state.range(0)));
    QTreeWidget& tree = *g_fixture->tree;
    for (auto _ : state) {
        const std::string error = RunOnGui([&] {
            const QString chosen = LoadRows(tree, rows);
            const Clock::time_point start = Clock::now();
            SortByColumn(*g_fixture->list, column, true);
            if (repaint) {
                QCoreApplication::processEvents();
            }
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
            return CheckSorted(tree, column, chosen);
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

// One list operation from a worker thread: queued to the GUI thread, which runs its event loop,
// and waited for, as the search worker does for every list access.
void BM_WorkerToGuiItemCount(benchmark::State& state) {
    const std::vector<Row> rows = ShuffledRows(20);
    RunOnGui([&] { return LoadRows(*g_fixture->tree, rows); });
    if (QThread::currentThread() == qApp->thread()) {
        state.SkipWithError("the benchmark runs on the GUI thread, nothing crosses threads");
        return;
    }
    for (auto _ : state) {
        const int count = g_fixture->list->ItemCount();
        if (count != 20) {
            state.SkipWithError("ItemCount did not reach the widget");
            break;
        }
    }
}
BENCHMARK(BM_WorkerToGuiItemCount)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_WorkerToGuiItemText(benchmark::State& state) {
    const std::vector<Row> rows = ShuffledRows(20);
    const QString first = RunOnGui([&] {
        LoadRows(*g_fixture->tree, rows);
        return rows[0][0];
    });
    const std::string expected = first.toStdString();
    for (auto _ : state) {
        if (g_fixture->list->ItemText(0, 0) != expected) {
            state.SkipWithError("ItemText did not read the widget");
            break;
        }
    }
}
BENCHMARK(BM_WorkerToGuiItemText)->Unit(benchmark::kMicrosecond)->UseRealTime();

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
    return 0;
}
