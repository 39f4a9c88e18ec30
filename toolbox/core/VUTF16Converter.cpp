#include "core/VUTF16Converter.h"

#include <cstring>

#include "core/VString.h"

namespace zeft {

namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the Swap converters serve big-endian UTF-16 on little-endian machines");

// Whole units that fit both the source bytes and the room.
inline size_t UnitsToCopy(const void* source, size_t sourceBytes, int targetMaxChars) {
  if (source == nullptr || targetMaxChars <= 0) return 0;
  size_t units = sourceBytes / 2;
  return units < size_t(targetMaxChars) ? units : size_t(targetMaxChars);
}

inline size_t UnitsToWrite(const UniChar* source, int sourceChars, size_t targetMaxBytes) {
  if (source == nullptr || sourceChars <= 0) return 0;
  size_t units = targetMaxBytes / 2;
  return size_t(sourceChars) < units ? size_t(sourceChars) : units;
}

inline void SwapUnits(UniChar* units, size_t count) {
  for (size_t i = 0; i < count; ++i) units[i] = __builtin_bswap16(units[i]);
}

// Appends the whole units of the block to the string, swapped or not.
bool AppendUnits(const void* source, size_t sourceBytes, size_t* consumedBytes, VString& target,
                 bool swap, UniChar* (*prepare)(VString&, size_t)) {
  if (consumedBytes != nullptr) *consumedBytes = 0;
  const size_t units = source != nullptr ? sourceBytes / 2 : 0;
  const int32 length = target.GetLength();
  UniChar* room = prepare(target, units);
  if (room == nullptr) return false;
  if (units > 0) std::memcpy(room, source, units * 2);
  if (swap) SwapUnits(room, units);
  target.Validate(length + int32(units));
  if (consumedBytes != nullptr) *consumedBytes = units * 2;
  return true;
}

}  // namespace

bool VToUnicodeConverter_Null::ConvertString(const void* source, size_t sourceBytes,
                                             size_t* consumedBytes, VString& target) {
  return AppendUnits(source, sourceBytes, consumedBytes, target, false, &_PrepareAppend);
}

bool VToUnicodeConverter_Null::Convert(const void* source, size_t sourceBytes,
                                       size_t* consumedBytes, UniChar* target, int targetMaxChars,
                                       int* producedChars) {
  size_t units = target != nullptr ? UnitsToCopy(source, sourceBytes, targetMaxChars) : 0;
  if (units > 0) std::memcpy(target, source, units * 2);
  if (consumedBytes != nullptr) *consumedBytes = units * 2;
  if (producedChars != nullptr) *producedChars = int(units);
  return true;
}

bool VFromUnicodeConverter_Null::Convert(const UniChar* source, int sourceChars, int* consumedChars,
                                         void* target, size_t targetMaxBytes,
                                         size_t* producedBytes) {
  size_t units = UnitsToWrite(source, sourceChars, targetMaxBytes);
  if (target != nullptr && units > 0) std::memcpy(target, source, units * 2);
  if (consumedChars != nullptr) *consumedChars = int(units);
  if (producedBytes != nullptr) *producedBytes = units * 2;
  return true;
}

bool VToUnicodeConverter_Swap::ConvertString(const void* source, size_t sourceBytes,
                                             size_t* consumedBytes, VString& target) {
  return AppendUnits(source, sourceBytes, consumedBytes, target, true, &_PrepareAppend);
}

bool VToUnicodeConverter_Swap::Convert(const void* source, size_t sourceBytes,
                                       size_t* consumedBytes, UniChar* target, int targetMaxChars,
                                       int* producedChars) {
  size_t units = target != nullptr ? UnitsToCopy(source, sourceBytes, targetMaxChars) : 0;
  if (units > 0) std::memcpy(target, source, units * 2);
  SwapUnits(target, units);
  if (consumedBytes != nullptr) *consumedBytes = units * 2;
  if (producedChars != nullptr) *producedChars = int(units);
  return true;
}

bool VFromUnicodeConverter_Swap::Convert(const UniChar* source, int sourceChars, int* consumedChars,
                                         void* target, size_t targetMaxBytes,
                                         size_t* producedBytes) {
  size_t units = UnitsToWrite(source, sourceChars, targetMaxBytes);
  if (target != nullptr) {
    uint8* dst = static_cast<uint8*>(target);
    for (size_t i = 0; i < units; ++i) {
      UniChar swapped = __builtin_bswap16(source[i]);
      std::memcpy(dst + 2 * i, &swapped, 2);
    }
  }
  if (consumedChars != nullptr) *consumedChars = int(units);
  if (producedBytes != nullptr) *producedBytes = units * 2;
  return true;
}

}  // namespace zeft
