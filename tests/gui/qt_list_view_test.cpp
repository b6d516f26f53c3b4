#include "platform/qt/qt_list_view.h"

#include <QApplication>
#include <QThread>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "gui_test_support.h"
#include "platform/memory_list_view.h"
#include "platform/qt/qt_list_mirror.h"

namespace vindle {
namespace {

class QtListViewTest : public ::testing::Test {
  protected:
    QtListViewTest() : m_list(&m_tree) { m_tree.setColumnCount(4); }

    void AddRows(const std::vector<std::string>& addresses) {
        for (const std::string& address : addresses) {
            m_list.InsertItem(m_list.ItemCount(), address);
        }
    }

    QTreeWidget m_tree;
    QtListView m_list;
};

TEST_F(QtListViewTest, TextsKeepEveryByteAndAnyLength) {
    std::string allBytes;
    for (int byte = 1; byte < 256; ++byte) {
        allBytes.push_back(static_cast<char>(byte));
    }
    const std::string longText(5000, 'x');

    ASSERT_EQ(m_list.InsertItem(0, allBytes), 0);
    m_list.SetItemText(0, 3, longText);

    EXPECT_EQ(m_list.ItemText(0, 0), allBytes);
    EXPECT_EQ(m_list.ItemText(0, 3), longText);
    // A byte above 0x7F shows as the Latin-1 character of the same number.
    EXPECT_EQ(m_tree.topLevelItem(0)->text(0).at(0xE9 - 1), QChar(0xE9));
}

TEST_F(QtListViewTest, InsertPlacesRowsWithZeroItemData) {
    EXPECT_EQ(m_list.InsertItem(0, "b"), 0);
    EXPECT_EQ(m_list.InsertItem(7, "d"), 1);  // past the end appends
    EXPECT_EQ(m_list.InsertItem(1, "c"), 1);
    EXPECT_EQ(m_list.InsertItem(0, "a"), 0);
    EXPECT_EQ(m_list.InsertItem(-1, "never"), -1);

    ASSERT_EQ(m_list.ItemCount(), 4);
    EXPECT_EQ(m_list.ItemText(0, 0), "a");
    EXPECT_EQ(m_list.ItemText(1, 0), "b");
    EXPECT_EQ(m_list.ItemText(2, 0), "c");
    EXPECT_EQ(m_list.ItemText(3, 0), "d");
    EXPECT_EQ(m_list.RowState(2), ListRowState{});
}

TEST_F(QtListViewTest, OutOfRangeRowsAndColumnsAreHarmless) {
    AddRows({"a"});
    m_list.SetItemText(3, 0, "x");
    m_list.SetItemText(0, 9, "x");
    m_list.DeleteItem(5);
    m_list.SetRowState(4, ListRowState{true, true, 9, 9});

    EXPECT_EQ(m_list.ItemCount(), 1);
    EXPECT_EQ(m_list.ItemText(0, 0), "a");
    EXPECT_EQ(m_list.ItemText(2, 0), "");
    EXPECT_EQ(m_list.ItemText(0, -1), "");
    EXPECT_EQ(m_list.RowState(-1), ListRowState{});
}

TEST_F(QtListViewTest, SelectionQueriesFollowTheWidget) {
    AddRows({"r0", "r1", "r2", "r3"});
    EXPECT_EQ(m_list.NextSelected(-1), -1);
    EXPECT_EQ(m_list.SelectedCount(), 0);

    m_tree.topLevelItem(3)->setSelected(true);
    m_tree.topLevelItem(1)->setSelected(true);

    EXPECT_EQ(m_list.NextSelected(-1), 1);
    EXPECT_EQ(m_list.NextSelected(1), 3);
    EXPECT_EQ(m_list.NextSelected(3), -1);
    EXPECT_EQ(m_list.SelectedCount(), 2);
}

TEST_F(QtListViewTest, RowStateTravelsBothWays) {
    AddRows({"r0", "r1", "r2"});
    const ListRowState moved{true, true, 77, 5};

    m_list.SetRowState(2, moved);
    EXPECT_EQ(m_list.RowState(2), moved);
    EXPECT_EQ(m_tree.currentItem(), m_tree.topLevelItem(2));
    EXPECT_TRUE(m_tree.topLevelItem(2)->isSelected());
    EXPECT_EQ(m_list.SelectedCount(), 1);

    // Taking focus and selection away from the row leaves no current item behind.
    m_list.SetRowState(2, ListRowState{});
    EXPECT_EQ(m_list.RowState(2), ListRowState{});
    EXPECT_EQ(m_tree.currentItem(), nullptr);
    EXPECT_EQ(m_list.SelectedCount(), 0);
}

TEST_F(QtListViewTest, DeleteRemovesOneRowOrAll) {
    AddRows({"r0", "r1", "r2"});
    m_list.DeleteItem(1);
    ASSERT_EQ(m_list.ItemCount(), 2);
    EXPECT_EQ(m_list.ItemText(1, 0), "r2");

    m_list.DeleteAllItems();
    EXPECT_EQ(m_list.ItemCount(), 0);
}

TEST_F(QtListViewTest, WorkerCallsRunOnTheGuiThread) {
    std::atomic<int> offThreadInserts{0};
    QObject::connect(m_tree.model(), &QAbstractItemModel::rowsInserted, [&] {
        if (QThread::currentThread() != qApp->thread()) {
            ++offThreadInserts;
        }
    });
    std::atomic<bool> done{false};
    int countSeen = -1;
    std::string textSeen;
    std::thread worker([&] {
        for (int row = 0; row < 50; ++row) {
            m_list.InsertItem(row, "row " + std::to_string(row));
        }
        countSeen = m_list.ItemCount();
        textSeen = m_list.ItemText(49, 0);
        done = true;
    });
    const bool finished = test::ProcessEventsUntil([&] { return done.load(); });
    worker.join();

    ASSERT_TRUE(finished);
    EXPECT_EQ(countSeen, 50);
    EXPECT_EQ(textSeen, "row 49");
    EXPECT_EQ(m_tree.topLevelItemCount(), 50);
    EXPECT_EQ(offThreadInserts.load(), 0);
}

TEST_F(QtListViewTest, DetachedAdapterAnswersQueuedAndLaterCallsNeutrally) {
    AddRows({"r0", "r1"});
    m_tree.topLevelItem(0)->setSelected(true);

    // The worker's call is queued while this thread is busy; it is answered after Detach().
    int countSeen = -1;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        countSeen = m_list.ItemCount();
        done = true;
    });
    QThread::msleep(50);
    m_list.Detach();
    const bool finished = test::ProcessEventsUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(countSeen, 0);

    EXPECT_EQ(m_list.InsertItem(0, "late"), -1);
    m_list.DeleteAllItems();
    EXPECT_EQ(m_list.NextSelected(-1), -1);
    EXPECT_EQ(m_list.ItemText(0, 0), "");
    EXPECT_EQ(m_tree.topLevelItemCount(), 2);
}

TEST(QtListViewLifetimeTest, AdapterOutlivesItsWidget) {
    auto tree = std::make_unique<QTreeWidget>();
    tree->setColumnCount(4);
    QtListView list(tree.get());
    list.InsertItem(0, "r0");
    tree.reset();

    EXPECT_EQ(list.ItemCount(), 0);
    EXPECT_EQ(list.InsertItem(0, "r1"), -1);
    EXPECT_EQ(list.ItemText(0, 0), "");
}

}  // namespace
}  // namespace vindle

namespace vindle {
namespace {

TEST_F(QtListViewTest, MirrorShowsRowsChangedOnAWorkerWithOneQueuedCallPerRun) {
    MemoryListView rows;
    QtListMirror mirror(rows, m_list);
    // The worker changes 50 rows while this thread handles no events: one queued call in all,
    // and the worker never waits for this thread.
    std::thread worker([&] {
        rows.DeleteAllItems();
        for (int i = 0; i < 50; ++i) {
            const int row = rows.InsertItem(0, "198.51.100." + std::to_string(i));
            rows.SetItemText(row, 3, "SN" + std::to_string(i));
        }
        rows.DeleteItem(49);
    });
    worker.join();
    EXPECT_EQ(mirror.PostedCalls(), 1);
    EXPECT_EQ(m_tree.topLevelItemCount(), 0);

    ASSERT_TRUE(test::ProcessEventsUntil([&] { return m_tree.topLevelItemCount() == 49; }));
    for (int row = 0; row < 49; ++row) {
        EXPECT_EQ(m_list.ItemText(row, 0), rows.ItemText(row, 0));
        EXPECT_EQ(m_list.ItemText(row, 3), rows.ItemText(row, 3));
    }
    EXPECT_EQ(mirror.PostedCalls(), 1);
}

}  // namespace
}  // namespace vindle
