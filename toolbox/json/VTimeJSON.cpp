// The JSON value form of times: a JSON date, or the time's JSON text as a
// string; any JSON value reads back through its text form.
#include "core/VString.h"
#include "json/VJSONValue.h"
#include "values/VTime.h"

namespace zeft {

VError VTime::GetJSONValue(VJSONValue& json, uint32 options) const {
  if (IsNull()) {
    json.SetNull();
  } else if ((options & kJSONAsDate) != 0) {
    json.SetTime(*this);
  } else {
    VString text;
    GetJSONString(text, 0);
    json.SetString(text);
  }
  return VE_OK;
}

VError VTime::FromJSONValue(const VJSONValue& json) {
  if (json.IsNull()) {
    SetNull(true);
  } else {
    VString text;
    json.GetString(text);
    FromXMLString(text);
  }
  return VE_OK;
}

}  // namespace zeft
