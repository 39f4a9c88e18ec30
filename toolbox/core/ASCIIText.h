// Small ASCII helpers shared by the text parsers and comparers: hexadecimal
// digits and case folding that ignore the task's language on purpose.
#pragma once

#include "core/VTypes.h"

namespace zeft {

// The value of a hexadecimal digit (either case), -1 for anything else.
constexpr int HexDigitValue(uint32 unit) {
  if (unit >= '0' && unit <= '9') return int(unit - '0');
  if (unit >= 'A' && unit <= 'F') return int(unit - 'A' + 10);
  if (unit >= 'a' && unit <= 'f') return int(unit - 'a' + 10);
  return -1;
}

// A-Z to a-z; every other unit unchanged.
constexpr UniChar FoldASCII(UniChar unit) {
  return unit >= u'A' && unit <= u'Z' ? UniChar(unit + 32) : unit;
}

}  // namespace zeft
