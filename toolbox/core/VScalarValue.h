// VScalarValue holds what the six scalar values (VBoolean, VByte, VWord,
// VLong, VLong8, VReal) share: one number of type STORED, its raw form,
// same-kind comparisons, cloning and clearing. Each scalar class adds its
// own conversions, stream form and cross-kind ordering.
#pragma once

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "core/VCompareOptions.h"
#include "core/VValueInfo_scalar.h"
#include "core/VValueSingle.h"

namespace zeft {

// Truncates toward zero; out-of-range numbers saturate, NaN gives 0.
inline int32 SaturatingRealToLong(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32>::min();
  return static_cast<int32>(value);
}

inline int64 SaturatingRealToLong8(double value) {
  if (std::isnan(value)) return 0;
  // 2^63 is the first double above the range; -2^63 is in range.
  if (value >= 9223372036854775808.0) return std::numeric_limits<int64>::max();
  if (value <= -9223372036854775808.0) return std::numeric_limits<int64>::min();
  return static_cast<int64>(value);
}

template <class DERIVED, class STORED>
class VScalarValue : public VValueSingle {
 public:
  using StoredType = STORED;

  STORED Get() const { return fValue; }

  const VValueInfo* GetValueInfo() const override { return &DERIVED::sInfo; }
  void Clear() override {
    fValue = 0;
    SetNotNullAndDirty();
  }
  bool CanBeEvaluated() const override { return true; }
  VValue* Clone() const override {
    DERIVED* clone = new DERIVED(static_cast<const DERIVED&>(*this));
    clone->fFlags |= kFlagDirty;
    return clone;
  }

  // Raw form: the number in native byte order.
  const void* LoadFromPtr(const void* data, bool /*refOnly*/) override {
    std::memcpy(&fValue, data, sizeof(STORED));
    SetNotNullAndDirty();
    return static_cast<const uint8*>(data) + sizeof(STORED);
  }
  void* WriteToPtr(void* data, bool /*refOnly*/, size_t /*max*/) const override {
    std::memcpy(data, &fValue, sizeof(STORED));
    return static_cast<uint8*>(data) + sizeof(STORED);
  }
  size_t GetSpace(size_t /*max*/) const override { return sizeof(STORED); }

  // Same-kind comparisons; reals override them with their tolerance.
  CompareResult CompareToSameKind(const VValue* other, bool /*diacritical*/) const override {
    return CompareStoredScalars(fValue, Other(other));
  }
  bool EqualToSameKind(const VValue* other, bool /*diacritical*/) const override {
    return fValue == Other(other);
  }
  CompareResult CompareToSameKindPtr(const void* data, bool /*diacritical*/) const override {
    return CompareStoredScalars(fValue, Load(data));
  }
  bool EqualToSameKindPtr(const void* data, bool /*diacritical*/) const override {
    return fValue == Load(data);
  }
  CompareResult CompareToSameKindWithOptions(const VValue* other,
                                             const VCompareOptions& /*options*/) const override {
    return CompareStoredScalars(fValue, Other(other));
  }
  bool EqualToSameKindWithOptions(const VValue* other,
                                  const VCompareOptions& /*options*/) const override {
    return fValue == Other(other);
  }
  CompareResult CompareToSameKindPtrWithOptions(const void* data,
                                                const VCompareOptions& /*options*/) const override {
    return CompareStoredScalars(fValue, Load(data));
  }
  bool EqualToSameKindPtrWithOptions(const void* data,
                                     const VCompareOptions& /*options*/) const override {
    return fValue == Load(data);
  }

  // JSON value forms (json/VScalarValueJSON.cpp): the JSON null for a null
  // value, else a boolean or a number. Reading rounds down to the integer
  // kinds' width (0 when out of range); the JSON null makes the value null.
  VError GetJSONValue(VJSONValue& json, uint32 options) const override;
  VError FromJSONValue(const VJSONValue& json) override;

  bool FromValueSameKind(const VValue* other) override {
    fValue = Other(other);
    SetNull(other->IsNull());
    fFlags |= kFlagDirty;
    return true;
  }

 protected:
  explicit VScalarValue(STORED value) : VValueSingle(kFlagDirty), fValue(value) {}
  // The stored-type constructor of every scalar: starts not null and
  // dirty, at 0 when `init`, else at the number at `data`.
  VScalarValue(const STORED* data, bool init) : VValueSingle(kFlagDirty), fValue(0) {
    if (!init) std::memcpy(&fValue, data, sizeof(STORED));
  }
  VScalarValue(const VScalarValue&) = default;
  VScalarValue& operator=(const VScalarValue&) = default;

  // A setter's store: the number, not null, dirty.
  void Store(STORED value) {
    fValue = value;
    SetNotNullAndDirty();
  }
  // A conversion's store: the number with the source's null state, dirty.
  void StoreWithNullState(STORED value, bool isNull) {
    fValue = value;
    SetNull(isNull);
    fFlags |= kFlagDirty;
  }

  static STORED Other(const VValue* other) {
    return static_cast<const VScalarValue*>(other)->fValue;
  }
  static STORED Load(const void* data) {
    STORED stored;
    std::memcpy(&stored, data, sizeof(STORED));
    return stored;
  }

  STORED fValue;
};

}  // namespace zeft
