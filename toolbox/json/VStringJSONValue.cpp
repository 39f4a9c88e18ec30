// The JSON value form of strings: a JSON string, or the JSON null for a null
// string; any JSON value reads back as its text form.
#include "core/VString.h"
#include "json/VJSONValue.h"

namespace zeft {

VError VString::GetJSONValue(VJSONValue& out, uint32) const {
  if (IsNull()) {
    out.SetNull();
  } else {
    out.SetString(*this);
  }
  return VE_OK;
}

VError VString::FromJSONValue(const VJSONValue& value) {
  if (value.IsNull()) {
    SetNull(true);
  } else {
    value.GetString(*this);
  }
  return VE_OK;
}

}  // namespace zeft
