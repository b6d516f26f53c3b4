#pragma once

#include <string>

#include "discovery/device_list_rules.h"
#include "platform/list_view.h"

namespace vindle {

// Orders two sort keys of `column`: negative, zero or positive. The address column compares
// addresses octet by octet, the other columns compare text in unsigned byte order.
int CompareSortKeys(int column, const std::string& a, const std::string& b);

// Sorts every row of the list by one column, in place, by exchanging rows.
void SortByColumn(ListView& list, int column, bool ascending);

// Quicksort with Hoare partitioning over rows lo to hi inclusive.
void SortRange(ListView& list, int column, bool ascending, int lo, int hi);

// Exchanges rows i and j completely: the four texts and the row state travel together.
void SwapRows(ListView& list, int i, int j);

}  // namespace vindle
