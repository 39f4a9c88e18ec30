// VArrayDuration is the value array of durations (kind 108), held as
// signed 64-bit counts of milliseconds in one block.
#pragma once

#include "values/VArrayFixed.h"
#include "values/VDuration.h"

namespace zeft {

class VArrayDuration final
    : public VArrayFixed<VArrayDuration, int64, VDuration, &VValueSingle::GetDuration,
                         &VValueSingle::FromDuration> {
 public:
  using InfoType = VValueInfo_array<VArrayDuration, kValueKindArrayDuration, int64>;
  static const InfoType sInfo;

  // `count` elements of 0 ms.
  explicit VArrayDuration(int32 count = 0) : VArrayFixed(count) {}
  VArrayDuration* Clone() const override { return new VArrayDuration(*this); }

  // Nothing outside 1 to the count; the getter then sets `out` to 0 ms.
  void FromDuration(const VDuration& value, int32 position) override {
    SetAt(value.ConvertToMilliseconds(), position);
  }
  virtual void GetDuration(VDuration& out, int32 position) const {
    out.FromNbMilliseconds(GetAt(position));
  }

  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(const VDuration& value) const {
    return QuickFindNumber(value.ConvertToMilliseconds());
  }
};

}  // namespace zeft
