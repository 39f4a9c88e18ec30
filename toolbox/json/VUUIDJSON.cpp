// The JSON value form of UUIDs: the 32 digits as a JSON string.
#include "core/VString.h"
#include "json/VJSONValue.h"
#include "values/VUUID.h"

namespace zeft {

VError VUUID::GetJSONValue(VJSONValue& json, uint32) const {
  if (IsNull()) {
    json.SetNull();
  } else {
    VString digits;
    GetString(digits);
    json.SetString(digits);
  }
  return VE_OK;
}

VError VUUID::FromJSONValue(const VJSONValue& json) {
  if (json.IsNull()) {
    SetNull(true);
  } else {
    VString text;
    json.GetString(text);
    FromString(text);
  }
  return VE_OK;
}

}  // namespace zeft
