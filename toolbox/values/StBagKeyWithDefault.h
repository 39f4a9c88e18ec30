// StBagKeyWithDefault is a typed static bag key with a default value that
// Get answers when the bag lacks the attribute. T is the type callers
// handle, V the value class stored. Keys over literals are constexpr when T
// is a literal type (numbers, booleans).
#pragma once

#include <string>
#include <type_traits>

#include "values/StBagKeyConversions.h"
#include "values/StPackedDictionaryKey.h"
#include "values/VValueBag.h"

namespace zeft {

template <class T, class V>
class StBagKeyWithDefault : public StPackedDictionaryKey {
 public:
  // Borrows the 0-terminated name, which must outlive the key.
  constexpr StBagKeyWithDefault(const char* name, const T& defaultValue)
      : StPackedDictionaryKey(name, std::char_traits<char>::length(name), BorrowTag{}),
        fDefault(defaultValue) {}

  const T& GetDefault() const { return fDefault; }

  // The stored value converted to T, or the default when absent.
  T Get(const VValueBag& bag) const {
    V stored;
    if (!bag.GetAttribute(*this, stored)) return fDefault;
    T result{};
    bag_key::FromStored(stored, result);
    return result;
  }
  bool Set(VValueBag& bag, const T& value) const {
    if constexpr (std::is_same_v<T, V>) return bag.SetAttribute(*this, value);
    V stored;
    bag_key::ToStored(value, stored);
    return bag.SetAttribute(*this, stored);
  }

 private:
  T fDefault;
};

}  // namespace zeft
