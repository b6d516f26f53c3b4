#include "discovery/column_sort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_list_view.h"

namespace vindle {
namespace {

// Fills the list with rows whose `column` holds the given keys; the other columns name the row
// by its original position so tests can follow rows around.
void FillRows(FakeListView& list, int column, const std::vector<std::string>& keys) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::array<std::string, 4> texts = {"r" + std::to_string(i), "m" + std::to_string(i),
                                            "model" + std::to_string(i), "s" + std::to_string(i)};
        texts[column] = keys[i];
        list.AppendRow(texts);
    }
}

TEST(ColumnSortTest, TextColumnsSortInByteOrderBothWays) {
    FakeListView list;
    FillRows(list, 3, {"b1", "B1", "a1", "11", "A1", "\xe9t", "~"});
    SortByColumn(list, 3, true);
    EXPECT_EQ(list.ColumnTexts(3),
              (std::vector<std::string>{"11", "A1", "B1", "a1", "b1", "~", "\xe9t"}));
    SortByColumn(list, 3, false);
    EXPECT_EQ(list.ColumnTexts(3),
              (std::vector<std::string>{"\xe9t", "~", "b1", "a1", "B1", "A1", "11"}));
}

TEST(ColumnSortTest, AddressColumnSortsNumerically) {
    FakeListView list;
    FillRows(list, 0, {"10.0.0.100", "10.0.1.0", "10.0.0.9", "9.255.255.255", "10.0.0.10"});
    SortByColumn(list, 0, true);
    EXPECT_EQ(list.ColumnTexts(0),
              (std::vector<std::string>{"9.255.255.255", "10.0.0.9", "10.0.0.10", "10.0.0.100",
                                        "10.0.1.0"}));
    SortByColumn(list, 0, false);
    EXPECT_EQ(list.ColumnTexts(0), (std::vector<std::string>{"10.0.1.0", "10.0.0.100", "10.0.0.10",
                                                             "10.0.0.9", "9.255.255.255"}));
}

TEST(ColumnSortTest, WholeRowsMoveTogether) {
    FakeListView list;
    FillRows(list, 2, {"Zeta", "Alpha", "Mid"});
    SortByColumn(list, 2, true);
    const auto rows = list.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].texts, (std::array<std::string, 4>{"r1", "m1", "Alpha", "s1"}));
    EXPECT_EQ(rows[1].texts, (std::array<std::string, 4>{"r2", "m2", "Mid", "s2"}));
    EXPECT_EQ(rows[2].texts, (std::array<std::string, 4>{"r0", "m0", "Zeta", "s0"}));
}

TEST(ColumnSortTest, SelectionFocusAndItemDataTravelWithTheirRow) {
    FakeListView list;
    FillRows(list, 3, {"S3", "S1", "S2", "S0"});
    ListRowState marked;
    marked.selected = true;
    marked.focused = true;
    marked.itemData = 77;
    marked.image = 5;
    list.SetRowState(0, marked);

    SortByColumn(list, 3, true);

    const auto rows = list.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].texts[3] == "S3") {
            EXPECT_EQ(rows[i].state, marked) << "row " << i;
        } else {
            EXPECT_EQ(rows[i].state, ListRowState{}) << "row " << i;
        }
    }
    EXPECT_EQ(list.NextSelected(-1), 3);
    EXPECT_EQ(list.SelectedCount(), 1);
}

TEST(ColumnSortTest, RowsWithEqualKeysAreNeverSwapped) {
    FakeListView list;
    FillRows(list, 1, {"same", "same", "same", "same", "same"});
    list.ResetCounters();
    SortByColumn(list, 1, true);
    EXPECT_EQ(list.Calls().setRowState, 0);
    EXPECT_EQ(list.Calls().setItemText, 0);
    EXPECT_EQ(list.ColumnTexts(0), (std::vector<std::string>{"r0", "r1", "r2", "r3", "r4"}));
}

TEST(ColumnSortTest, SortedInputNeedsNoSwapAndReversedInputFewSwaps) {
    FakeListView sorted;
    FillRows(sorted, 3, {"a", "b", "c", "d", "e", "f"});
    sorted.ResetCounters();
    SortByColumn(sorted, 3, true);
    EXPECT_EQ(sorted.Calls().setRowState, 0);

    FakeListView reversed;
    FillRows(reversed, 3, {"f", "e", "d", "c", "b", "a"});
    reversed.ResetCounters();
    SortByColumn(reversed, 3, true);
    // Hoare partitioning exchanges the mirrored pairs: three swaps, two row-state writes each.
    EXPECT_EQ(reversed.Calls().setRowState, 6);
    EXPECT_EQ(reversed.ColumnTexts(3), (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
}

TEST(ColumnSortTest, NoRowOrOneRowIsLeftAlone) {
    FakeListView empty;
    SortByColumn(empty, 0, true);
    EXPECT_EQ(empty.Calls().itemText, 0);

    FakeListView single;
    FillRows(single, 0, {"10.0.0.1"});
    single.ResetCounters();
    SortByColumn(single, 0, false);
    EXPECT_EQ(single.Calls().itemText, 0);
    EXPECT_EQ(single.Calls().setItemText, 0);
}

TEST(ColumnSortTest, LargeListsWithManyDuplicatesEndOrdered) {
    FakeListView list;
    std::vector<std::string> keys;
    for (int i = 0; i < 500; ++i) {
        keys.push_back("k" + std::to_string((i * 7919) % 37));
    }
    FillRows(list, 2, keys);
    SortByColumn(list, 2, false);
    const auto texts = list.ColumnTexts(2);
    ASSERT_EQ(texts.size(), keys.size());
    for (std::size_t i = 1; i < texts.size(); ++i) {
        EXPECT_GE(texts[i - 1], texts[i]) << "at " << i;
    }
}

}  // namespace
}  // namespace vindle
