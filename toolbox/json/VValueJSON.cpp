// The JSON value slots of the value base and of single values: kinds
// without a JSON form refuse with toolbox error 2. The base raises it on the
// task's error stack; a single value only returns it.
#include "core/VString.h"
#include "core/VValue.h"
#include "core/VValueSingle.h"
#include "json/VJSONValue.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

VError RaiseNotSupported() {
  const VError error = ToolboxError(toolbox_error::kNotSupportedByValue);
  _ThrowError(error);
  return error;
}

}  // namespace

VError VValue::FromJSONString(const VString&, uint32) { return RaiseNotSupported(); }

VError VValue::GetJSONString(VString&, uint32) const { return RaiseNotSupported(); }

VError VValue::FromJSONValue(const VJSONValue&) { return RaiseNotSupported(); }

VError VValue::GetJSONValue(VJSONValue& json, uint32) const {
  json.SetUndefined();
  return RaiseNotSupported();
}

VError VValueSingle::FromJSONValue(const VJSONValue&) {
  Clear();
  return ToolboxError(toolbox_error::kNotSupportedByValue);
}

VError VValueSingle::GetJSONValue(VJSONValue& json, uint32) const {
  json.SetNull();
  return ToolboxError(toolbox_error::kNotSupportedByValue);
}

}  // namespace zeft
