// ILocalizer is the interface through which the toolbox asks for localized
// texts: strings by key, error messages by error code, groups of strings.
// A localization store implements it; error records ask the localizer
// registered for their component (VErrorBase::RegisterLocalizer).
#pragma once

#include "core/DialectCode.h"
#include "core/VErrorCodes.h"

namespace zeft {

class VString;
class VValueBag;

class ILocalizer {
 public:
  // The language the texts are in.
  virtual DialectCode GetLocalizationLanguage() const = 0;
  // The localized text of an error code; false, `text` untouched, when the
  // localizer has none.
  virtual bool LocalizeErrorMessage(VError code, VString& text) = 0;
  // The text stored under `key`; false, `result` untouched, when unknown.
  virtual bool LocalizeStringWithKey(const VString& key, VString& result) = 0;
  // The same over the keys of ".strings" files.
  virtual bool LocalizeStringWithDotStringsKey(const VString& key, VString& result) = 0;
  // The bag stored for a group, retained for the caller; null when none.
  virtual VValueBag* RetainGroupBag(const VString& groupResName) = 0;

 protected:
  // Localizers are owned and destroyed through their own classes, never
  // through this interface.
  ~ILocalizer() = default;
};

}  // namespace zeft
