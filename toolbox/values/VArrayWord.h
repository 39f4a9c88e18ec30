// VArrayWord is the value array of signed 16-bit numbers (kind 102),
// held as machine numbers in one block so that streams transfer and QSort
// sorts them whole.
#pragma once

#include "core/VWord.h"
#include "values/VArrayFixed.h"

namespace zeft {

class VArrayWord final : public VArrayFixed<VArrayWord, int16, VWord, &VValueSingle::GetWord,
                                            &VValueSingle::FromWord> {
 public:
  using InfoType = VValueInfo_array<VArrayWord, kValueKindArrayWord, int16>;
  static const InfoType sInfo;

  // `count` elements of 0.
  explicit VArrayWord(int32 count = 0) : VArrayFixed(count) {}
  VArrayWord* Clone() const override { return new VArrayWord(*this); }

  // Nothing outside 1 to the count; the getter answers 0 there.
  void FromWord(int16 value, int32 position) override { SetAt(value, position); }
  virtual int16 GetWord(int32 position) const { return GetAt(position); }

  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(int16 value) const { return QuickFindNumber(value); }
  // An empty array answers the smallest (GetMax) and largest (GetMin)
  // number of the type.
  int16 GetMax() const { return MaxNumber(); }
  int16 GetMin() const { return MinNumber(); }
};

}  // namespace zeft
