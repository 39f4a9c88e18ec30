#include "core/VUTF32Converter.h"

#include <cstring>

#include "core/UTF16Surrogates.h"
#include "core/VString.h"

namespace zeft {

namespace {

inline uint32 LoadUnit(const uint8* p, bool swap) {
  uint32 v;
  std::memcpy(&v, p, 4);
  return swap ? __builtin_bswap32(v) : v;
}

inline void StoreUnit(uint8* p, uint32 v, bool swap) {
  if (swap) v = __builtin_bswap32(v);
  std::memcpy(p, &v, 4);
}

}  // namespace

bool VToUnicodeConverter_UTF32::Convert(const void* source, size_t sourceBytes,
                                        size_t* consumedBytes, UniChar* target, int targetMaxChars,
                                        int* producedChars) {
  const uint8* const begin = static_cast<const uint8*>(source);
  const uint8* src = begin;
  const size_t units = begin != nullptr ? sourceBytes / 4 : 0;
  const uint8* const end = begin + units * 4;
  UniChar* dst = target;
  UniChar* const dstEnd = target + (target != nullptr && targetMaxChars > 0 ? targetMaxChars : 0);
  bool ok = true;
  // A full target only stops the conversion: it is no error.
  while (src < end && dst < dstEnd) {
    uint32 value = LoadUnit(src, fSwap);
    if (value < 0x10000) {
      if (IsSurrogate(value)) {
        ok = false;
        break;
      }
      *dst++ = UniChar(value);
    } else if (value < 0x110000) {
      if (dstEnd - dst < 2) break;
      *dst++ = HighSurrogateOf(value);
      *dst++ = LowSurrogateOf(value);
    } else {
      ok = false;  // not a character: skipped
    }
    src += 4;
  }
  if (consumedBytes != nullptr) *consumedBytes = size_t(src - begin);
  if (producedChars != nullptr) *producedChars = int(dst - target);
  return ok;
}

bool VFromUnicodeConverter_UTF32::Convert(const UniChar* source, int sourceChars,
                                          int* consumedChars, void* target, size_t targetMaxBytes,
                                          size_t* producedBytes) {
  const UniChar* src = source;
  const UniChar* const end = source + (source != nullptr && sourceChars > 0 ? sourceChars : 0);
  uint8* const dst = static_cast<uint8*>(target);
  size_t produced = 0;
  bool ok = true;
  while (src < end) {
    uint32 value = *src;
    int units = 1;
    if (IsHighSurrogate(value)) {
      if (src + 1 == end || !IsLowSurrogate(src[1])) {
        ok = false;
        break;
      }
      value = CombineSurrogates(value, src[1]);
      units = 2;
    } else if (IsLowSurrogate(value)) {
      ok = false;
      break;
    }
    if (targetMaxBytes - produced < 4) {
      ok = false;
      break;
    }
    if (dst != nullptr) StoreUnit(dst + produced, value, fSwap);
    produced += 4;
    src += units;
  }
  if (consumedChars != nullptr) *consumedChars = int(src - source);
  if (producedBytes != nullptr) *producedBytes = produced;
  return ok;
}

bool VToUnicodeConverter_UTF32_Raw::ConvertString(const void* source, size_t sourceBytes,
                                                  size_t* consumedBytes, VString& target) {
  // Exactly one unit per source unit: convert straight into the string.
  if (consumedBytes != nullptr) *consumedBytes = 0;
  const size_t units = source != nullptr ? sourceBytes / 4 : 0;
  const int32 oldLength = target.GetLength();
  UniChar* room = _PrepareAppend(target, units);
  if (room == nullptr) return false;
  int produced = 0;
  size_t consumed = 0;
  Convert(source, units * 4, &consumed, room, int(units), &produced);
  target.Validate(oldLength + produced);
  if (consumedBytes != nullptr) *consumedBytes = consumed;
  return true;
}

bool VToUnicodeConverter_UTF32_Raw::Convert(const void* source, size_t sourceBytes,
                                            size_t* consumedBytes, UniChar* target,
                                            int targetMaxChars, int* producedChars) {
  const uint8* src = static_cast<const uint8*>(source);
  size_t count = src != nullptr ? sourceBytes / 4 : 0;
  const size_t room = target != nullptr && targetMaxChars > 0 ? size_t(targetMaxChars) : 0;
  if (count > room) count = room;
  for (size_t i = 0; i < count; ++i) target[i] = UniChar(LoadUnit(src + 4 * i, fSwap));
  if (consumedBytes != nullptr) *consumedBytes = count * 4;
  if (producedChars != nullptr) *producedChars = int(count);
  return true;
}

bool VFromUnicodeConverter_UTF32_Raw::Convert(const UniChar* source, int sourceChars,
                                              int* consumedChars, void* target,
                                              size_t targetMaxBytes, size_t* producedBytes) {
  size_t count = source != nullptr && sourceChars > 0 ? size_t(sourceChars) : 0;
  if (count > targetMaxBytes / 4) count = targetMaxBytes / 4;
  uint8* const dst = static_cast<uint8*>(target);
  if (dst != nullptr) {
    for (size_t i = 0; i < count; ++i) StoreUnit(dst + 4 * i, source[i], fSwap);
  }
  if (consumedChars != nullptr) *consumedChars = int(count);
  if (producedBytes != nullptr) *producedBytes = count * 4;
  return true;
}

}  // namespace zeft
