// Small text helpers shared by the time and duration values: the lenient
// decimal reading of a string's text and its UTF-8 bytes limited to what a
// fixed parse buffer would see.
#pragma once

#include <string>

#include "core/VString.h"
#include "core/VTypes.h"

namespace zeft::value_text {

// The string's lenient integer reading: digits accumulate (wrapping), a
// "-" before any non-zero digit makes the result negative, other units are
// skipped, and the first unit of the decimal separator ends the text.
int64 ReadLong8(const VString& text);
// ReadLong8 when the result fits in 32 bits, else 0.
int32 ReadLong(const VString& text);
// The text in UTF-8, cut to `maxBytes` bytes.
std::string ToUTF8(const VString& text, size_t maxBytes);

}  // namespace zeft::value_text
