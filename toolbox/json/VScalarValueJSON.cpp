// The JSON value forms of the six scalar values: a JSON boolean or number,
// the JSON null for a null value.
#include <cmath>
#include <type_traits>

#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VScalarValue.h"
#include "core/VWord.h"
#include "json/VJSONValue.h"

namespace zeft {

namespace {

// A JSON number rounded down and held in the integer's width: through 32
// bits (64 for 64-bit fields), low bits kept; a number that does not fit
// (or NaN) gives 0.
template <class STORED>
STORED JSONNumberToInteger(double number) {
  const double rounded = std::floor(number);
  if constexpr (sizeof(STORED) == sizeof(int64)) {
    const int64 wide = SaturatingRealToLong8(rounded);
    return double(wide) == rounded && rounded < 9223372036854775808.0 ? STORED(wide) : 0;
  } else {
    const int32 wide = SaturatingRealToLong(rounded);
    return double(wide) == rounded ? STORED(wide) : 0;
  }
}

}  // namespace

template <class DERIVED, class STORED>
VError VScalarValue<DERIVED, STORED>::GetJSONValue(VJSONValue& json, uint32) const {
  if (IsNull()) {
    json.SetNull();
  } else if constexpr (std::is_same_v<DERIVED, VBoolean>) {
    json.SetBool(fValue != 0);
  } else {
    json.SetNumber(double(fValue));
  }
  return VE_OK;
}

template <class DERIVED, class STORED>
VError VScalarValue<DERIVED, STORED>::FromJSONValue(const VJSONValue& json) {
  if constexpr (std::is_same_v<DERIVED, VReal>) {
    if (json.IsNull()) {
      SetNull(true);
    } else {
      Store(json.GetNumber());
    }
  } else if constexpr (std::is_same_v<DERIVED, VBoolean>) {
    StoreWithNullState(json.GetBool() ? 1 : 0, json.IsNull());
  } else {
    StoreWithNullState(JSONNumberToInteger<STORED>(json.GetNumber()), json.IsNull());
  }
  return VE_OK;
}

#define ZEFT_SCALAR_JSON(CLASS, STORED)                                                 \
  template VError VScalarValue<CLASS, STORED>::GetJSONValue(VJSONValue&, uint32) const; \
  template VError VScalarValue<CLASS, STORED>::FromJSONValue(const VJSONValue&);

ZEFT_SCALAR_JSON(VBoolean, uint8)
ZEFT_SCALAR_JSON(VByte, int8)
ZEFT_SCALAR_JSON(VWord, int16)
ZEFT_SCALAR_JSON(VLong, int32)
ZEFT_SCALAR_JSON(VLong8, int64)
ZEFT_SCALAR_JSON(VReal, double)

#undef ZEFT_SCALAR_JSON

}  // namespace zeft
