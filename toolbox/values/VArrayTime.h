// VArrayTime is the value array of times (kind 107), held as unsigned
// 64-bit time stamps (VTime::GetStamp) in one block.
#pragma once

#include "values/VArrayFixed.h"
#include "values/VTime.h"

namespace zeft {

class VArrayTime final : public VArrayFixed<VArrayTime, uint64, VTime, &VValueSingle::GetTime,
                                            &VValueSingle::FromTime> {
 public:
  using InfoType = VValueInfo_array<VArrayTime, kValueKindArrayTime, uint64>;
  static const InfoType sInfo;

  // `count` elements of stamp 0.
  explicit VArrayTime(int32 count = 0) : VArrayFixed(count) {}
  VArrayTime* Clone() const override { return new VArrayTime(*this); }

  // Nothing outside 1 to the count; the getter then leaves `out` as it is.
  void FromTime(const VTime& value, int32 position) override { SetAt(value.GetStamp(), position); }
  virtual void GetTime(VTime& out, int32 position) const {
    if (ValidIndex(position)) out.FromStamp(At(position - 1));
  }
};

}  // namespace zeft
