// VStringLessCompareLike orders strings ignoring case and diacritics, for
// maps whose keys are looked up the way users type them (type identifiers,
// localization group names).
#pragma once

#include "core/VString.h"
#include "core/VValue.h"

namespace zeft {

struct VStringLessCompareLike {
  bool operator()(const VString& a, const VString& b) const {
    return a.CompareToString(b, false) == kCompareLess;
  }
};

}  // namespace zeft
