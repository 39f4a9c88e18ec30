// The comparisons of VIntlMgr, handed to its collator, and the word and
// string searches built on the collator's search.
#include "core/VCollator.h"
#include "core/VCollator_system.h"
#include "core/VCompareOptions.h"
#include "core/VIntlMgr.h"

namespace zeft {

VIntlMgr::VIntlMgr(const VIntlMgr& other)
    : VObject(other),
      IRefCountable(),
      fImpl(other.fImpl),
      fKeywordBits(other.fKeywordBits),
      fCollator(other.fCollator != nullptr ? other.fCollator->Clone() : nullptr),
      fDialect(other.fDialect),
      fCollatorOptions(other.fCollatorOptions),
      fAMString(other.fAMString),
      fPMString(other.fPMString),
      fUseAmPm(other.fUseAmPm),
      fDecimalSeparator(other.fDecimalSeparator),
      fThousandsSeparator(other.fThousandsSeparator),
      fDateSeparator(other.fDateSeparator),
      fTimeSeparator(other.fTimeSeparator),
      fCurrencySymbol(other.fCurrencySymbol),
      fDateOrder(other.fDateOrder) {
  for (int32 i = 0; i < 4; ++i) {
    fDatePatterns[i] = other.fDatePatterns[i];
    fTimePatterns[i] = other.fTimePatterns[i];
  }
}

VIntlMgr::~VIntlMgr() {
  if (fCollator != nullptr) fCollator->Release();
}

void VIntlMgr::Reset() {
  if (fCollator != nullptr) fCollator->Reset();
}

bool VIntlMgr::_InitCollator(DialectCode collatorDialect, uint8 options) {
  if (fCollator == nullptr) {
    // The collator shares this manager's locale only when it follows the
    // same dialect.
    fCollator =
        VCollator_system::Create(collatorDialect, collatorDialect == fDialect ? this : nullptr);
    fCollatorOptions = options;
  }
  return fCollator != nullptr;
}

CompareResult VIntlMgr::CompareString(const UniChar* a, int32 aLength, const UniChar* b,
                                      int32 bLength, bool diacritical) const {
  return fCollator->CompareString(a, aLength, b, bLength, diacritical);
}

bool VIntlMgr::EqualString(const UniChar* a, int32 aLength, const UniChar* b, int32 bLength,
                           bool diacritical) const {
  return fCollator->EqualString(a, aLength, b, bLength, diacritical);
}

CompareResult VIntlMgr::CompareString_Like(const UniChar* text, int32 textLength,
                                           const UniChar* pattern, int32 patternLength,
                                           bool diacritical) const {
  return fCollator->CompareString_Like(text, textLength, pattern, patternLength, diacritical);
}

bool VIntlMgr::EqualString_Like(const UniChar* text, int32 textLength, const UniChar* pattern,
                                int32 patternLength, bool diacritical) const {
  return fCollator->EqualString_Like(text, textLength, pattern, patternLength, diacritical);
}

CompareResult VIntlMgr::CompareString(const UniChar* a, int32 aLength, const UniChar* b,
                                      int32 bLength, const VCompareOptions& options) const {
  if (options.IsLike())
    return fCollator->CompareString_Like(a, aLength, b, bLength, options.IsDiacritical());
  return fCollator->CompareString(a, aLength, b, bLength, options.IsDiacritical());
}

int32 VIntlMgr::FindString(const UniChar* text, int32 textLength, const UniChar* pattern,
                           int32 patternLength, bool diacritical, int32* foundLength) const {
  return fCollator->FindString(text, textLength, pattern, patternLength, diacritical, foundLength);
}

UniChar VIntlMgr::GetWildChar() const { return fCollator->GetWildChar(); }

void VIntlMgr::GetStringComparisonAlgorithmSignature(VString& out) const {
  fCollator->GetStringComparisonAlgorithmSignature(out);
}

bool VIntlMgr::FindWord(const VString& text, const VString& word,
                        const VCompareOptions& options) const {
  bool diacritical = options.IsDiacritical();
  UniChar wild = fCollator->GetWildChar();
  bool hasWild = false;
  for (int32 i = 0; i < word.GetLength(); ++i) hasWild = hasWild || word.GetCPointer()[i] == wild;
  if ((options.IsLike() && hasWild) || (fKeywordBits & 4) != 0) {
    std::vector<std::pair<int32, int32>> words;
    GetWordBoundariesWithOptions(text, words, fKeywordBits);
    for (const auto& [position, length] : words) {
      if (fCollator->EqualString_Like(text.GetCPointer() + position - 1, length, word.GetCPointer(),
                                      word.GetLength(), diacritical))
        return true;
    }
    return false;
  }
  if ((fKeywordBits & kKeywordAlphaNumeric) == 0 || word.IsEmpty()) return false;
  const UniChar* p = text.GetCPointer();
  int32 length = text.GetLength();
  int32 start = 0;  // 0-based start of the text still searched
  while (start < length) {
    int32 matched = 0;
    int32 found = fCollator->FindString(p + start, length - start, word.GetCPointer(),
                                        word.GetLength(), diacritical, &matched);
    if (found <= 0) return false;
    int32 first = start + found - 1;  // 0-based
    int32 end = first + std::max(matched, 1);
    bool deadBefore = first == 0 || _IsItaDeadChar(p[first - 1]);
    bool deadAfter = end >= length || _IsItaDeadChar(p[end]);
    if (deadBefore && deadAfter) return true;
    start = first + 1;
  }
  return false;
}

void VIntlMgr::FindStrings(const VString& text, const VString& pattern, EFindStringMode mode,
                           bool diacritical, std::vector<std::pair<int32, int32>>& found,
                           bool all) const {
  found.clear();
  if (pattern.IsEmpty() || text.IsEmpty()) return;
  std::vector<std::pair<int32, int32>> words;
  if (mode != kFindStringAnywhere) GetWordBoundariesWithOptions(text, words, fKeywordBits);
  // Whether a 1-based boundary lies strictly inside a word.
  auto insideWord = [&](int32 boundary) {
    for (const auto& [position, length] : words) {
      if (boundary > position && boundary < position + length) return true;
    }
    return false;
  };
  const UniChar* p = text.GetCPointer();
  int32 length = text.GetLength();
  int32 position = 1;
  while (position <= length) {
    int32 matched = 0;
    int32 at = fCollator->FindString(p + position - 1, length - position + 1, pattern.GetCPointer(),
                                     pattern.GetLength(), diacritical, &matched);
    if (at <= 0) break;
    int32 start = position + at - 1;
    int32 end = start + matched;
    bool take;
    switch (mode) {
      case kFindStringAnywhere:
        take = true;
        break;
      case kFindStringWholeWords:
        take = !insideWord(start) && !insideWord(end);
        break;
      case kFindStringWordStart:
        take = !insideWord(start);
        break;
      case kFindStringWordEnd:
        take = !insideWord(end);
        break;
      default:
        take = true;
        break;
    }
    if (take) {
      found.emplace_back(start, matched);
      if (!all) break;
    }
    // Go on just behind the match, and at least one unit on, so that a
    // match never repeats.
    position = std::max(end, start + 1);
  }
}

}  // namespace zeft
