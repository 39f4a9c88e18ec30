// XMacStringCompare is the comparison engine of the system collator: it
// compares and searches UTF-16 text with the platform's locale-aware
// collation (ICU) for one dialect. Without `diacritical`, case, accents and
// character width are ignored; with it, accents and case count but width
// still does not (a full-width "A" equals "A" in both modes).
#pragma once

#include <atomic>
#include <string>

#include <unicode/ucol.h>
#include <unicode/usearch.h>

#include "core/DialectCode.h"
#include "core/VTypes.h"
#include "core/VValue.h"

namespace zeft {

class VIntlMgr;

class XMacStringCompare {
 public:
  // With a manager, its locale; without, a locale made for the dialect.
  XMacStringCompare(DialectCode dialect, VIntlMgr* intl);
  XMacStringCompare(const XMacStringCompare& other);
  XMacStringCompare& operator=(const XMacStringCompare&) = delete;
  virtual ~XMacStringCompare();

  // False when the platform could not make a collator for the locale.
  bool IsValid() const { return fCollators[0] != nullptr; }
  // The ICU locale id the comparisons follow ("" is ICU's root locale).
  const std::string& GetLocaleID() const { return fLocaleID; }

  // -1, 0 or 1; 0 when a text cannot be read (null with a length, or a
  // negative length). Inline: every collated comparison comes through here.
  CompareResult CompareString(const UniChar* a, int32 aLength, const UniChar* b, int32 bLength,
                              bool diacritical) {
    if (_IsUnreadable(a, aLength) || _IsUnreadable(b, bLength)) return 0;
    return _CompareCFString(a, aLength, b, bLength, diacritical);
  }
  bool EqualString(const UniChar* a, int32 aLength, const UniChar* b, int32 bLength,
                   bool diacritical) {
    return CompareString(a, aLength, b, bLength, diacritical) == 0;
  }
  // 1-based position of the first match of pattern in text, or 0;
  // foundLength (may be null) receives the matched length in text units,
  // or 0.
  int32 FindString(const UniChar* text, int32 textLength, const UniChar* pattern,
                   int32 patternLength, bool diacritical, int32* foundLength);

  // The version text of the comparison engine ("ICU 72.1, collation ...").
  std::string GetEngineVersion() const;

 private:
  // A text that cannot be handed to the platform.
  static bool _IsUnreadable(const UniChar* text, int32 length) {
    return length < 0 || (text == nullptr && length > 0);
  }
  // The platform comparison result.
  CompareResult _CompareCFString(const UniChar* a, int32 aLength, const UniChar* b, int32 bLength,
                                 bool diacritical) {
    UCollator* collator = fCollators[diacritical];
    if (collator == nullptr) return 0;
    return CompareResult(ucol_strcoll(collator, reinterpret_cast<const UChar*>(a), aLength,
                                      reinterpret_cast<const UChar*>(b), bLength));
  }
  // A new search object of one mode over pattern and text; null when it
  // cannot be made.
  UStringSearch* _OpenSearch(const UniChar* text, int32 textLength, const UniChar* pattern,
                             int32 patternLength, bool diacritical);
  // The kept search object of one mode, set to pattern and text; null when
  // it cannot be made. Only the caller that holds the mode's busy flag.
  UStringSearch* _PrepareSearch(const UniChar* text, int32 textLength, const UniChar* pattern,
                                int32 patternLength, bool diacritical);
  // The first match of the prepared search that the mode accepts.
  int32 _FindMatch(UStringSearch* search, const UniChar* text, int32 textLength,
                   const UniChar* pattern, int32 patternLength, bool diacritical,
                   int32* foundLength);

  std::string fLocaleID;
  // [0]: accents and case ignored; [1]: significant. Both exist or none.
  // Comparisons only read them, so any number of tasks may share them.
  UCollator* fCollators[2] = {nullptr, nullptr};
  // One kept search object per mode, for whoever takes its busy flag; a
  // search that finds the flag taken (the settings are shared by several
  // tasks) uses a search object of its own.
  UStringSearch* fSearches[2] = {nullptr, nullptr};
  std::atomic<bool> fSearchBusy[2] = {false, false};
  // The pattern each search object holds, to skip re-preparing it.
  std::u16string fSearchPatterns[2];
};

}  // namespace zeft
