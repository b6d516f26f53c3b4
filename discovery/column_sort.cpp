#include "discovery/column_sort.h"

#include <array>

#include "discovery/device_table.h"

namespace vindle {

namespace {

int CompareBytes(const std::string& a, const std::string& b) {
    // std::string::compare orders by char_traits<char>, which compares as unsigned char.
    const int order = a.compare(b);
    return (order > 0) - (order < 0);
}

}  // namespace

int CompareSortKeys(int column, const std::string& a, const std::string& b) {
    // Addresses compare octet by octet, the order in which the searches place rows.
    return column == kIpAddressColumn ? CompareAddressTexts(a, b) : CompareBytes(a, b);
}

void SortByColumn(ListView& list, int column, bool ascending) {
    const int count = list.ItemCount();
    if (count > 1) {
        SortRange(list, column, ascending, 0, count - 1);
    }
}

void SortRange(ListView& list, int column, bool ascending, int lo, int hi) {
    if (hi <= lo) {
        return;
    }
    // Positive when `a` belongs after `b` in the requested direction.
    const auto order = [&](const std::string& a, const std::string& b) {
        const int result = CompareSortKeys(column, a, b);
        return ascending ? result : -result;
    };
    const std::string pivot = list.ItemText(lo + (hi - lo) / 2, column);
    int i = lo;
    int j = hi;
    while (i <= j) {
        while (i < hi && order(list.ItemText(i, column), pivot) < 0) {
            ++i;
        }
        while (j > lo && order(list.ItemText(j, column), pivot) > 0) {
            --j;
        }
        if (i <= j) {
            if (order(list.ItemText(i, column), list.ItemText(j, column)) != 0) {
                SwapRows(list, i, j);
            }
            ++i;
            --j;
        }
    }
    if (lo < j) {
        SortRange(list, column, ascending, lo, j);
    }
    if (i < hi) {
        SortRange(list, column, ascending, i, hi);
    }
}

void SwapRows(ListView& list, int i, int j) {
    std::array<std::string, kDeviceListColumnCount> savedTexts;
    for (int column = 0; column < kDeviceListColumnCount; ++column) {
        savedTexts[column] = list.ItemText(i, column);
    }
    const ListRowState stateI = list.RowState(i);
    const ListRowState stateJ = list.RowState(j);
    for (int column = 0; column < kDeviceListColumnCount; ++column) {
        list.SetItemText(i, column, list.ItemText(j, column));
    }
    list.SetRowState(i, stateJ);
    for (int column = 0; column < kDeviceListColumnCount; ++column) {
        list.SetItemText(j, column, savedTexts[column]);
    }
    list.SetRowState(j, stateI);
}

}  // namespace vindle
