// VArrayLong8 is the value array of signed 64-bit numbers (kind 104),
// held as machine numbers in one block so that streams transfer and QSort
// sorts them whole.
#pragma once

#include "values/VArrayFixed.h"

namespace zeft {

class VArrayLong8 : public VArrayFixed<int64> {
 public:
  using InfoType = VValueInfo_array<VArrayLong8, kValueKindArrayLong8, int64>;
  static const InfoType sInfo;

  // `count` elements of 0.
  explicit VArrayLong8(int32 count = 0);
  VArrayLong8(const VArrayLong8& other);
  VArrayLong8& operator=(const VArrayLong8& other) {
    Copy(other);
    return *this;
  }
  ~VArrayLong8() override = default;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  uint16 GetElemValueKind() const override { return kValueKindLong8; }
  VArrayLong8* Clone() const override { return new VArrayLong8(*this); }
  bool CanBeEvaluated() const override { return true; }

  // Nothing outside 1 to the count; the getter answers 0 there.
  void FromLong8(int64 value, int32 position) override;
  virtual int64 GetLong8(int32 position) const;

  void FromValue(const VValueSingle& value, int32 position) override;
  void GetValue(VValueSingle& out, int32 position) const override;
  VValueSingle* CloneValue(int32 position) const override;
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override;

  // Exact comparisons of numbers.
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  virtual int32 Find(int64 value, int32 start, uint8 forward, CompareMethod method) const;
  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(int64 value) const { return QuickFindNumber(value); }

  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
};

}  // namespace zeft
