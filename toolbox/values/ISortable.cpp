#include "values/ISortable.h"

#include "core/VCppMemMgr.h"
#include "core/VObject.h"
#include "values/VArraySort.h"

namespace zeft {

uint8* ISortable::LockAndGetData() const { return nullptr; }

void ISortable::UnlockData() const {}

CompareResult ISortable::MultiCriteriaCompare(ISortable** sortables, uint8** data,
                                              uint8* descending, int32 criteriaCount, int32 i,
                                              int32 j) {
  for (int32 k = 0; k < criteriaCount; ++k) {
    const CompareResult r = sortables[k]->CompareElements(data[k], i, j);
    if (r == kCompareEqual) continue;
    if (descending[k] == 0) return r;
    // Reversed: an element without order (-1000) then sorts after.
    return r == kCompareBigger ? kCompareLess : kCompareBigger;
  }
  return kCompareEqual;
}

void ISortable::MultiCriteriaSwap(ISortable** sortables, uint8** data, int32 i, int32 j) {
  for (int32 k = 0; sortables[k] != nullptr; ++k) {
    sortables[k]->SwapElements(data[k], i, j);
  }
}

void ISortable::MultiCriteriaQSort(ISortable** sortables, uint8* descending, int32 criteriaCount,
                                   int32 lo, int32 hi) {
  if (sortables == nullptr || criteriaCount < 1 || lo < 0 || hi - lo < 1) return;
  int32 listCount = 0;
  while (sortables[listCount] != nullptr) ++listCount;
  if (listCount < criteriaCount) return;

  uint8** data = static_cast<uint8**>(VObject::sCppMemMgr->Malloc(
      sizeof(uint8*) * size_t(listCount), false, int32(FourCC("sort"))));
  if (data == nullptr) return;
  for (int32 k = 0; k < listCount; ++k) data[k] = sortables[k]->LockAndGetData();

  array_sort::SortRange(
      lo, hi,
      [=](int32 i, int32 j) {
        return MultiCriteriaCompare(sortables, data, descending, criteriaCount, i, j);
      },
      [=](int32 i, int32 j) { MultiCriteriaSwap(sortables, data, i, j); });

  for (int32 k = 0; k < listCount; ++k) sortables[k]->UnlockData();
  VObject::sCppMemMgr->Free(data);
}

}  // namespace zeft
