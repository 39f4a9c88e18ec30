// VStringLessCompareStrict orders strings by their exact UTF-16 units, for
// maps whose keys must not be folded by case or collation (environment
// variable names, localization keys).
#pragma once

#include "core/VString.h"
#include "core/VValue.h"

namespace zeft {

struct VStringLessCompareStrict {
  bool operator()(const VString& a, const VString& b) const {
    return a.CompareToStringRaw(b) == kCompareLess;
  }
};

}  // namespace zeft
