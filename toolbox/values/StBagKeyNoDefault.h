// StBagKeyNoDefault is a typed static bag key: a component declares it
// once over a literal (constexpr, hashed at compile time) and reads and
// writes one attribute through it. T is the type callers handle, V the
// value class stored.
#pragma once

#include <cstddef>
#include <type_traits>

#include "values/StBagKeyConversions.h"
#include "values/StPackedDictionaryKey.h"
#include "values/VValueBag.h"

namespace zeft {

template <class T, class V>
class StBagKeyNoDefault : public StPackedDictionaryKey {
 public:
  template <size_t N>
  constexpr StBagKeyNoDefault(const char (&name)[N]) : StPackedDictionaryKey(name) {}

  // False, `out` untouched, when the bag has no such attribute.
  bool Get(const VValueBag& bag, T& out) const {
    if constexpr (std::is_same_v<T, V>) return bag.GetAttribute(*this, out);
    V stored;
    if (!bag.GetAttribute(*this, stored)) return false;
    bag_key::FromStored(stored, out);
    return true;
  }
  // Replaces the attribute, or adds it.
  bool Set(VValueBag& bag, const T& value) const {
    if constexpr (std::is_same_v<T, V>) return bag.SetAttribute(*this, value);
    V stored;
    bag_key::ToStored(value, stored);
    return bag.SetAttribute(*this, stored);
  }
};

}  // namespace zeft
