// VArrayLong is the value array of signed 32-bit numbers (kind 103),
// held as machine numbers in one block so that streams transfer and QSort
// sorts them whole.
#pragma once

#include "values/VArrayFixed.h"

namespace zeft {

class VArrayLong : public VArrayFixed<int32> {
 public:
  using InfoType = VValueInfo_array<VArrayLong, kValueKindArrayLong, int32>;
  static const InfoType sInfo;

  // `count` elements of 0.
  explicit VArrayLong(int32 count = 0);
  VArrayLong(const VArrayLong& other);
  VArrayLong& operator=(const VArrayLong& other) {
    Copy(other);
    return *this;
  }
  ~VArrayLong() override = default;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  uint16 GetElemValueKind() const override { return kValueKindLong; }
  VArrayLong* Clone() const override { return new VArrayLong(*this); }
  bool CanBeEvaluated() const override { return true; }

  // Nothing outside 1 to the count; the getter answers 0 there.
  void FromLong(int32 value, int32 position) override;
  virtual int32 GetLong(int32 position) const;

  void FromValue(const VValueSingle& value, int32 position) override;
  void GetValue(VValueSingle& out, int32 position) const override;
  VValueSingle* CloneValue(int32 position) const override;
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override;

  // Exact comparisons of numbers.
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  virtual int32 Find(int32 value, int32 start, uint8 forward, CompareMethod method) const;
  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(int32 value) const { return QuickFindNumber(value); }
  // An empty array answers the smallest (GetMax) and largest (GetMin)
  // number of the type.
  int32 GetMax() const { return MaxNumber(); }
  int32 GetMin() const { return MinNumber(); }

  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
};

}  // namespace zeft
