// VArrayWord is the value array of signed 16-bit numbers (kind 102),
// held as machine numbers in one block so that streams transfer and QSort
// sorts them whole.
#pragma once

#include "values/VArrayFixed.h"

namespace zeft {

class VArrayWord : public VArrayFixed<int16> {
 public:
  using InfoType = VValueInfo_array<VArrayWord, kValueKindArrayWord, int16>;
  static const InfoType sInfo;

  // `count` elements of 0.
  explicit VArrayWord(int32 count = 0);
  VArrayWord(const VArrayWord& other);
  VArrayWord& operator=(const VArrayWord& other) {
    Copy(other);
    return *this;
  }
  ~VArrayWord() override = default;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  uint16 GetElemValueKind() const override { return kValueKindWord; }
  VArrayWord* Clone() const override { return new VArrayWord(*this); }
  bool CanBeEvaluated() const override { return true; }

  // Nothing outside 1 to the count; the getter answers 0 there.
  void FromWord(int16 value, int32 position) override;
  virtual int16 GetWord(int32 position) const;

  void FromValue(const VValueSingle& value, int32 position) override;
  void GetValue(VValueSingle& out, int32 position) const override;
  VValueSingle* CloneValue(int32 position) const override;
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override;

  // Exact comparisons of numbers.
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  virtual int32 Find(int16 value, int32 start, uint8 forward, CompareMethod method) const;
  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(int16 value) const { return QuickFindNumber(value); }
  // An empty array answers the smallest (GetMax) and largest (GetMin)
  // number of the type.
  int16 GetMax() const { return MaxNumber(); }
  int16 GetMin() const { return MinNumber(); }

  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
};

}  // namespace zeft
