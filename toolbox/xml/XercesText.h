// The XML library's 0-terminated UTF-16 text read into strings, for the
// files that talk to the library directly.
#pragma once

#include <xercesc/util/XMLString.hpp>

#include "core/VString.h"

namespace zeft {

// Replaces the string's content (keeping its own room); empty for null.
inline void SetXercesText(VString& s, const XMLCh* text) {
  s.FromUniString(text, text != nullptr ? int32(xercesc::XMLString::stringLen(text)) : 0);
}

inline VString TextOf(const XMLCh* text) {
  VString s;
  SetXercesText(s, text);
  return s;
}

}  // namespace zeft
