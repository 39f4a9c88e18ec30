// VCompareOptions gathers how two values or strings are compared: the
// international settings whose collator orders strings, the LIKE,
// diacritical and begins-with flags, and the tolerance of real numbers.
#pragma once

#include "core/VErrorCodes.h"
#include "core/VTypes.h"

namespace zeft {

class VIntlMgr;
class VJSONObject;

class VCompareOptions {
 public:
  // Tolerance of real comparisons unless changed: the one of the plain
  // (option-less) comparisons.
  static constexpr double kDefaultEpsilon = 1e-6;

  VCompareOptions() = default;

  // Null means: compare strings without collation (raw or ASCII forms).
  VIntlMgr* GetIntlMgr() const { return fIntlMgr; }
  void SetIntlMgr(VIntlMgr* intlMgr) { fIntlMgr = intlMgr; }

  // Strings are compared as a LIKE pattern.
  bool IsLike() const { return fLike; }
  void SetLike(bool like) { fLike = like; }

  // Strings compare accents and case as significant; reals compare exactly.
  bool IsDiacritical() const { return fDiacritical; }
  void SetDiacritical(bool diacritical) { fDiacritical = diacritical; }

  // Strings are compared over the shorter of the two lengths.
  bool IsBeginsWith() const { return fBeginsWith; }
  void SetBeginsWith(bool beginsWith) { fBeginsWith = beginsWith; }

  double GetEpsilon() const { return fEpsilon; }
  void SetEpsilon(double epsilon) { fEpsilon = epsilon; }

  // JSON form (json/VCompareOptionsJSON.cpp): the boolean "diacritical"
  // only. Reading leaves the flag when the property is missing or not a
  // boolean. Both return 0, or toolbox error 3 for a null object.
  VError ToJSON(VJSONObject* object) const;
  VError FromJSON(VJSONObject* object);

 private:
  VIntlMgr* fIntlMgr = nullptr;
  bool fLike = false;
  bool fDiacritical = false;
  bool fBeginsWith = false;
  double fEpsilon = kDefaultEpsilon;
};

}  // namespace zeft
