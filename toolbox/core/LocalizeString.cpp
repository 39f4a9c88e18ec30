#include "core/LocalizeString.h"

#include "process/VProcess.h"
#include "xml/ILocalizer.h"

namespace zeft {

VString LocalizeString(const VString& key, const char* defaultText) {
  VString result;
  VProcess* process = VProcess::sInstance;
  ILocalizer* localizer = process != nullptr ? process->GetLocalizer() : nullptr;
  if (localizer != nullptr && localizer->LocalizeStringWithKey(key, result)) return result;
  result.Clear();
  if (defaultText != nullptr) result.FromCString(defaultText);
  return result;
}

}  // namespace zeft
