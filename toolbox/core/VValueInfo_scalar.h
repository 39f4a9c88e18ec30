// VValueInfo_scalar is the descriptor of the fixed-size scalar values: one
// stored number of type STORED, native byte order, read and written with
// memcpy so that packed storage need not be aligned.
#pragma once

#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>

#include "core/VValueInfo.h"

namespace zeft {

// Orders two reals: equal when both are NaN or, unless `exact`, when they
// differ by less than `epsilon`; a NaN is smaller than any number, so the
// order stays consistent for sorting.
inline CompareResult CompareReals(double a, double b, double epsilon, bool exact) {
  const bool aNaN = std::isnan(a);
  const bool bNaN = std::isnan(b);
  if (aNaN || bNaN) {
    return aNaN && bNaN ? kCompareEqual : aNaN ? kCompareLess : kCompareBigger;
  }
  if (a == b || (!exact && std::fabs(a - b) < epsilon)) {
    return kCompareEqual;
  }
  return a > b ? kCompareBigger : kCompareLess;
}

template <class STORED>
CompareResult CompareStoredScalars(STORED a, STORED b) {
  return a == b ? kCompareEqual : a > b ? kCompareBigger : kCompareLess;
}

template <class VALUE, uint16 KIND, class STORED>
class VValueInfo_scalar : public VValueInfo {
 public:
  static_assert(std::is_arithmetic_v<STORED>);
  // Tolerance of real comparisons that take no options.
  static constexpr double kRealTolerance = 1e-6;

  constexpr VValueInfo_scalar() : VValueInfo(KIND) {}

  VValue* Generate() const override { return new VALUE(); }
  VValue* Generate(VBlob* /*blob*/) const override { return new VALUE(); }
  VValue* LoadFromPtr(const void* data, bool /*refOnly*/) const override {
    STORED stored;
    std::memcpy(&stored, data, sizeof(STORED));
    return new VALUE(&stored, false);
  }
  void* ByteSwapPtr(void* data, bool /*fromNative*/) const override {
    uint8* bytes = static_cast<uint8*>(data);
    for (size_t i = 0; i < sizeof(STORED) / 2; ++i) {
      std::swap(bytes[i], bytes[sizeof(STORED) - 1 - i]);
    }
    return bytes + sizeof(STORED);
  }

  CompareResult CompareTwoPtrToData(const void* data1, const void* data2,
                                    bool diacritical) const override {
    const STORED a = Load(data1);
    const STORED b = Load(data2);
    if constexpr (std::is_floating_point_v<STORED>) {
      return CompareReals(a, b, kRealTolerance, diacritical);
    } else {
      return CompareStoredScalars(a, b);
    }
  }
  CompareResult CompareTwoPtrToDataBegining(const void* data1, const void* data2,
                                            bool diacritical) const override {
    return CompareTwoPtrToData(data1, data2, diacritical);
  }
  CompareResult CompareTwoPtrToDataWithOptions(const void* data1, const void* data2,
                                               const VCompareOptions& /*options*/) const override {
    return CompareTwoPtrToData(data1, data2, false);
  }

  size_t GetSizeOfValueDataPtr(const void* /*data*/) const override { return sizeof(STORED); }
  size_t GetAvgSpace() const override { return sizeof(STORED); }

 protected:
  static STORED Load(const void* data) {
    STORED stored;
    std::memcpy(&stored, data, sizeof(STORED));
    return stored;
  }
};

}  // namespace zeft
