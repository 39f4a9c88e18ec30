// Editing, searching and line ends of VString.
#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/ASCIIText.h"
#include "core/UTF16Surrogates.h"
#include "core/VCollator.h"
#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "core/VTextConverters.h"
#include "core/VToUnicodeConverter.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"

namespace zeft {

namespace {

constexpr int64 kMaxLength = 0x7FFFFFFF;
constexpr UniChar kCR = 13;
constexpr UniChar kLF = 10;

struct RawEqual {
  bool operator()(UniChar a, UniChar b) const { return a == b; }
};

// Without collation, the diacritical flag clear means ASCII letters match
// whatever their case; nothing else is folded.
struct ASCIICaseEqual {
  bool operator()(UniChar a, UniChar b) const { return FoldASCII(a) == FoldASCII(b); }
};

// Knuth-Morris-Pratt: the 1-based start of the first match, 0 when none.
// Patterns shorter than 256 units keep their failure table on the stack.
template <class Equal>
int32 FindUnits(const UniChar* text, int32 textLength, const UniChar* pattern, int32 patternLength,
                Equal equal) {
  if (patternLength <= 0) return 1;
  if (textLength < patternLength) return 0;

  int32 stackTable[256];
  std::unique_ptr<int32[]> heapTable;
  int32* table = stackTable;
  if (patternLength >= 256) {
    heapTable.reset(new (std::nothrow) int32[size_t(patternLength) + 1]);
    if (heapTable == nullptr) {
      // No room for the table: a plain scan needs none.
      for (int32 i = 0; i + patternLength <= textLength; ++i) {
        int32 k = 0;
        while (k < patternLength && equal(text[i + k], pattern[k])) ++k;
        if (k == patternLength) return i + 1;
      }
      return 0;
    }
    table = heapTable.get();
  }

  table[0] = -1;
  int32 pos = 1;
  int32 candidate = 0;
  while (pos < patternLength) {
    if (equal(pattern[pos], pattern[candidate])) {
      table[pos] = table[candidate];
    } else {
      table[pos] = candidate;
      while (candidate >= 0 && !equal(pattern[pos], pattern[candidate])) {
        candidate = table[candidate];
      }
    }
    ++pos;
    ++candidate;
  }
  table[pos] = candidate;

  int32 j = 0;
  int32 k = 0;
  while (j < textLength) {
    if (equal(pattern[k], text[j])) {
      ++j;
      ++k;
      if (k == patternLength) return j - k + 1;
    } else {
      k = table[k];
      if (k < 0) {
        ++j;
        ++k;
      }
    }
  }
  return 0;
}

int32 FindUnitsFolded(const UniChar* text, int32 textLength, const UniChar* pattern,
                      int32 patternLength, bool diacritical) {
  return diacritical ? FindUnits(text, textLength, pattern, patternLength, RawEqual())
                     : FindUnits(text, textLength, pattern, patternLength, ASCIICaseEqual());
}

bool EqualUnits(const UniChar* a, const UniChar* b, int32 count, bool diacritical) {
  for (int32 i = 0; i < count; ++i) {
    if (diacritical ? a[i] != b[i] : FoldASCII(a[i]) != FoldASCII(b[i])) return false;
  }
  return true;
}

// Decimal digits of n, most significant first, into the end of `buffer`;
// returns the first digit.
char* FormatUnsigned(uint64 n, char* end) {
  char* p = end;
  do {
    *--p = char('0' + n % 10);
    n /= 10;
  } while (n != 0);
  return p;
}

}  // namespace

// ---------------------------------------------------------------------------
// Appending

void VString::AppendString(const VString& s) {
  if (fLength == 0 && !s.IsNull() && s._IsShareable()) {
    // Nothing to keep: share the other string's block instead of copying.
    FromString(s);
    return;
  }
  AppendUniChars(s.fString, s.fLength);
}

void VString::AppendUniChar(UniChar c) {
  if (fLength < fMaxLength && _IsWritable()) {
    fString[fLength] = c;
    _SetLengthAndTerminate(fLength + 1);
    return;
  }
  if (fLength == kMaxLength) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return;
  }
  if (!_EnsureSize(fLength + 1, true)) return;
  fString[fLength] = c;
  _SetLengthAndTerminate(fLength + 1);
}

void VString::AppendUniChars(const UniChar* units, int32 count) {
  if (count < 0 || (units == nullptr && count > 0)) return;
  if (count <= fMaxLength - fLength && _IsWritable()) {
    // Room enough: nothing moves, so units may lie in this very buffer.
    if (count > 0) std::memmove(fString + fLength, units, size_t(count) * sizeof(UniChar));
    _SetLengthAndTerminate(fLength + count);
    return;
  }
  if (int64(fLength) + count > kMaxLength) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return;
  }
  // Units taken from this string's own text survive a reallocation at the
  // same offset.
  int64 ownOffset = -1;
  if (units != nullptr && units >= fString && units < fString + fLength)
    ownOffset = units - fString;
  if (!_EnsureSize(fLength + count, true)) return;
  if (ownOffset >= 0) units = fString + ownOffset;
  if (count > 0) std::memmove(fString + fLength, units, size_t(count) * sizeof(UniChar));
  _SetLengthAndTerminate(fLength + count);
}

UniChar* VString::_GrowForAppend(int32 count) {
  const int64 needed = int64(fLength) + count;
  if (count < 0 || needed > kMaxLength) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return nullptr;
  }
  // Near the limit the extra half may not fit where the units still do.
  const int64 wanted = std::min(kMaxLength - 8, std::max(needed, int64(fLength) + fLength / 2));
  if (!_EnsureSize(int32(std::max(wanted, needed)), true)) return nullptr;
  return fString + fLength;
}

void VString::AppendCString(const char* text) {
  if (text == nullptr) return;
  size_t bytes = 0;
  uint8 all = 0;
  for (const char* p = text; *p != 0; ++p, ++bytes) all |= uint8(*p);
  if ((all & 0x80) != 0) {
    VTextConverters::Get()->GetStdLibToUnicodeConverter()->ConvertString(text, bytes, nullptr,
                                                                         *this);
    SetNotNullAndDirty();
    return;
  }
  if (int64(fLength) + int64(bytes) > kMaxLength) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return;
  }
  int32 count = int32(bytes);
  if (!_EnsureSize(fLength + count, true)) return;
  for (int32 i = 0; i < count; ++i) fString[fLength + i] = UniChar(uint8(text[i]));
  _SetLengthAndTerminate(fLength + count);
}

void VString::AppendBlock(const void* data, size_t bytes, CharSet set) {
  if (set == kCharSetUTF16) {
    size_t units = bytes / sizeof(UniChar);
    if (units > size_t(kMaxLength)) {
      _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
      return;
    }
    AppendUniChars(static_cast<const UniChar*>(data), int32(units));
    return;
  }
  VToUnicodeConverter* converter = VTextConverters::Get()->RetainToUnicodeConverter(set);
  converter->ConvertString(data, bytes, nullptr, *this);
  converter->Release();
  SetNotNullAndDirty();
}

void VString::AppendOsType(uint32 code) {
  const uint8 bytes[4] = {uint8(code >> 24), uint8(code >> 16), uint8(code >> 8), uint8(code)};
  if ((code & 0x80808080) != 0) {
    AppendBlock(bytes, 4, kCharSetUTF8);
    return;
  }
  const UniChar units[4] = {bytes[0], bytes[1], bytes[2], bytes[3]};
  AppendUniChars(units, 4);
}

void VString::AppendLong(int32 n) { AppendLong8(n); }

void VString::AppendLong8(int64 n) {
  char buffer[24];
  char* end = buffer + sizeof(buffer) - 1;
  *end = 0;
  // The magnitude of the smallest value does not fit in int64: negate in
  // unsigned arithmetic.
  uint64 magnitude = n < 0 ? uint64(0) - uint64(n) : uint64(n);
  char* p = FormatUnsigned(magnitude, end);
  if (n < 0) *--p = '-';
  AppendCString(p);
}

void VString::AppendULong8(uint64 n) {
  char buffer[24];
  char* end = buffer + sizeof(buffer) - 1;
  *end = 0;
  AppendCString(FormatUnsigned(n, end));
}

void VString::AppendReal(double r) {
  // "%.14G" in the C locale, whatever the process locale.
  char buffer[64];
  auto result =
      std::to_chars(buffer, buffer + sizeof(buffer) - 1, r, std::chars_format::general, 14);
  *result.ptr = 0;
  for (char* p = buffer; p < result.ptr; ++p) {
    if (*p >= 'a' && *p <= 'z') *p = char(*p - 32);
  }
  AppendCString(buffer);
}

void VString::AppendValue(const VValueSingle& value) {
  VStr<255> text;
  value.GetString(text);
  AppendUniChars(text.GetCPointer(), text.GetLength());
}

// ---------------------------------------------------------------------------
// Inserting, removing, cutting

void VString::Insert(UniChar c, int32 pos) {
  if (c == 0 || pos < 1) return;
  if (pos > fLength) {
    AppendUniChar(c);
    return;
  }
  if (fLength == kMaxLength) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return;
  }
  if (!_EnsureSize(fLength + 1, true)) return;
  std::memmove(fString + pos, fString + pos - 1, size_t(fLength - pos + 1) * sizeof(UniChar));
  fString[pos - 1] = c;
  _SetLengthAndTerminate(fLength + 1);
}

void VString::Insert(const VString& s, int32 pos) {
  if (pos < 1) return;
  if (s.fString == fString && s.fLength > 0) {
    VString own;
    own.FromUniString(s.fString, s.fLength);
    Insert(own, pos);
    return;
  }
  if (pos > fLength) {
    AppendUniChars(s.fString, s.fLength);
    return;
  }
  if (int64(fLength) + s.fLength > kMaxLength) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return;
  }
  if (!_EnsureSize(fLength + s.fLength, true)) return;
  std::memmove(fString + pos - 1 + s.fLength, fString + pos - 1,
               size_t(fLength - pos + 1) * sizeof(UniChar));
  std::memcpy(fString + pos - 1, s.fString, size_t(s.fLength) * sizeof(UniChar));
  _SetLengthAndTerminate(fLength + s.fLength);
}

void VString::Remove(int32 pos, int32 count) {
  if (pos < 1 || count < 0 || pos > fLength) return;
  if (!_EnsureSize(fLength, true)) return;
  if (int64(pos) + count <= fLength) {
    std::memmove(fString + pos - 1, fString + pos - 1 + count,
                 size_t(fLength - (pos - 1 + count)) * sizeof(UniChar));
    _SetLengthAndTerminate(fLength - count);
  } else {
    _SetLengthAndTerminate(pos - 1);
  }
}

void VString::Truncate(int32 newLength, bool keepPairs) {
  if (keepPairs && newLength >= 1 && newLength <= fLength &&
      IsHighSurrogate(fString[newLength - 1])) {
    --newLength;
  }
  if (newLength >= fLength) return;
  if (newLength < 0) newLength = 0;
  _CutTo(newLength);
}

void VString::SubString(int32 pos, int32 count) {
  // Positions outside the string and negative counts are refused.
  if (pos < 1 || count < 0 || pos > fLength + 1) return;
  int32 kept = int32(std::min<int64>(count, int64(fLength) - pos + 1));
  if (pos == 1) {
    Truncate(kept);
    return;
  }
  if (!_EnsureSize(fLength, true)) return;
  std::memmove(fString, fString + pos - 1, size_t(kept) * sizeof(UniChar));
  _SetLengthAndTerminate(kept);
}

void VString::GetSubString(int32 pos, int32 count, VString& dest) const {
  if (pos < 1 || count < 0 || pos > fLength) {
    dest.Clear();
    return;
  }
  int32 taken = int32(std::min<int64>(count, int64(fLength) - pos + 1));
  if (&dest == this) {
    const_cast<VString*>(this)->SubString(pos, taken);
    return;
  }
  dest.FromUniString(fString + pos - 1, taken);
}

VString VString::Before(int32 pos) const {
  VString result;
  if (pos < 1) return result;
  if (pos > fLength) {
    result.FromString(*this);
  } else {
    result.FromUniString(fString, pos - 1);
  }
  return result;
}

VString VString::After(int32 pos) const {
  VString result;
  if (pos < 1) {
    result.FromString(*this);
  } else if (pos < fLength) {
    result.FromUniString(fString + pos, fLength - pos);
  }
  return result;
}

void VString::Replace(const VString& with, int32 pos, int32 count) {
  if (count < 1 || pos < 1 || pos > fLength) return;
  if (with.fString == fString && with.fLength > 0) {
    VString own;
    own.FromUniString(with.fString, with.fLength);
    Replace(own, pos, count);
    return;
  }
  if (int64(pos) + count > fLength) {
    int64 newLength = int64(pos) - 1 + with.fLength;
    if (newLength > kMaxLength) {
      _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
      return;
    }
    if (!_EnsureSize(std::max(fLength, int32(newLength)), true)) return;
    std::memcpy(fString + pos - 1, with.fString, size_t(with.fLength) * sizeof(UniChar));
    _SetLengthAndTerminate(int32(newLength));
    return;
  }
  int64 newLength = int64(fLength) - count + with.fLength;
  if (newLength > kMaxLength) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return;
  }
  if (!_EnsureSize(std::max(fLength, int32(newLength)), true)) return;
  if (with.fLength != count) {
    std::memmove(fString + pos - 1 + with.fLength, fString + pos - 1 + count,
                 size_t(fLength - (pos - 1 + count)) * sizeof(UniChar));
  }
  std::memcpy(fString + pos - 1, with.fString, size_t(with.fLength) * sizeof(UniChar));
  _SetLengthAndTerminate(int32(newLength));
}

// ---------------------------------------------------------------------------
// Single characters

UniChar VString::GetUniChar(int32 pos) const {
  if (pos < 1 || pos > fLength || IsNull()) return 0;
  return fString[pos - 1];
}

bool VString::SetUniChar(int32 pos, UniChar c) {
  if (pos < 1 || pos > fLength || IsNull()) return false;
  if (!_EnsureSize(fLength, true)) return false;
  fString[pos - 1] = c;
  return true;
}

// ---------------------------------------------------------------------------
// Searching

int32 VString::FindUniChar(UniChar c, int32 start, bool backwards) const {
  if (fLength == 0 || start > fLength) return 0;
  if (start < 1) start = 1;
  if (backwards) {
    for (int32 i = start - 1; i >= 0; --i) {
      if (fString[i] == c) return i + 1;
    }
  } else {
    for (int32 i = start - 1; i < fLength; ++i) {
      if (fString[i] == c) return i + 1;
    }
  }
  return 0;
}

int32 VString::FindRawString(const VString& pattern, int32 start) const {
  if (start < 1 || int64(fLength) - start + 1 < pattern.fLength) return 0;
  if (pattern.fLength == 0) return start;
  int32 found =
      FindRawString(fString + start - 1, fLength - start + 1, pattern.fString, pattern.fLength);
  return found == 0 ? 0 : start + found - 1;
}

int32 VString::FindRawString(const UniChar* text, int32 textLength, const UniChar* pattern,
                             int32 patternLength) {
  if (patternLength <= 0) return 1;
  if (textLength <= 0) return 0;
  return FindUnits(text, textLength, pattern, patternLength, RawEqual());
}

bool VString::BeginsWithRawString(const VString& s) const {
  if (s.fLength > fLength) return false;
  return std::memcmp(fString, s.fString, size_t(s.fLength) * sizeof(UniChar)) == 0;
}

bool VString::EndsWithRawString(const VString& s) const {
  if (s.fLength > fLength) return false;
  return std::memcmp(fString + fLength - s.fLength, s.fString,
                     size_t(s.fLength) * sizeof(UniChar)) == 0;
}

// The collated searches ask the collator of the current task's
// international settings. Without settings (none exist before the process
// makes them) units compare raw (diacritical set) or with ASCII letters
// folded (diacritical clear).

int32 VString::Find(const VString& pattern, int32 start, bool diacritical) const {
  // Starts outside 1 .. length + 1 are refused.
  if (start < 1 || start > fLength + 1) return 0;
  int32 textLength = fLength - start + 1;
  if (textLength == 0) return 0;
  if (pattern.fLength == 0) return start;
  int32 found;
  if (const VIntlMgr* intl = VTask::GetCurrentIntlManager(); intl != nullptr)
    found = intl->GetCollator()->FindString(fString + start - 1, textLength, pattern.fString,
                                            pattern.fLength, diacritical, nullptr);
  else
    found = FindUnitsFolded(fString + start - 1, textLength, pattern.fString, pattern.fLength,
                            diacritical);
  return found == 0 ? 0 : start + found - 1;
}

bool VString::BeginsWith(const VString& prefix, bool diacritical) const {
  if (prefix.fLength == 0) return true;
  if (const VIntlMgr* intl = VTask::GetCurrentIntlManager(); intl != nullptr) {
    // A collated match may be longer than the prefix ("ss" for "ß"): a
    // little more of the text is offered.
    int32 offered = int32(std::min<int64>(int64(prefix.fLength) + 16, fLength));
    return intl->GetCollator()->BeginsWithString(fString, offered, prefix.fString, prefix.fLength,
                                                 diacritical, nullptr);
  }
  if (prefix.fLength > fLength) return false;
  return EqualUnits(fString, prefix.fString, prefix.fLength, diacritical);
}

bool VString::EndsWith(const VString& suffix, bool diacritical) const {
  if (suffix.fLength == 0) return true;
  if (const VIntlMgr* intl = VTask::GetCurrentIntlManager(); intl != nullptr)
    return intl->GetCollator()->EndsWithString(fString, fLength, suffix.fString, suffix.fLength,
                                               diacritical, nullptr);
  if (suffix.fLength > fLength) return false;
  return EqualUnits(fString + fLength - suffix.fLength, suffix.fString, suffix.fLength,
                    diacritical);
}

double VString::SimilarToString(const VString& other) const {
  if (fLength == 0 || other.fLength == 0) return 0.0;
  // Longest common subsequence, one row at a time.
  std::vector<int32> previous(size_t(other.fLength) + 1, 0);
  std::vector<int32> current(size_t(other.fLength) + 1, 0);
  for (int32 i = 1; i <= fLength; ++i) {
    for (int32 j = 1; j <= other.fLength; ++j) {
      current[j] = fString[i - 1] == other.fString[j - 1] ? previous[j - 1] + 1
                                                          : std::max(previous[j], current[j - 1]);
    }
    std::swap(previous, current);
  }
  return double(previous[size_t(other.fLength)]) / double(fLength);
}

// ---------------------------------------------------------------------------
// Exchanging occurrences

int32 VString::ExchangeRawString(const VString& pattern, const VString& replacement, int32 start,
                                 int32 maxCount) {
  // An empty pattern occurs everywhere: nothing sensible to replace.
  if (maxCount < 1 || pattern.fLength == 0) return 0;
  if ((pattern.fString == fString || replacement.fString == fString) && fLength > 0) {
    VString ownPattern;
    VString ownReplacement;
    ownPattern.FromUniString(pattern.fString, pattern.fLength);
    ownReplacement.FromUniString(replacement.fString, replacement.fLength);
    return ExchangeRawString(ownPattern, ownReplacement, start, maxCount);
  }
  int32 first = FindRawString(pattern, start);
  if (first == 0) return 0;

  const int32 patternLength = pattern.fLength;
  const int32 replacementLength = replacement.fLength;
  const UniChar* rep = replacement.fString;
  auto findFrom = [&](int32 from) -> int32 {  // 0-based index or -1
    if (from > fLength - patternLength) return -1;
    int32 found = FindRawString(fString + from, fLength - from, pattern.fString, patternLength);
    return found == 0 ? -1 : from + found - 1;
  };

  int32 count = 0;
  if (replacementLength == patternLength) {
    if (!_EnsureSize(fLength, true)) return 0;
    int32 occurrence = first - 1;
    while (occurrence >= 0) {
      std::memcpy(fString + occurrence, rep, size_t(replacementLength) * sizeof(UniChar));
      if (++count == maxCount) break;
      occurrence = findFrom(occurrence + patternLength);
    }
    _SetLengthAndTerminate(fLength);
    return count;
  }

  if (replacementLength < patternLength) {
    if (!_EnsureSize(fLength, true)) return 0;
    int32 write = first - 1;
    int32 read = first - 1;
    int32 occurrence = first - 1;
    while (occurrence >= 0) {
      std::memmove(fString + write, fString + read, size_t(occurrence - read) * sizeof(UniChar));
      write += occurrence - read;
      std::memcpy(fString + write, rep, size_t(replacementLength) * sizeof(UniChar));
      write += replacementLength;
      read = occurrence + patternLength;
      if (++count == maxCount) break;
      occurrence = findFrom(read);
    }
    std::memmove(fString + write, fString + read, size_t(fLength - read) * sizeof(UniChar));
    _SetLengthAndTerminate(write + (fLength - read));
    return count;
  }

  // Growth: find every occurrence first, then move each piece once, from
  // the back.
  std::vector<int32> occurrences;
  occurrences.reserve(1024);
  for (int32 occurrence = first - 1; occurrence >= 0;) {
    occurrences.push_back(occurrence);
    if (int32(occurrences.size()) == maxCount) break;
    occurrence = findFrom(occurrence + patternLength);
  }
  count = int32(occurrences.size());
  int64 newLength = int64(fLength) + int64(count) * (replacementLength - patternLength);
  if (newLength > kMaxLength) {
    _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    return 0;
  }
  if (!_EnsureSize(int32(newLength), true)) return 0;
  int32 source = fLength;
  int32 dest = int32(newLength);
  for (int32 i = count - 1; i >= 0; --i) {
    int32 tailStart = occurrences[size_t(i)] + patternLength;
    int32 tailLength = source - tailStart;
    dest -= tailLength;
    std::memmove(fString + dest, fString + tailStart, size_t(tailLength) * sizeof(UniChar));
    dest -= replacementLength;
    std::memcpy(fString + dest, rep, size_t(replacementLength) * sizeof(UniChar));
    source = occurrences[size_t(i)];
  }
  _SetLengthAndTerminate(int32(newLength));
  return count;
}

void VString::Exchange(const VString& pattern, const VString& replacement, int32 start,
                       int32 maxCount, bool diacritical, VCollator* collator) {
  if (maxCount < 1 || pattern.fLength == 0 || start < 1 || start > fLength) return;
  if (collator == nullptr) {
    if (const VIntlMgr* intl = VTask::GetCurrentIntlManager(); intl != nullptr)
      collator = intl->GetCollator();
  }
  // Each occurrence with the length the collator matched (which may differ
  // from the pattern's); without a collator, raw or with ASCII letters
  // folded (see Find).
  int32 matched = pattern.fLength;
  auto findFrom = [&](int32 from) -> int32 {
    if (from >= fLength) return 0;
    if (collator == nullptr)
      return FindUnitsFolded(fString + from, fLength - from, pattern.fString, pattern.fLength,
                             diacritical);
    int32 at = collator->FindString(fString + from, fLength - from, pattern.fString,
                                    pattern.fLength, diacritical, &matched);
    return matched < 1 ? 0 : at;
  };
  int32 offset = start - 1;
  int32 found = findFrom(offset);
  if (found == 0) return;

  VString result;
  if (!result._EnsureSize(fLength, false)) return;
  result.AppendUniChars(fString, offset);
  int32 count = 0;
  int64 expected = fLength;
  while (found != 0 && count < maxCount) {
    int32 occurrence = offset + found - 1;
    result.AppendUniChars(fString + offset, occurrence - offset);
    result.AppendUniChars(replacement.fString, replacement.fLength);
    offset = occurrence + matched;
    expected += int64(replacement.fLength) - matched;
    ++count;
    found = findFrom(offset);
  }
  result.AppendUniChars(fString + offset, fLength - offset);
  if (result.fLength != expected) return;  // an append failed: keep the string as it was
  Swap(result);
}

void VString::Exchange(UniChar from, UniChar to, int32 start, int32 maxCount) {
  if (fLength == 0 || IsNull() || start < 1 || maxCount < 1) return;
  int32 first = FindUniChar(from, start, false);
  if (first == 0) return;
  if (!_EnsureSize(fLength, true)) return;
  int32 count = 0;
  for (int32 i = first - 1; i < fLength && count < maxCount; ++i) {
    if (fString[i] == from) {
      fString[i] = to;
      ++count;
    }
  }
  SetNotNullAndDirty();
}

// ---------------------------------------------------------------------------
// White space

void VString::RemoveWhiteSpaces(bool leading, bool trailing, int32* outLeading, int32* outTrailing,
                                VIntlMgr* intl, bool option) {
  // The settings' spaces when given; else white means space and tab.
  auto isWhite = [intl, option](UniChar c) {
    return intl != nullptr ? intl->IsSpace(c, option) : (c == 0x20 || c == 0x09);
  };
  int32 lead = 0;
  int32 trail = 0;
  if (leading) {
    while (lead < fLength && isWhite(fString[lead])) ++lead;
  }
  if (trailing) {
    while (trail < fLength - lead && isWhite(fString[fLength - 1 - trail])) ++trail;
  }
  if (outLeading != nullptr && leading) *outLeading = lead;
  if (outTrailing != nullptr && trailing) *outTrailing = trail;

  if (lead > 0) Remove(1, lead);
  int32 kept = fLength - trail;
  if (trailing && kept > 0 && IsHighSurrogate(fString[kept - 1])) --kept;
  if (kept < fLength) _CutTo(kept);
}

// ---------------------------------------------------------------------------
// Case

namespace {

void ChangeCase(VString& s, bool option, bool upper) {
  if (const VIntlMgr* intl = VTask::GetCurrentIntlManager(); intl != nullptr) {
    intl->ToUpperLowerCase(s, option, upper);
    return;
  }
  const UniChar first = upper ? u'a' : u'A';
  const UniChar last = upper ? u'z' : u'Z';
  const UniChar* text = s.GetCPointer();
  int32 length = s.GetLength();
  int32 i = 0;
  while (i < length && (text[i] < first || text[i] > last)) ++i;
  if (i == length) return;  // nothing to change: a shared buffer stays shared
  UniChar* units = s.GetCPointerForWrite();
  if (units == nullptr) return;
  for (; i < length; ++i) {
    if (units[i] >= first && units[i] <= last) units[i] = UniChar(units[i] ^ 0x20);
  }
  s.Validate(length);
}

}  // namespace

void VString::ToUpperCase(bool option) { ChangeCase(*this, option, true); }

void VString::ToLowerCase(bool option) { ChangeCase(*this, option, false); }

void VString::Decompose() {
  if (const VIntlMgr* intl = VTask::GetCurrentIntlManager())
    intl->NormalizeString(*this, kNormalizationDecompose);
}

void VString::Compose() {
  if (const VIntlMgr* intl = VTask::GetCurrentIntlManager())
    intl->NormalizeString(*this, kNormalizationCompose);
}

// ---------------------------------------------------------------------------
// Line ends

template <class T>
size_t VString::_ConvertCarriageReturns(T* text, size_t length, size_t capacity,
                                        ECarriageReturnMode mode, size_t* needed) {
  const T cr = T(kCR);
  const T lf = T(kLF);
  if (mode == kCRModeCR || mode == kCRModeLF) {
    const T end = mode == kCRModeCR ? cr : lf;
    size_t write = 0;
    for (size_t read = 0; read < length; ++read) {
      T unit = text[read];
      if (unit == cr) {
        text[write++] = end;
        if (read + 1 < length && text[read + 1] == lf) ++read;
      } else if (unit == lf) {
        text[write++] = end;
      } else {
        text[write++] = unit;
      }
    }
    if (needed != nullptr) *needed = length;
    return write;
  }
  if (mode != kCRModeCRLF) {
    if (needed != nullptr) *needed = length;
    return length;
  }

  // A line end is lone when it is a CR without its LF or an LF without its
  // CR; each one grows by a unit.
  size_t lone = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == cr && (i + 1 >= length || text[i + 1] != lf)) ++lone;
    if (text[i] == lf && (i == 0 || text[i - 1] != cr)) ++lone;
  }
  if (needed != nullptr) *needed = length + lone;
  size_t room = capacity > length ? capacity - length : 0;
  size_t expanded = std::min(lone, room);
  if (expanded == 0) return length;

  // From the back: the first `expanded` lone ends (in text order) become
  // CR LF. Lone ends are counted down instead of marked in the text, so
  // every other unit keeps its value.
  size_t loneIndex = lone;
  size_t write = length + expanded;
  T next = 0;
  bool hasNext = false;
  for (size_t i = length; i-- > 0;) {
    T unit = text[i];
    bool isLone =
        (unit == cr && (!hasNext || next != lf)) || (unit == lf && (i == 0 || text[i - 1] != cr));
    if (isLone && --loneIndex < expanded) {
      text[--write] = lf;
      text[--write] = cr;
    } else {
      text[--write] = unit;
    }
    next = unit;
    hasNext = true;
  }
  return length + expanded;
}

template size_t VString::_ConvertCarriageReturns<uint8>(uint8*, size_t, size_t, ECarriageReturnMode,
                                                        size_t*);
template size_t VString::_ConvertCarriageReturns<UniChar>(UniChar*, size_t, size_t,
                                                          ECarriageReturnMode, size_t*);
template size_t VString::_ConvertCarriageReturns<uint32>(uint32*, size_t, size_t,
                                                         ECarriageReturnMode, size_t*);

ECarriageReturnMode VString::GetCarriageReturnMode(ECarriageReturnMode fallback) const {
  for (int32 i = 0; i < fLength; ++i) {
    if (fString[i] == kLF) return kCRModeLF;
    if (fString[i] == kCR)
      return (i + 1 < fLength && fString[i + 1] == kLF) ? kCRModeCRLF : kCRModeCR;
  }
  return fallback;
}

void VString::ConvertCarriageReturns(ECarriageReturnMode mode) {
  if (mode != kCRModeCRLF && mode != kCRModeCR && mode != kCRModeLF) return;
  if (FindUniChar(kCR) == 0 && FindUniChar(kLF) == 0) return;
  if (!_EnsureSize(fLength, true)) return;
  size_t needed = 0;
  size_t length =
      _ConvertCarriageReturns(fString, size_t(fLength), size_t(fMaxLength), mode, &needed);
  if (needed > length) {
    fLength = int32(length);
    if (needed > size_t(kMaxLength)) {
      _ThrowError(ToolboxError(toolbox_error::kStringTooLong));
    } else if (_EnsureSize(int32(needed), true)) {
      length = _ConvertCarriageReturns(fString, length, size_t(fMaxLength), mode, &needed);
    }
  }
  _SetLengthAndTerminate(int32(length));
}

namespace {

template <class T>
void ConvertBufferUnits(VMemoryBuffer<>& buffer, ECarriageReturnMode mode) {
  if (buffer.GetDataSize() % sizeof(T) != 0) return;  // not whole units of this set
  size_t length = buffer.GetDataSize() / sizeof(T);
  size_t needed = 0;
  size_t result =
      VString::_ConvertCarriageReturns(static_cast<T*>(buffer.GetDataPtr()), length,
                                       buffer.GetAllocatedSize() / sizeof(T), mode, &needed);
  // Grow to the needed size, keeping the partly converted text as data,
  // and convert again: the pairs already written are left alone.
  if (needed > result && buffer.SetSize(result * sizeof(T)) &&
      buffer.SetAllocatedSize(needed * sizeof(T))) {
    result = VString::_ConvertCarriageReturns(static_cast<T*>(buffer.GetDataPtr()), result,
                                              buffer.GetAllocatedSize() / sizeof(T), mode, &needed);
  }
  // The (possibly partial) result always fits in the block it was written in.
  if (result * sizeof(T) != buffer.GetDataSize()) buffer.SetSize(result * sizeof(T));
}

}  // namespace

void VString::ConvertCarriageReturns(VMemoryBuffer<>& buffer, CharSet set,
                                     ECarriageReturnMode mode) {
  if (set == kCharSetUnknown || buffer.GetDataPtr() == nullptr) return;
  if (mode != kCRModeCRLF && mode != kCRModeCR && mode != kCRModeLF) return;
  if (set == kCharSetUTF16) {
    ConvertBufferUnits<UniChar>(buffer, mode);
  } else if (set == kCharSetUTF32) {
    ConvertBufferUnits<uint32>(buffer, mode);
  } else {
    ConvertBufferUnits<uint8>(buffer, mode);
  }
}

}  // namespace zeft
