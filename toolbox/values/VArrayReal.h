// VArrayReal is the value array of 64-bit floating-point numbers (kind
// 105), held as machine numbers in one block so that streams transfer and
// QSort sorts them whole; it also gives the sum, average and spread of its
// elements.
#pragma once

#include "values/VArrayFixed.h"

namespace zeft {

class VArrayReal : public VArrayFixed<double> {
 public:
  using InfoType = VValueInfo_array<VArrayReal, kValueKindArrayReal, double>;
  static const InfoType sInfo;

  // `count` elements of 0.
  explicit VArrayReal(int32 count = 0);
  VArrayReal(const VArrayReal& other);
  VArrayReal& operator=(const VArrayReal& other) {
    Copy(other);
    return *this;
  }
  ~VArrayReal() override = default;

  const VValueInfo* GetValueInfo() const override { return &sInfo; }
  uint16 GetElemValueKind() const override { return kValueKindReal; }
  VArrayReal* Clone() const override { return new VArrayReal(*this); }
  bool CanBeEvaluated() const override { return true; }

  // Nothing outside 1 to the count; the getter answers 0 there.
  void FromReal(double value, int32 position) override;
  virtual double GetReal(int32 position) const;

  void FromValue(const VValueSingle& value, int32 position) override;
  void GetValue(VValueSingle& out, int32 position) const override;
  VValueSingle* CloneValue(int32 position) const override;
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override;

  // Exact comparisons of numbers.
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override;
  virtual int32 Find(double value, int32 start, uint8 forward, CompareMethod method) const;
  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(double value) const { return QuickFindNumber(value); }

  // Each answers 0.0 for an empty array. GetSquareSum is the sum of the
  // squared differences from the average; GetStdDev is their mean (the
  // variance, without the square root).
  double GetSum() const;
  double GetAverage() const;
  double GetSquareSum() const;
  double GetStdDev() const;

  VError ReadFromStream(VStream* stream, int32 param) override;
  VError WriteToStream(VStream* stream, int32 param) const override;
};

}  // namespace zeft
