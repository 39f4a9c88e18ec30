// VCollator compares, equates and searches UTF-16 text under the rules of
// one dialect, and matches text against LIKE patterns in which one wild
// character stands for any run of characters. Every collated string
// comparison of the toolbox ends here, through the intl manager that owns
// the collator. Reference counted; used by the task of its intl manager,
// without a lock.
#pragma once

#include "core/DialectCode.h"
#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VValue.h"

namespace zeft {

class VString;

class VCollator : public VObject, public IRefCountable {
 public:
  // Set by the constructors; read by no operation.
  static constexpr uint16 kOptionDefault = 1;
  // Set: a wild character counts only as the first or the last unit of a
  // pattern (elsewhere it is an ordinary character). Clear: anywhere.
  static constexpr uint16 kOptionWildCharOnlyAtEnds = 2;

  // The wild character of new collators and of Reset: "@".
  static UniChar sDefaultWildChar;

  explicit VCollator(DialectCode dialect);
  VCollator(const VCollator& other);
  VCollator& operator=(const VCollator&) = delete;
  ~VCollator() override;

  // With `diacritical`, accents and case are significant; without, they
  // are not. Lengths are in UTF-16 units, positions 1-based (0: not found).

  // -1, 0 or 1.
  virtual CompareResult CompareString(const UniChar* text, int32 textLength, const UniChar* other,
                                      int32 otherLength, bool diacritical) = 0;
  virtual bool EqualString(const UniChar* text, int32 textLength, const UniChar* other,
                           int32 otherLength, bool diacritical) = 0;
  // Position of the first occurrence of pattern in text; foundLength (may
  // be null) receives the length of the matched text, which may differ
  // from the pattern's.
  virtual int32 FindString(const UniChar* text, int32 textLength, const UniChar* pattern,
                           int32 patternLength, bool diacritical, int32* foundLength) = 0;
  // Position of the last occurrence (occurrences may overlap).
  virtual int32 ReversedFindString(const UniChar* text, int32 textLength, const UniChar* pattern,
                                   int32 patternLength, bool diacritical, int32* foundLength) = 0;
  // Whether text starts (ends) with pattern; foundLength receives the
  // length of the text that matched.
  virtual bool BeginsWithString(const UniChar* text, int32 textLength, const UniChar* pattern,
                                int32 patternLength, bool diacritical, int32* foundLength);
  virtual bool EndsWithString(const UniChar* text, int32 textLength, const UniChar* pattern,
                              int32 patternLength, bool diacritical, int32* foundLength);

  // A new collator with the same settings, owned by the caller.
  virtual VCollator* Clone() const = 0;

  virtual void SetWildChar(UniChar wildChar);
  UniChar GetWildChar() const { return fWildChar; }

  // Names the comparison algorithm, so that stored orders made with
  // another one can be recognised.
  virtual void GetStringComparisonAlgorithmSignature(VString& signature) const = 0;

  // Back to the default wild character; the options are kept.
  virtual void Reset();

  uint16 GetOptions() const { return fOptions; }
  void SetOptions(uint16 options) { fOptions = options; }
  DialectCode GetDialectCode() const { return fDialect; }

  // LIKE ignores the control characters below 9, from 14 to 31 and 127 in
  // both text and pattern (tab, line feed, vertical tab, form feed and
  // carriage return count), so that the two calls below always agree.

  // 0 when text matches the LIKE pattern, else -1 or 1.
  CompareResult CompareString_Like(const UniChar* text, int32 textLength, const UniChar* pattern,
                                   int32 patternLength, bool diacritical);
  // Whether text matches the LIKE pattern, that is, whether
  // CompareString_Like gives 0; plain ASCII is matched without the
  // collator.
  bool EqualString_Like(const UniChar* text, int32 textLength, const UniChar* pattern,
                        int32 patternLength, bool diacritical);

  // Whether a sorted index can answer the pattern by dichotomy: no wild
  // character, or only a trailing one after text without Japanese kana.
  bool IsPatternCompatibleWithDichotomyAndDiacritics(const UniChar* pattern, int32 length) const;

 protected:
  // LIKE with wild characters only at the ends of the pattern.
  virtual CompareResult _CompareString_Like_IgnoreWildCharInMiddle(const UniChar* text,
                                                                   int32 textLength,
                                                                   const UniChar* pattern,
                                                                   int32 patternLength,
                                                                   bool diacritical);
  // LIKE with wild characters anywhere in the pattern.
  virtual CompareResult _CompareString_Like_SupportWildCharInMiddle(const UniChar* text,
                                                                    int32 textLength,
                                                                    const UniChar* pattern,
                                                                    int32 patternLength,
                                                                    bool diacritical);

  // Start of the last occurrence of pattern in text (1-based; 0 if none)
  // and its length, found by searching again behind the first unit of
  // each occurrence (occurrences may overlap).
  int32 _FindLastOccurrence(const UniChar* text, int32 textLength, const UniChar* pattern,
                            int32 patternLength, bool diacritical, int32* foundLength);

 private:
  DialectCode fDialect;
  UniChar fWildChar;
  uint16 fOptions;
};

}  // namespace zeft
