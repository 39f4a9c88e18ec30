// VArrayLong8 is the value array of signed 64-bit numbers (kind 104),
// held as machine numbers in one block so that streams transfer and QSort
// sorts them whole.
#pragma once

#include "core/VLong8.h"
#include "values/VArrayFixed.h"

namespace zeft {

class VArrayLong8 final : public VArrayFixed<VArrayLong8, int64, VLong8, &VValueSingle::GetLong8,
                                             &VValueSingle::FromLong8> {
 public:
  using InfoType = VValueInfo_array<VArrayLong8, kValueKindArrayLong8, int64>;
  static const InfoType sInfo;

  // `count` elements of 0.
  explicit VArrayLong8(int32 count = 0) : VArrayFixed(count) {}
  VArrayLong8* Clone() const override { return new VArrayLong8(*this); }

  // Nothing outside 1 to the count; the getter answers 0 there.
  void FromLong8(int64 value, int32 position) override { SetAt(value, position); }
  virtual int64 GetLong8(int32 position) const { return GetAt(position); }

  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(int64 value) const { return QuickFindNumber(value); }
};

}  // namespace zeft
