// DialectCode identifies a language and its regional variant, laid out like
// a Windows language identifier: the low 10 bits are the primary language,
// the bits above it the sub-language.
#pragma once

#include "core/VTypes.h"

namespace zeft {

using DialectCode = uint32;

// English (United States): the fallback wherever a dialect is unknown.
inline constexpr DialectCode kDialectEnglishUS = 1033;
// 0, -1 and -2 all stand for the system's dialect; -2 is also what a failed
// look-up stores.
inline constexpr DialectCode kDialectSystem = 0;
inline constexpr DialectCode kDialectSystemAlt = 0xFFFFFFFF;
inline constexpr DialectCode kDialectNotFound = 0xFFFFFFFE;

inline constexpr DialectCode kDialectPrimaryMask = 0x3FF;
inline constexpr DialectCode kDialectDefaultSubLanguage = 0x400;

// The primary language with its default sub-language.
constexpr DialectCode DialectPrimary(DialectCode code) {
  return (code & kDialectPrimaryMask) | kDialectDefaultSubLanguage;
}

}  // namespace zeft
