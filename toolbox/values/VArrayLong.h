// VArrayLong is the value array of signed 32-bit numbers (kind 103),
// held as machine numbers in one block so that streams transfer and QSort
// sorts them whole.
#pragma once

#include "core/VLong.h"
#include "values/VArrayFixed.h"

namespace zeft {

class VArrayLong final : public VArrayFixed<VArrayLong, int32, VLong, &VValueSingle::GetLong,
                                            &VValueSingle::FromLong> {
 public:
  using InfoType = VValueInfo_array<VArrayLong, kValueKindArrayLong, int32>;
  static const InfoType sInfo;

  // `count` elements of 0.
  explicit VArrayLong(int32 count = 0) : VArrayFixed(count) {}
  VArrayLong* Clone() const override { return new VArrayLong(*this); }

  // Nothing outside 1 to the count; the getter answers 0 there.
  void FromLong(int32 value, int32 position) override { SetAt(value, position); }
  virtual int32 GetLong(int32 position) const { return GetAt(position); }

  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(int32 value) const { return QuickFindNumber(value); }
  // An empty array answers the smallest (GetMax) and largest (GetMin)
  // number of the type.
  int32 GetMax() const { return MaxNumber(); }
  int32 GetMin() const { return MinNumber(); }
};

}  // namespace zeft
