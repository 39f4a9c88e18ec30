// The in-place sort shared by the value arrays: a non-recursive quicksort
// with a selection sort for short ranges, written once over two callables
// (compare by index, exchange by index) so that QSort on plain numbers and
// the multi-criteria sort through ISortable are the same algorithm.
#pragma once

#include <utility>

#include "core/VTypes.h"

namespace zeft {

namespace array_sort {

// Ranges shorter than this go to the selection sort.
inline constexpr int32 kSelectionSortLimit = 10;
// Pending ranges; the smaller part is always processed first, so this
// covers any 32-bit count.
inline constexpr int32 kStackDepth = 30;

// Sorts indexes lo to hi (inclusive). compare(i, j) answers -1, 0 or 1 with
// the direction already applied (any other result counts as less than 0);
// exchange(i, j) swaps two elements. Not stable.
template <class Compare, class Exchange>
void SortRange(int32 lo, int32 hi, Compare&& compare, Exchange&& exchange) {
  if (hi - lo < 1) return;
  if (hi - lo < kSelectionSortLimit - 1) {
    for (int32 end = hi; end > lo; --end) {
      int32 best = lo;
      for (int32 i = lo + 1; i <= end; ++i) {
        if (compare(i, best) == 1) best = i;
      }
      exchange(best, end);
    }
    return;
  }

  int32 loStack[kStackDepth];
  int32 hiStack[kStackDepth];
  int32 depth = 0;
  for (;;) {
    const int32 n = hi - lo + 1;
    exchange(lo + n / 2, lo);
    int32 i = lo;
    int32 j = hi + 1;
    // Both scans stop on keys equal to the pivot, so that runs of equal
    // keys split evenly instead of peeling one element per pass.
    for (;;) {
      do {
        ++i;
      } while (i <= hi && compare(i, lo) < 0);
      do {
        --j;
      } while (j > lo && compare(j, lo) > 0);
      if (j < i) break;
      exchange(i, j);
    }
    exchange(lo, j);

    bool haveNext = false;
    if ((j - 1) - lo >= hi - i) {
      if (lo + 1 < j) {
        loStack[depth] = lo;
        hiStack[depth] = j - 1;
        ++depth;
      }
      if (i < hi) {
        lo = i;
        haveNext = true;
      }
    } else {
      if (i < hi) {
        loStack[depth] = i;
        hiStack[depth] = hi;
        ++depth;
      }
      if (lo + 1 < j) {
        hi = j - 1;
        haveNext = true;
      }
    }
    if (!haveNext) {
      if (depth == 0) return;
      --depth;
      lo = loStack[depth];
      hi = hiStack[depth];
    }
  }
}

// The 1-based position of an element equal to the value in a range of
// `count` elements sorted in ascending order, or -1. compare(index) orders
// the value against the element at that 0-based index: 0 equal, -1 before
// it; any other result (1, or unordered) searches after it.
template <class Compare>
int32 BinarySearch(int32 count, Compare&& compare) {
  int32 low = 0;
  int32 high = count - 1;
  while (low <= high) {
    const int32 middle = low + (high - low) / 2;
    const int32 r = compare(middle);
    if (r == 0) return middle + 1;
    if (r == -1) {
      high = middle - 1;
    } else {
      low = middle + 1;
    }
  }
  return -1;
}

}  // namespace array_sort

// Sorts `count` numbers from `base` in ascending order, or descending when
// `descending` is not 0. Used with int8, int16, int32, int64 and double.
template <class T>
void QSort(T* base, int32 count, uint8 descending) {
  if (base == nullptr || count < 2) return;
  auto exchange = [base](int32 i, int32 j) { std::swap(base[i], base[j]); };
  auto ascending = [base](int32 i, int32 j) -> int32 {
    return base[i] < base[j] ? -1 : base[i] > base[j] ? 1 : 0;
  };
  if (descending != 0) {
    array_sort::SortRange(
        0, count - 1, [&](int32 i, int32 j) { return ascending(j, i); }, exchange);
  } else {
    array_sort::SortRange(0, count - 1, ascending, exchange);
  }
}

}  // namespace zeft
