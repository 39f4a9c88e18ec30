#include "json/VJSONFileCache.h"

namespace zeft {

VJSONValue VJSONFileCache::GetValue(const VString& path) const {
  auto found = fValues.find(path);
  return found != fValues.end() ? found->second : VJSONValue(JSON_undefined);
}

void VJSONFileCache::SetValue(const VString& path, const VJSONValue& value) {
  if (value.IsUndefined()) {
    fValues.erase(path);
  } else {
    fValues.insert_or_assign(path, value);
  }
}

}  // namespace zeft
