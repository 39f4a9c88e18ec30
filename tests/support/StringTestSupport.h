// Conversions between VString and standard strings for test assertions.
#pragma once

#include <string>
#include <string_view>

#include "core/VString.h"

namespace zeft::test {

// The string's units, for comparing with u"..." literals.
inline std::u16string Text(const VString& s) {
  return std::u16string(s.GetCPointer(), size_t(s.GetLength()));
}

// A string holding exactly these units.
inline VString Str(std::u16string_view text) {
  VString s;
  s.FromUniString(text.data(), int32(text.size()));
  return s;
}

}  // namespace zeft::test
