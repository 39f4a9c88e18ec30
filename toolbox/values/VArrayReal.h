// VArrayReal is the value array of 64-bit floating-point numbers (kind
// 105), held as machine numbers in one block so that streams transfer and
// QSort sorts them whole; it also gives the sum, average and spread of its
// elements.
#pragma once

#include "core/VReal.h"
#include "values/VArrayFixed.h"

namespace zeft {

class VArrayReal final : public VArrayFixed<VArrayReal, double, VReal, &VValueSingle::GetReal,
                                            &VValueSingle::FromReal> {
 public:
  using InfoType = VValueInfo_array<VArrayReal, kValueKindArrayReal, double>;
  static const InfoType sInfo;

  // `count` elements of 0.
  explicit VArrayReal(int32 count = 0) : VArrayFixed(count) {}
  VArrayReal* Clone() const override { return new VArrayReal(*this); }

  // Nothing outside 1 to the count; the getter answers 0 there.
  void FromReal(double value, int32 position) override { SetAt(value, position); }
  virtual double GetReal(int32 position) const { return GetAt(position); }

  // Binary search of an array sorted in ascending order; -1 when absent.
  int32 QuickFind(double value) const { return QuickFindNumber(value); }

  // Each answers 0.0 for an empty array. GetSquareSum is the sum of the
  // squared differences from the average; GetStdDev is their mean (the
  // variance, without the square root).
  double GetSum() const;
  double GetAverage() const;
  double GetSquareSum() const;
  double GetStdDev() const;
};

}  // namespace zeft
