#include "core/mac/XMacStringCompare.h"

#include <unicode/uvernum.h>

#include "core/VIntlMgr.h"
#include "core/mac/XMacIntlMgr.h"

namespace zeft {

namespace {

const UChar* AsUChar(const UniChar* text) { return reinterpret_cast<const UChar*>(text); }

// Accents and case are ignored at primary strength. Significant accents
// are the secondary strength; the case level adds case on top of it while
// width (a tertiary difference) stays ignored.
void ConfigureMode(UCollator* collator, bool diacritical, UErrorCode* status) {
  ucol_setAttribute(collator, UCOL_STRENGTH, diacritical ? UCOL_SECONDARY : UCOL_PRIMARY, status);
  ucol_setAttribute(collator, UCOL_CASE_LEVEL, diacritical ? UCOL_ON : UCOL_OFF, status);
}

}  // namespace

XMacStringCompare::XMacStringCompare(DialectCode dialect, VIntlMgr* intl)
    : fLocaleID(intl != nullptr ? intl->GetImpl().GetLocaleID()
                                : XMacIntlMgr::CreateLocaleID(dialect)) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* base = ucol_open(fLocaleID.c_str(), &status);
  if (U_FAILURE(status) || base == nullptr) return;
  UCollator* diacritical = ucol_clone(base, &status);
  if (U_FAILURE(status) || diacritical == nullptr) {
    ucol_close(base);
    return;
  }
  ConfigureMode(base, false, &status);
  ConfigureMode(diacritical, true, &status);
  if (U_FAILURE(status)) {
    ucol_close(base);
    ucol_close(diacritical);
    return;
  }
  fCollators[0] = base;
  fCollators[1] = diacritical;
}

XMacStringCompare::XMacStringCompare(const XMacStringCompare& other) : fLocaleID(other.fLocaleID) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* copies[2] = {nullptr, nullptr};
  for (int mode = 0; mode < 2; ++mode) {
    if (other.fCollators[mode] != nullptr)
      copies[mode] = ucol_clone(other.fCollators[mode], &status);
  }
  if (U_FAILURE(status) || copies[0] == nullptr || copies[1] == nullptr) {
    for (UCollator* copy : copies) {
      if (copy != nullptr) ucol_close(copy);
    }
    return;
  }
  fCollators[0] = copies[0];
  fCollators[1] = copies[1];
}

XMacStringCompare::~XMacStringCompare() {
  for (int mode = 0; mode < 2; ++mode) {
    if (fSearches[mode] != nullptr) usearch_close(fSearches[mode]);
    if (fCollators[mode] != nullptr) ucol_close(fCollators[mode]);
  }
}

UStringSearch* XMacStringCompare::_OpenSearch(const UniChar* text, int32 textLength,
                                              const UniChar* pattern, int32 patternLength,
                                              bool diacritical) {
  UCollator* collator = fCollators[diacritical];
  if (collator == nullptr) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  UStringSearch* search = usearch_openFromCollator(AsUChar(pattern), patternLength, AsUChar(text),
                                                   textLength, collator, nullptr, &status);
  if (U_SUCCESS(status) && diacritical) {
    // Candidates are checked for case afterwards (the search ignores the
    // case level), so overlapping ones must be seen too.
    usearch_setAttribute(search, USEARCH_OVERLAP, USEARCH_ON, &status);
  }
  if (U_FAILURE(status)) {
    if (search != nullptr) usearch_close(search);
    return nullptr;
  }
  return search;
}

UStringSearch* XMacStringCompare::_PrepareSearch(const UniChar* text, int32 textLength,
                                                 const UniChar* pattern, int32 patternLength,
                                                 bool diacritical) {
  UErrorCode status = U_ZERO_ERROR;
  UStringSearch*& search = fSearches[diacritical];
  // The search object keeps pointers to its pattern and text: the pattern
  // it gets is our own copy, the text is set again by every call.
  std::u16string& held = fSearchPatterns[diacritical];
  const bool samePattern = search != nullptr && held.size() == size_t(patternLength) &&
                           held.compare(0, held.size(), reinterpret_cast<const char16_t*>(pattern),
                                        size_t(patternLength)) == 0;
  if (search == nullptr) {
    held.assign(reinterpret_cast<const char16_t*>(pattern), size_t(patternLength));
    search = _OpenSearch(text, textLength, held.data(), patternLength, diacritical);
    if (search == nullptr) held.clear();
    return search;
  }
  usearch_setText(search, AsUChar(text), textLength, &status);
  if (!samePattern && U_SUCCESS(status)) {
    held.assign(reinterpret_cast<const char16_t*>(pattern), size_t(patternLength));
    usearch_setPattern(search, AsUChar(held.data()), patternLength, &status);
  }
  if (U_FAILURE(status)) {
    usearch_close(search);
    search = nullptr;
    held.clear();
    return nullptr;
  }
  return search;
}

int32 XMacStringCompare::FindString(const UniChar* text, int32 textLength, const UniChar* pattern,
                                    int32 patternLength, bool diacritical, int32* foundLength) {
  if (foundLength != nullptr) *foundLength = 0;
  if (_IsUnreadable(text, textLength) || _IsUnreadable(pattern, patternLength)) return 0;
  if (textLength == 0 || patternLength == 0) return 0;
  std::atomic<bool>& busy = fSearchBusy[diacritical];
  if (!busy.exchange(true, std::memory_order_acquire)) {
    UStringSearch* search = _PrepareSearch(text, textLength, pattern, patternLength, diacritical);
    const int32 position = search == nullptr ? 0
                                             : _FindMatch(search, text, textLength, pattern,
                                                          patternLength, diacritical, foundLength);
    busy.store(false, std::memory_order_release);
    return position;
  }
  UStringSearch* search = _OpenSearch(text, textLength, pattern, patternLength, diacritical);
  if (search == nullptr) return 0;
  const int32 position =
      _FindMatch(search, text, textLength, pattern, patternLength, diacritical, foundLength);
  usearch_close(search);
  return position;
}

int32 XMacStringCompare::_FindMatch(UStringSearch* search, const UniChar* text, int32 textLength,
                                    const UniChar* pattern, int32 patternLength, bool diacritical,
                                    int32* foundLength) {
  UErrorCode status = U_ZERO_ERROR;
  int32 index = usearch_first(search, &status);
  while (U_SUCCESS(status) && index != USEARCH_DONE) {
    const int32 length = usearch_getMatchedLength(search);
    if (!diacritical || EqualString(text + index, length, pattern, patternLength, true)) {
      if (foundLength != nullptr) *foundLength = length;
      return index + 1;
    }
    // Refused for case: go on behind this candidate's start. The search may
    // hand the same candidate back (from inside a surrogate pair, or an
    // overlapping one), so it must move forward.
    int32 next = USEARCH_DONE;
    for (int32 from = index + 1; from < textLength; ++from) {
      next = usearch_following(search, from, &status);
      if (U_FAILURE(status) || next == USEARCH_DONE || next > index) break;
    }
    if (next != USEARCH_DONE && next <= index) break;
    index = next;
  }
  return 0;
}

std::string XMacStringCompare::GetEngineVersion() const {
  std::string version = "ICU " U_ICU_VERSION;
  if (fCollators[0] != nullptr) {
    UVersionInfo info;
    char text[U_MAX_VERSION_STRING_LENGTH];
    ucol_getVersion(fCollators[0], info);
    u_versionToString(info, text);
    version += ", collation ";
    version += text;
  }
  return version;
}

}  // namespace zeft
