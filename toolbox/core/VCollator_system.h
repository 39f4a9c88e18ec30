// VCollator_system is the collator of the toolbox: it hands comparisons and
// searches to the platform string comparer of its dialect.
#pragma once

#include "core/VCollator.h"
#include "core/mac/XMacStringCompare.h"

namespace zeft {

class VIntlMgr;

class VCollator_system : public VCollator {
 public:
  // A collator for the dialect with one reference for the caller; it uses
  // the locale of `intl` when given (its dialect must be `dialect`), else
  // one made for the dialect. Null when the platform cannot compare.
  static VCollator_system* Create(DialectCode dialect, VIntlMgr* intl);

  VCollator_system(DialectCode dialect, VIntlMgr* intl);
  VCollator_system(const VCollator_system& other);
  ~VCollator_system() override;

  CompareResult CompareString(const UniChar* text, int32 textLength, const UniChar* other,
                              int32 otherLength, bool diacritical) override;
  bool EqualString(const UniChar* text, int32 textLength, const UniChar* other, int32 otherLength,
                   bool diacritical) override;
  int32 FindString(const UniChar* text, int32 textLength, const UniChar* pattern,
                   int32 patternLength, bool diacritical, int32* foundLength) override;
  int32 ReversedFindString(const UniChar* text, int32 textLength, const UniChar* pattern,
                           int32 patternLength, bool diacritical, int32* foundLength) override;
  VCollator_system* Clone() const override;
  // "system:" followed by the version text of the platform's comparison
  // engine.
  void GetStringComparisonAlgorithmSignature(VString& signature) const override;

  XMacStringCompare& GetStringCompare() { return fCompare; }

 private:
  XMacStringCompare fCompare;
};

}  // namespace zeft
