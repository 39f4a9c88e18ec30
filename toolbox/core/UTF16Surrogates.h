// Tests on UTF-16 surrogate units, shared by the text converters and the
// string code.
#pragma once

#include "core/VTypes.h"

namespace zeft {

constexpr bool IsHighSurrogate(uint32 unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(uint32 unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace zeft
