#include "json/IJSONFunctionContext.h"

#include "core/VScalarValue.h"
#include "json/JSONClassError.h"
#include "json/VJSONArray.h"
#include "json/VJSONBlob.h"
#include "json/VJSONObject.h"

namespace zeft {

IJSONFunctionContext::~IJSONFunctionContext() = default;

EJSONStatus IJSONFunctionContext::GetParameterList(void**, size_t*, void**, bool*) {
  return EJSON_unhandled;
}

VJSONClass* IJSONFunctionContext::GetScopeClass() {
  VJSONObject* function = GetScopeFunctionObject();
  if (function == nullptr || function->GetImplementation() == nullptr) return nullptr;
  return function->GetImplementation()->IJSON_GetFunctionClassOwner(function);
}

double IJSONFunctionContext::GetNumberParam(size_t index) {
  const VJSONValue value = GetParam(index);
  if (value.IsNumber()) return value.GetNumber();
  fValid = false;
  ThrowJSONClassError(json_error::kParamNotNumber);
  return value.GetNumber();
}

bool IJSONFunctionContext::GetNumberOptParam(size_t index, double& outNumber) {
  const VJSONValue value = GetParam(index);
  if (value.IsNumber()) {
    outNumber = value.GetNumber();
    return true;
  }
  fValid = false;
  if (!value.IsUndefined()) ThrowJSONClassError(json_error::kParamNotNumber);
  return false;
}

int32 IJSONFunctionContext::GetLongParam(size_t index) {
  const VJSONValue value = GetParam(index);
  if (!value.IsNumber()) {
    fValid = false;
    ThrowJSONClassError(json_error::kParamNotNumber);
  }
  return SaturatingRealToLong(value.GetNumber());
}

bool IJSONFunctionContext::GetBoolParam(size_t index) {
  const VJSONValue value = GetParam(index);
  switch (value.GetType()) {
    case JSON_true:
      return true;
    case JSON_false:
      return false;
    default:
      break;
  }
  fValid = false;
  ThrowJSONClassError(json_error::kParamNotBoolean);
  switch (value.GetType()) {
    case JSON_object:
    case JSON_array:
      return true;
    case JSON_string:
      return value.GetInlineString().fString != nullptr;
    case JSON_number:
      return value.GetNumber() != 0;
    case JSON_date: {
      int16 year = 0, month = 0, day = 0;
      value.GetDate(&year, &month, &day);
      return year != 0 || month != 0 || day != 0;
    }
    default:
      return false;
  }
}

VString IJSONFunctionContext::GetStringParam(size_t index) {
  const VJSONValue value = GetParam(index);
  if (value.IsString()) return VString(value.GetInlineString());
  fValid = false;
  ThrowJSONClassError(json_error::kParamNotString);
  return VString();
}

VJSONObject* IJSONFunctionContext::GetObjectParam(size_t index) {
  const VJSONValue value = GetParam(index);
  if (value.IsObject()) return value.RetainObject();
  fValid = false;
  ThrowJSONClassError(json_error::kParamNotContainer);
  return nullptr;
}

VJSONArray* IJSONFunctionContext::GetArrayParam(size_t index) {
  const VJSONValue value = GetParam(index);
  if (value.IsArray()) return value.RetainArray();
  fValid = false;
  ThrowJSONClassError(json_error::kParamNotContainer);
  return nullptr;
}

JSONBlobParam IJSONFunctionContext::GetBlobParam(size_t index, bool optional) {
  JSONBlobParam param;
  const VJSONValue value = GetParam(index);
  if (const VJSONBlob* blob = VJSONBlob::CastJSONObject(value.GetObject())) {
    param.fFound = true;
    param.fData = blob->GetData();
    param.fSize = blob->GetSize();
    return param;
  }
  fValid = false;
  if (!optional) ThrowJSONClassError(json_error::kParamNotContainer);
  return param;
}

}  // namespace zeft
