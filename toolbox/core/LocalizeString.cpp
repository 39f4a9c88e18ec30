#include "core/LocalizeString.h"

namespace zeft {

VString LocalizeString(const VString& key, const char* defaultText) {
  (void)key;  // looked up by the process localizer once the frame provides one
  VString result;
  if (defaultText != nullptr) result.FromCString(defaultText);
  return result;
}

}  // namespace zeft
