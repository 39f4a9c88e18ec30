// VArrayByte is the value array of signed bytes (kind 101),
// held as machine numbers in one block so that streams transfer and QSort
// sorts them whole.
#pragma once

#include "core/VByte.h"
#include "values/VArrayFixed.h"

namespace zeft {

class VArrayByte final
    : public VArrayFixed<VArrayByte, int8, VByte, &VValueSingle::GetByte, &VValueSingle::FromByte> {
 public:
  using InfoType = VValueInfo_array<VArrayByte, kValueKindArrayByte, int8>;
  static const InfoType sInfo;

  // `count` elements of 0.
  explicit VArrayByte(int32 count = 0) : VArrayFixed(count) {}
  VArrayByte* Clone() const override { return new VArrayByte(*this); }

  // Nothing outside 1 to the count; the getter answers 0 there.
  void FromByte(int8 value, int32 position) override { SetAt(value, position); }
  virtual int8 GetByte(int32 position) const { return GetAt(position); }

  // Searches with the value's word, of which the low 8 bits are kept
  // (where FromValue takes the value's byte).
  using VArrayFixed::Find;
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(int8 value) const { return QuickFindNumber(value); }
  // An empty array answers the smallest (GetMax) and largest (GetMin)
  // number of the type.
  int8 GetMax() const { return MaxNumber(); }
  int8 GetMin() const { return MinNumber(); }
};

}  // namespace zeft
