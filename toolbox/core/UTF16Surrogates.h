// Tests on UTF-16 surrogate units and the arithmetic between a pair and its
// code point, shared by the text converters and the string code.
#pragma once

#include "core/VTypes.h"

namespace zeft {

constexpr bool IsHighSurrogate(uint32 unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(uint32 unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
constexpr bool IsSurrogate(uint32 unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The code point of a high surrogate followed by a low one.
constexpr uint32 CombineSurrogates(uint32 high, uint32 low) {
  return (high << 10) + low - 0x35FDC00;  // 0x35FDC00 = (0xD800 << 10) + 0xDC00 - 0x10000
}

// The pair of a code point from U+10000 to U+10FFFF.
constexpr UniChar HighSurrogateOf(uint32 value) { return UniChar(0xD7C0 + (value >> 10)); }
constexpr UniChar LowSurrogateOf(uint32 value) { return UniChar(0xDC00 | (value & 0x3FF)); }

static_assert(CombineSurrogates(0xD800, 0xDC00) == 0x10000);
static_assert(CombineSurrogates(0xDBFF, 0xDFFF) == 0x10FFFF);
static_assert(HighSurrogateOf(0x10000) == 0xD800 && LowSurrogateOf(0x10000) == 0xDC00);
static_assert(HighSurrogateOf(0x10FFFF) == 0xDBFF && LowSurrogateOf(0x10FFFF) == 0xDFFF);
static_assert(HighSurrogateOf(0x1F600) == 0xD83D && LowSurrogateOf(0x1F600) == 0xDE00);

}  // namespace zeft
