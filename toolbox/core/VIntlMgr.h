// VIntlMgr holds the international settings of one dialect: its language
// codes and the conversions between dialect codes and language tags, its
// collator, its separators, symbols and date patterns, and its character,
// case and word services. One serves the process; each task carries its own.
#pragma once

#include <utility>
#include <vector>

#include "core/DialectCode.h"
#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "core/mac/XMacIntlMgr.h"

namespace zeft {

class VCollator;
class VCompareOptions;
class VDuration;
class VFile;
class VFilePath;
class VFolder;
class VTime;

// How FindStrings filters matches against the text's words.
enum EFindStringMode : int32 {
  kFindStringWholeWords = 3,  // the match covers whole words
  kFindStringAnywhere = 4,    // every match
  kFindStringWordStart = 5,   // the match starts a word
  kFindStringWordEnd = 6,     // the match ends a word
};

// Unicode normalisation forms asked of NormalizeString.
enum NormalizationMode : int32 {
  kNormalizationDecompose = 2,
  kNormalizationCompose = 4,
};

// The order of month, day and year in the short date pattern.
enum EDateOrder : uint32 {
  kDateOrderMDY = 0,
  kDateOrderDMY = 1,
  kDateOrderYMD = 2,
  kDateOrderMYD = 3,
  kDateOrderDYM = 4,
  kDateOrderYDM = 5,
};

// One run of text of a single direction.
class VBidiRun : public VObject {
 public:
  VBidiRun(int32 first, int32 length, int32 level)
      : fFirst(first), fLength(length), fLevel(level) {}

  int32 fFirst;  // 0-based
  int32 fLength;
  int32 fReserved = 0;
  int32 fLevel;  // 0 left to right, 1 right to left
};

class VIntlMgr : public VObject, public IRefCountable {
 public:
  // Keyword algorithm bits: bit 0 is the alphanumeric word breaker.
  static constexpr uint32 kKeywordAlphaNumeric = 1;

  // ---- Creation

  // Settings for `dialect` whose collator follows `collatorDialect` (0, -1
  // and -2 mean the system's dialect; unknown sub-languages fall back to
  // the language, unknown languages to 1033). One reference for the
  // caller; null after pushing toolbox error 305.
  static VIntlMgr* Create(DialectCode dialect, DialectCode collatorDialect = kDialectSystem,
                          uint8 options = 1);
  VIntlMgr(DialectCode dialect, uint32 keywordBits);
  // Copies the settings; the collator is cloned, the platform part reloads.
  VIntlMgr(const VIntlMgr& other);
  VIntlMgr& operator=(const VIntlMgr&) = delete;
  ~VIntlMgr() override;

  // A copy made by the copy constructor, one reference for the caller.
  VIntlMgr* Clone() const;
  // Puts the collator back to its defaults.
  void Reset();
  // Start-up hook of the international settings.
  static bool Init();
  // Shut-down hook: the ICU objects are owned by their managers.
  static void ICU_Cleanup();
  // Creates the collator when there is none; whether one exists.
  bool _InitCollator(DialectCode collatorDialect, uint8 options);

  // The process's settings, which tasks without settings of their own use
  // (VTask::GetCurrentIntlManager). Set retains the new settings and
  // releases the old; Get lends them (null when none).
  static void SetProcessDefault(VIntlMgr* intl);
  static VIntlMgr* GetProcessDefault();

  DialectCode GetDialectCode() const { return fDialect; }
  VCollator* GetCollator() const { return fCollator; }
  uint8 GetCollatorOptions() const { return fCollatorOptions; }
  uint32 GetKeywordAlgorithmBits() const { return fKeywordBits; }
  const XMacIntlMgr& GetImpl() const { return fImpl; }

  // ---- Dialects and language tags

  static DialectCode ResolveDialectCode(DialectCode dialect);
  static bool IsDialectCode(DialectCode dialect);
  static bool IsRightToLeftDialect(DialectCode dialect);

  static const char* GetISO6391LanguageCode(DialectCode dialect);
  static bool GetISO6391LanguageCode(DialectCode dialect, VString& out);
  static bool GetISO6392LanguageCode(DialectCode dialect, VString& out);
  static bool GetISOLanguageName(DialectCode dialect, VString& out);
  static const char* GetISO3166RegionCode(DialectCode dialect);
  static bool GetISO3166RegionCode(DialectCode dialect, VString& out);
  static bool GetRFC3066BisSubTagRegionCode(DialectCode dialect, VString& out);
  // "en-US", "zh-TW", "fr".
  static bool GetBCP47LanguageCode(DialectCode dialect, VString& out);
  // "en", "en-gb", "zh_Hant" (with '_').
  static bool GetRFC3066BisLanguageCodeWithDialectCode(DialectCode dialect, VString& out,
                                                       char separator = '-');

  static bool GetDialectCodeWithRFC3066BisLanguageCode(const VString& tag, DialectCode& code,
                                                       bool fallBackToLanguage = true,
                                                       bool primaryOnly = false);
  static bool GetDialectCodeWithRFC3066BisLanguageCode(const char* language, const char* region,
                                                       DialectCode& code,
                                                       bool fallBackToLanguage = true,
                                                       bool primaryOnly = false);
  static bool GetDialectCodeWithISOLanguageName(const VString& name, DialectCode& code);
  // 4 equal, 3 a has a region and b none, 2 the reverse, 1 same language
  // with two regions, 0 no match, -1 a tag not recognised.
  static int32 Compare2RFC3066LanguageCodes(const VString& a, const VString& b);

  static DialectCode GetSystemUIDialectCode();
  static void GetSystemUIDialectCodes(std::vector<DialectCode>& codes);
  static bool IsSystemUIDialectIdeographic();
  static void GetAllDialects(std::vector<DialectCode>& codes);
  static void GetDialectsHavingCollator(std::vector<std::pair<VString, DialectCode>>& dialects);
  // No localized names are kept: false, `out` unchanged.
  static bool GetLocalizedLanguageName(DialectCode dialect, VString& out);
  static bool GetLocalizedLanguageNameFromBCP47(const VString& tag, VString& out);
  static DialectCode MAC_LanguageCodeToDialectCode(int32 macLanguage);
  static int32 DialectCodeToScriptCode(DialectCode dialect);

  // Localization folders ("<name>.lproj") of a dialect: the candidate
  // names in the order they are tried ('en-gb', 'en_gb', "en", 'en_GB',
  // "English"), each once.
  static void GetLocalizationFolderNames(DialectCode dialect, std::vector<VString>& names);
  // The existing candidate folders under the POSIX folder `folder`, names
  // matched without ASCII case, appended to `found` as POSIX paths; true
  // when `found` is not empty afterwards.
  static bool GetLocalizationFoldersWithDialect(DialectCode dialect, const VString& folder,
                                                std::vector<VString>& found);
  // The POSIX path of the first existing file `fileName` in the
  // localization folders of the dialect; false (path cleared) when none.
  static bool GetLocalizationFilePath(const VString& folder, const VString& fileName,
                                      DialectCode dialect, VString& path);
  // The same two over folder paths (VIntlMgrFilePaths.cpp, in the file
  // layer): false for an invalid or non-folder path.
  static bool GetLocalizationFoldersWithDialect(DialectCode dialect, const VFilePath& folder,
                                                std::vector<VFilePath>& found);
  static bool GetLocalizationFilePath(const VFilePath& folder, const VString& fileName,
                                      DialectCode dialect, VFilePath& path);
  // The same as folder objects (each retained), appended to `found`.
  static bool GetLocalizationFoldersWithDialect(DialectCode dialect, const VFilePath& folder,
                                                std::vector<VRefPtr<VFolder>>& found);
  // The first existing file `fileName` in the localization folders of the
  // dialect (the caller releases it); null and `found` false when none.
  static VFile* RetainLocalizationFile(const VFilePath& folder, const VString& fileName,
                                       DialectCode dialect, bool* found);

  // ---- Date, time and number formats

  const VString& GetAMString() const { return fAMString; }
  const VString& GetPMString() const { return fPMString; }
  bool UseAmPm() const { return fUseAmPm != 0; }
  const VString& GetDecimalSeparator() const { return fDecimalSeparator; }
  const VString& GetThousandsSeparator() const { return fThousandsSeparator; }
  const VString& GetDateSeparator() const { return fDateSeparator; }
  const VString& GetTimeSeparator() const { return fTimeSeparator; }
  const VString& GetCurrencySymbol() const { return fCurrencySymbol; }
  // Style 0 short to 3 full; an empty string for another style.
  const VString& GetDatePattern(int32 style) const;
  const VString& GetTimePattern(int32 style) const;
  EDateOrder GetDateOrder() const { return EDateOrder(fDateOrder); }

  void FormatDate(const DateTimeFields& utc, VString& out, EOSFormats style, bool useUTC) const {
    fImpl.FormatDate(utc, out, style, useUTC);
  }
  void FormatTime(const DateTimeFields& utc, VString& out, EOSFormats style, bool useUTC) const {
    fImpl.FormatTime(utc, out, style, useUTC);
  }
  void FormatDuration(int64 milliseconds, VString& out, EOSFormats style) const {
    fImpl.FormatDuration(milliseconds, out, style);
  }
  // The same for time and duration values (a null time or duration gives
  // an empty text).
  void FormatDate(const VTime& time, VString& out, EOSFormats style, bool useUTC) const;
  void FormatTime(const VTime& time, VString& out, EOSFormats style, bool useUTC) const;
  void FormatDuration(const VDuration& duration, VString& out, EOSFormats style) const;
  // Month 1 to 12, weekday 0 (Sunday) to 6; out of range clears `out`.
  bool GetMonthName(int32 month, bool abbreviated, VString& out) const;
  bool GetWeekDayName(int32 day, bool abbreviated, VString& out) const;

  // Formats date and time fields (already in the wanted zone) with a
  // pattern of repeated letters ("dd/MM/yyyy HH:mm:ss"). `monthName`, when
  // given, replaces the month name.
  void FormatDateTimeWithPattern(const DateTimeFields& fields, const VString& pattern,
                                 const VString* monthName, VString& result) const;
  // The same for a time value, in UTC or in the system's time zone.
  void FormatDateTimeWithPattern(const VTime& time, const VString& pattern, bool useUTC,
                                 const VString* monthName, VString& result) const;

  // Fills the symbols, separators, patterns and date order from the locale.
  void _InitLocaleVariables();
  // The scans of a time and of a short date pattern.
  static void ScanTimePattern(const VString& pattern, bool& usesAmPm, VString& timeSeparator);
  static void ScanDatePattern(const VString& pattern, EDateOrder& order, VString& dateSeparator);

  // ---- Characters, case and words

  bool IsAlpha(UniChar c) const;
  bool IsDigit(UniChar c) const;
  bool IsPunctuation(UniChar c) const;
  bool IsSpace(UniChar c, bool unused = false) const;
  bool IsUpper(UniChar) const { return false; }
  bool IsLower(UniChar) const { return false; }
  bool IsSymbol32(uint32) const { return false; }
  static int32 CharType(uint32) { return 0; }
  int32 CharDigitValue(UniChar c) const { return (c >= '0' && c <= '9') ? int32(c - '0') : -1; }
  // Membership in a range table: count, midpoint, then (first, last) pairs.
  static bool _CharTest(UniChar c, const uint16* table);
  // Class of a Mac Roman byte (kinds 0 to 5).
  static bool IsAMacCharacter(uint8 c, uint8 kind);
  // A range table of the characters whose byte in `classBits` (65536
  // entries) has a bit of `mask`; a block from the memory manager that the
  // caller frees with VMemory::DisposePtr, or null.
  static uint16* _FillOneRangesArray(const uint8* classBits, uint8 mask);
  // The built-in tables (letters, digits, punctuation, spaces).
  static const uint16* GetLetterTable();
  static const uint16* GetDigitTable();
  static const uint16* GetPunctuationTable();
  static const uint16* GetSpaceTable();

  // The string becomes its upper-case (`upper`) or lower-case form; the
  // result may be longer than the source ('straße' -> 'STRASSE').
  void ToUpperLowerCase(VString& text, bool unused, bool upper) const;
  // Leaves the string as it is.
  void NormalizeString(VString&, NormalizationMode) const {}

  // The words of the text as (1-based position, length); false without
  // the alphanumeric breaker (bit 0 of `options`).
  bool GetWordBoundariesWithOptions(const VString& text,
                                    std::vector<std::pair<int32, int32>>& words,
                                    uint32 options) const;
  // Whether `word` occurs in `text` as a whole word.
  bool FindWord(const VString& text, const VString& word, const VCompareOptions& options) const;
  // The matches of `pattern` in `text` as (1-based position, length).
  void FindStrings(const VString& text, const VString& pattern, EFindStringMode mode,
                   bool diacritical, std::vector<std::pair<int32, int32>>& found, bool all) const;
  static bool _SplitWordRangeOnDot(const VString& text, int32 position, size_t length,
                                   std::vector<std::pair<int32, int32>>& out, bool keepDots);
  static bool _HasApostropheSecondFollowedByVowel(const VString& text, int32 position,
                                                  int32 length);
  // Below U+0020, or neither a letter nor a digit.
  static bool _IsItaDeadChar(UniChar c);
  void AdjustUniCharPosToCharacterBoundary(const UniChar*, size_t, int32&, bool) const {}

  // Bidirectional layout is not done: one run of the given direction.
  bool TextLogicalToVisual(VString& text, int32 direction) const;
  int32 GetBidiRuns(const UniChar* text, int32 length, std::vector<VBidiRun>& runs,
                    std::vector<int32>& visualOrder, int32 direction,
                    bool ignoreTrailingReturn) const;

  // ---- Collation (through the collator)

  CompareResult CompareString(const UniChar* a, int32 aLength, const UniChar* b, int32 bLength,
                              bool diacritical) const;
  bool EqualString(const UniChar* a, int32 aLength, const UniChar* b, int32 bLength,
                   bool diacritical) const;
  CompareResult CompareString_Like(const UniChar* text, int32 textLength, const UniChar* pattern,
                                   int32 patternLength, bool diacritical) const;
  bool EqualString_Like(const UniChar* text, int32 textLength, const UniChar* pattern,
                        int32 patternLength, bool diacritical) const;
  CompareResult CompareString(const UniChar* a, int32 aLength, const UniChar* b, int32 bLength,
                              const VCompareOptions& options) const;
  // The 1-based position of `pattern` in `text` (0 when absent), its
  // matched length in `foundLength` (may be null).
  int32 FindString(const UniChar* text, int32 textLength, const UniChar* pattern,
                   int32 patternLength, bool diacritical, int32* foundLength) const;
  UniChar GetWildChar() const;
  void GetStringComparisonAlgorithmSignature(VString& out) const;
  // "AlphaNum" for the alphanumeric breaker.
  void GetKewordAlgorithmSignature(VString& out) const;

  // Copies bytes only when both character sets are the same.
  static bool DebugConvertString(void* source, int32 sourceBytes, CharSet sourceSet, void* target,
                                 int32& targetBytes, CharSet targetSet);

  using VObject::DebugDump;
  CharSet DebugDump(char* buffer, int& size) const override;

 private:
  XMacIntlMgr fImpl;
  uint32 fKeywordBits;
  VCollator* fCollator = nullptr;
  DialectCode fDialect;
  uint8 fCollatorOptions = 0;
  VString fAMString;
  VString fPMString;
  uint8 fUseAmPm = 0;
  VString fDecimalSeparator;
  VString fThousandsSeparator;
  VString fDateSeparator;
  VString fTimeSeparator;
  VString fCurrencySymbol;
  VString fDatePatterns[4];
  VString fTimePatterns[4];
  uint32 fDateOrder = kDateOrderMDY;
};

}  // namespace zeft
