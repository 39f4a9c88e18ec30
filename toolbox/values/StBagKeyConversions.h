// How the typed static bag keys hand a caller's type T to the stored value
// class V and back: numbers and booleans through the scalar accessors,
// strings and other values through the value conversions.
#pragma once

#include <type_traits>

#include "core/VString.h"
#include "core/VTypes.h"
#include "core/VValueSingle.h"

namespace zeft::bag_key {

template <class T>
void ToStored(const T& from, VValueSingle& to) {
  if constexpr (std::is_same_v<T, bool>) {
    to.FromBoolean(from ? 1 : 0);
  } else if constexpr (std::is_floating_point_v<T>) {
    to.FromReal(double(from));
  } else if constexpr (std::is_integral_v<T> && sizeof(T) <= 4 && std::is_signed_v<T>) {
    to.FromLong(int32(from));
  } else if constexpr (std::is_integral_v<T>) {
    to.FromLong8(int64(from));
  } else if constexpr (std::is_base_of_v<VString, T>) {
    to.FromString(from);
  } else {
    static_assert(std::is_base_of_v<VValueSingle, T>, "no conversion to a bag value");
    to.FromValue(from);
  }
}

template <class T>
void FromStored(const VValueSingle& from, T& to) {
  if constexpr (std::is_same_v<T, bool>) {
    to = from.GetBoolean() != 0;
  } else if constexpr (std::is_floating_point_v<T>) {
    to = T(from.GetReal());
  } else if constexpr (std::is_integral_v<T> && sizeof(T) <= 4 && std::is_signed_v<T>) {
    to = T(from.GetLong());
  } else if constexpr (std::is_integral_v<T>) {
    to = T(from.GetLong8());
  } else if constexpr (std::is_base_of_v<VString, T>) {
    from.GetString(to);
  } else {
    static_assert(std::is_base_of_v<VValueSingle, T>, "no conversion from a bag value");
    from.GetValue(to);
  }
}

}  // namespace zeft::bag_key
