// ISortable is what the sorting routines see of a collection: its element
// block, and the comparison and exchange of two elements by 0-based index.
// Several sortables can be sorted together, the first ones giving the sort
// keys and all of them being permuted alike, so that parallel arrays stay
// aligned.
#pragma once

#include "core/VTypes.h"
#include "core/VValue.h"

namespace zeft {

class ISortable {
 public:
  virtual ~ISortable() = default;

  // The element block, handed back unchanged to SwapElements and
  // CompareElements; UnlockData is called once for every LockAndGetData.
  virtual uint8* LockAndGetData() const;
  virtual void UnlockData() const;
  virtual void SwapElements(uint8* data, int32 i, int32 j) = 0;
  // -1 when element i sorts before element j, 0, 1 when after; -1000 for
  // elements that have no order.
  virtual CompareResult CompareElements(uint8* data, int32 i, int32 j) = 0;

  // Sorts the indexes lo to hi (both included) of every sortable of the
  // null-terminated list. The first `criteriaCount` sortables are the keys,
  // in order of precedence; descending[k] reverses key k. Nothing happens
  // when the list holds fewer sortables than criteria.
  static void MultiCriteriaQSort(ISortable** sortables, uint8* descending, int32 criteriaCount,
                                 int32 lo, int32 hi);
  // The combined comparison of elements i and j over the criteria.
  static CompareResult MultiCriteriaCompare(ISortable** sortables, uint8** data, uint8* descending,
                                            int32 criteriaCount, int32 i, int32 j);
  // Every sortable of the list exchanges elements i and j.
  static void MultiCriteriaSwap(ISortable** sortables, uint8** data, int32 i, int32 j);
};

}  // namespace zeft
