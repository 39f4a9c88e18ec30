#include "core/VCollator.h"

#include <string>

namespace zeft {

namespace {

// Japanese kana: hiragana, the iteration marks, katakana, half-width kana.
bool IsKana(UniChar c) {
  return (c >= 0x3040 && c <= 0x3094) || (c >= 0x309D && c <= 0x309E) ||
         (c >= 0x30A1 && c <= 0x30FE) || (c >= 0xFF65 && c <= 0xFF9F);
}

// Control characters the ASCII LIKE scan skips; tab, line feed, vertical
// tab, form feed and carriage return take part.
bool IsSkippedControl(UniChar c) { return c < 9 || (c >= 14 && c <= 31) || c == 127; }

// The unit at or after `from` that the ASCII LIKE scan looks at (0: none).
UniChar NextScannedUnit(const UniChar* text, int32 from, int32 length) {
  while (from < length && IsSkippedControl(text[from])) ++from;
  return from < length ? text[from] : 0;
}

bool HasSkippedControl(const UniChar* text, int32 length) {
  for (int32 i = 0; i < length; ++i) {
    if (IsSkippedControl(text[i])) return true;
  }
  return false;
}

// The text without the control characters LIKE ignores.
std::u16string WithoutSkippedControls(const UniChar* text, int32 length) {
  std::u16string kept;
  kept.reserve(size_t(length));
  for (int32 i = 0; i < length; ++i) {
    if (!IsSkippedControl(text[i])) kept.push_back(text[i]);
  }
  return kept;
}

UniChar FoldASCIIUpper(UniChar c) { return (c >= u'a' && c <= u'z') ? UniChar(c - 0x20) : c; }

int32 FindUnit(const UniChar* text, int32 from, int32 length, UniChar c) {
  for (int32 i = from; i < length; ++i) {
    if (text[i] == c) return i;
  }
  return -1;
}

}  // namespace

UniChar VCollator::sDefaultWildChar = u'@';

VCollator::VCollator(DialectCode dialect)
    : fDialect(dialect), fWildChar(sDefaultWildChar), fOptions(kOptionDefault) {}

VCollator::VCollator(const VCollator& other)
    : VObject(other),
      IRefCountable(other),
      fDialect(other.fDialect),
      fWildChar(other.fWildChar),
      fOptions(other.fOptions) {}

VCollator::~VCollator() = default;

void VCollator::SetWildChar(UniChar wildChar) { fWildChar = wildChar; }

void VCollator::Reset() { SetWildChar(sDefaultWildChar); }

bool VCollator::BeginsWithString(const UniChar* text, int32 textLength, const UniChar* pattern,
                                 int32 patternLength, bool diacritical, int32* foundLength) {
  if (patternLength <= 0) {
    if (foundLength != nullptr) *foundLength = 0;
    return true;
  }
  int32 length = 0;
  const bool begins =
      FindString(text, textLength, pattern, patternLength, diacritical, &length) == 1;
  if (foundLength != nullptr) *foundLength = begins ? length : 0;
  return begins;
}

int32 VCollator::_FindLastOccurrence(const UniChar* text, int32 textLength, const UniChar* pattern,
                                     int32 patternLength, bool diacritical, int32* foundLength) {
  int32 last = 0;
  int32 lastLength = 0;
  int32 skipped = 0;  // units of text before the current search
  for (;;) {
    int32 length = 0;
    const int32 position = FindString(text + skipped, textLength - skipped, pattern, patternLength,
                                      diacritical, &length);
    if (position <= 0) break;
    last = skipped + position;
    lastLength = length;
    // Search again behind the first unit of this occurrence.
    skipped = last;
    if (skipped >= textLength) break;
  }
  if (foundLength != nullptr) *foundLength = lastLength;
  return last;
}

bool VCollator::EndsWithString(const UniChar* text, int32 textLength, const UniChar* pattern,
                               int32 patternLength, bool diacritical, int32* foundLength) {
  if (foundLength != nullptr) *foundLength = 0;
  if (patternLength <= 0) return true;
  const int32 position =
      _FindLastOccurrence(text, textLength, pattern, patternLength, diacritical, nullptr);
  if (position == 0) return false;
  const int32 tailLength = textLength - (position - 1);
  const bool ends =
      EqualString(text + (position - 1), tailLength, pattern, patternLength, diacritical);
  if (ends && foundLength != nullptr) *foundLength = tailLength;
  return ends;
}

CompareResult VCollator::CompareString_Like(const UniChar* text, int32 textLength,
                                            const UniChar* pattern, int32 patternLength,
                                            bool diacritical) {
  if (textLength < 0 || text == nullptr) textLength = 0;
  if (patternLength < 0 || pattern == nullptr) patternLength = 0;
  // The controls EqualString_Like skips are ignored here too, so that the
  // two answer alike: "" matches "\0", and a wild character followed only
  // by controls ends the pattern.
  if (HasSkippedControl(text, textLength) || HasSkippedControl(pattern, patternLength)) {
    const std::u16string keptText = WithoutSkippedControls(text, textLength);
    const std::u16string keptPattern = WithoutSkippedControls(pattern, patternLength);
    return CompareString_Like(keptText.data(), int32(keptText.size()), keptPattern.data(),
                              int32(keptPattern.size()), diacritical);
  }
  if ((fOptions & kOptionWildCharOnlyAtEnds) != 0)
    return _CompareString_Like_IgnoreWildCharInMiddle(text, textLength, pattern, patternLength,
                                                      diacritical);
  return _CompareString_Like_SupportWildCharInMiddle(text, textLength, pattern, patternLength,
                                                     diacritical);
}

CompareResult VCollator::_CompareString_Like_IgnoreWildCharInMiddle(const UniChar* text,
                                                                    int32 textLength,
                                                                    const UniChar* pattern,
                                                                    int32 patternLength,
                                                                    bool diacritical) {
  const UniChar wild = fWildChar;
  const bool wildFirst = patternLength > 0 && pattern[0] == wild;
  const bool wildLast = patternLength > 0 && pattern[patternLength - 1] == wild;
  if (!wildFirst && !wildLast)
    return CompareString(text, textLength, pattern, patternLength, diacritical);

  const CompareResult mismatch = textLength > patternLength ? 1 : -1;
  if (wildFirst && wildLast) {
    if (patternLength <= 2) return 0;
    return FindString(text, textLength, pattern + 1, patternLength - 2, diacritical, nullptr) != 0
               ? 0
               : mismatch;
  }
  if (wildLast) {
    if (BeginsWithString(text, textLength, pattern, patternLength - 1, diacritical, nullptr))
      return 0;
    return CompareString(text, textLength, pattern, patternLength - 1, diacritical);
  }
  return EndsWithString(text, textLength, pattern + 1, patternLength - 1, diacritical, nullptr)
             ? 0
             : mismatch;
}

CompareResult VCollator::_CompareString_Like_SupportWildCharInMiddle(const UniChar* text,
                                                                     int32 textLength,
                                                                     const UniChar* pattern,
                                                                     int32 patternLength,
                                                                     bool diacritical) {
  if (patternLength <= 0) return CompareString(text, textLength, pattern, 0, diacritical);
  const UniChar wild = fWildChar;
  int32 t = 0;  // text cursor
  int32 p = 0;  // pattern cursor

  // A leading literal segment must start the text.
  if (pattern[0] != wild) {
    const int32 nextWild = FindUnit(pattern, 0, patternLength, wild);
    if (nextWild < 0) return CompareString(text, textLength, pattern, patternLength, diacritical);
    int32 matched = 0;
    if (!BeginsWithString(text, textLength, pattern, nextWild, diacritical, &matched))
      return CompareString(text, textLength, pattern, nextWild, diacritical);
    t = matched;
    p = nextWild;
  }

  for (;;) {
    // At a run of wild characters.
    while (p < patternLength && pattern[p] == wild) ++p;
    if (p == patternLength) return 0;
    const int32 nextWild = FindUnit(pattern, p, patternLength, wild);
    if (nextWild >= 0) {
      // A middle segment: its first occurrence in the rest of the text.
      int32 matched = 0;
      const int32 position =
          FindString(text + t, textLength - t, pattern + p, nextWild - p, diacritical, &matched);
      if (position == 0) return -1;
      t += position - 1 + matched;
      p = nextWild;
      continue;
    }
    // The last segment must end the text.
    const int32 segmentLength = patternLength - p;
    const int32 position = _FindLastOccurrence(text + t, textLength - t, pattern + p, segmentLength,
                                               diacritical, nullptr);
    if (position == 0) return -1;
    const int32 tail = t + position - 1;
    return CompareString(text + tail, textLength - tail, pattern + p, segmentLength, diacritical) ==
                   0
               ? 0
               : -1;
  }
}

bool VCollator::EqualString_Like(const UniChar* text, int32 textLength, const UniChar* pattern,
                                 int32 patternLength, bool diacritical) {
  if (textLength < 0 || text == nullptr) textLength = 0;
  if (patternLength < 0 || pattern == nullptr) patternLength = 0;
  const UniChar wild = fWildChar;
  const bool wildOnlyAtEnds = (fOptions & kOptionWildCharOnlyAtEnds) != 0;
  auto whole = [&]() {
    return CompareString_Like(text, textLength, pattern, patternLength, diacritical) == 0;
  };
  // The pattern's first and last units are those that are not skipped.
  int32 firstUnit = 0;
  while (firstUnit < patternLength && IsSkippedControl(pattern[firstUnit])) ++firstUnit;
  int32 lastUnit = patternLength - 1;
  while (lastUnit > firstUnit && IsSkippedControl(pattern[lastUnit])) --lastUnit;

  int32 t = 0;
  int32 p = 0;
  for (;;) {
    while (t < textLength && IsSkippedControl(text[t])) ++t;
    while (p < patternLength && IsSkippedControl(pattern[p])) ++p;

    if (p == patternLength) {
      if (t == textLength) return true;
      return text[t] < 127 ? false : whole();
    }
    if (t == textLength) {
      // Only wild characters may remain. When they count only at the ends,
      // a run of them is not a wild run: the full rule decides.
      for (int32 q = p; q < patternLength; ++q) {
        const UniChar c = pattern[q];
        if (IsSkippedControl(c)) continue;
        if (c == wild) {
          if (wildOnlyAtEnds && q != lastUnit) return whole();
          continue;
        }
        return c < 127 ? false : whole();
      }
      return true;
    }

    const UniChar tc = text[t];
    const UniChar pc = pattern[p];
    if (pc == wild && p == lastUnit) return true;

    const bool middleWild = pc == wild && p != firstUnit;  // the last unit was handled above
    const bool literalWild = middleWild && wildOnlyAtEnds;
    // An ASCII unit followed by a non-ASCII one may be the base of a
    // combined character (a letter and its accents), which only the
    // collator can weigh: it takes over from that unit on.
    const bool special = tc > 127 || pc > 127 || tc == u'^' || tc == u'`' || pc == u'^' ||
                         pc == u'`' || (pc == wild && !literalWild) ||
                         NextScannedUnit(text, t + 1, textLength) > 127 ||
                         NextScannedUnit(pattern, p + 1, patternLength) > 127;
    if (special) {
      // A middle wild character that is literal would become the first
      // unit of the rest of the pattern, where it would count: take the
      // whole strings then.
      if (literalWild) return whole();
      return CompareString_Like(text + t, textLength - t, pattern + p, patternLength - p,
                                diacritical) == 0;
    }

    const bool same = diacritical ? tc == pc : FoldASCIIUpper(tc) == FoldASCIIUpper(pc);
    if (!same) return false;
    ++t;
    ++p;
  }
}

bool VCollator::IsPatternCompatibleWithDichotomyAndDiacritics(const UniChar* pattern,
                                                              int32 length) const {
  if (pattern == nullptr || length <= 0) return true;
  const int32 wildAt = FindUnit(pattern, 0, length, fWildChar);
  if (wildAt < 0) return true;
  if (wildAt != length - 1) return false;
  for (int32 i = 0; i < length - 1; ++i) {
    if (IsKana(pattern[i])) return false;
  }
  return true;
}

}  // namespace zeft
