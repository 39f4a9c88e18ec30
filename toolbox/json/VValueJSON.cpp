// The JSON value slots of the value base and of single values: kinds
// without a JSON form refuse with toolbox error 2. The base raises it on the
// task's error stack; a single value only returns it.
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VValue.h"
#include "core/VValueSingle.h"
#include "json/JSONToolboxError.h"
#include "json/VJSONValue.h"
#include "values/VDuration.h"

namespace zeft {

VError VValue::FromJSONString(const VString&, uint32) {
  return ThrowJSONToolboxError(toolbox_error::kNotSupportedByValue);
}

VError VValue::GetJSONString(VString&, uint32) const {
  return ThrowJSONToolboxError(toolbox_error::kNotSupportedByValue);
}

VError VValue::FromJSONValue(const VJSONValue&) {
  return ThrowJSONToolboxError(toolbox_error::kNotSupportedByValue);
}

VError VValue::GetJSONValue(VJSONValue& json, uint32) const {
  json.SetUndefined();
  return ThrowJSONToolboxError(toolbox_error::kNotSupportedByValue);
}

VError VValueSingle::FromJSONValue(const VJSONValue&) {
  Clear();
  return ToolboxError(toolbox_error::kNotSupportedByValue);
}

VError VValueSingle::GetJSONValue(VJSONValue& json, uint32) const {
  json.SetNull();
  return ToolboxError(toolbox_error::kNotSupportedByValue);
}

VValueSingle* VValueSingle::ConvertVValueToJSONScalar(const VValueSingle& value,
                                                      bool milliseconds) {
  switch (value.GetValueKind()) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 7:
    case 16: {
      auto* real = new VReal(value.GetReal());
      real->SetNull(value.IsNull());
      real->SetDirty(true);
      return real;
    }
    case 13:
    case 14:
    case 17:
    case 19:
    case 20: {
      auto* text = new VString();
      text->FromValue(value);
      return text;
    }
    case kValueKindDuration: {
      auto* real = new VReal();
      if (value.IsNull()) {
        real->SetNull(true);
      } else {
        VDuration duration;
        value.GetDuration(duration);
        if (milliseconds) {
          real->FromLong8(duration.ConvertToMilliseconds());
        } else {
          real->FromReal(double(duration.ConvertToMilliseconds()) / 1000.0);
        }
      }
      return real;
    }
    default:
      // A single value clones into a single value of its class.
      return static_cast<VValueSingle*>(value.Clone());
  }
}

JSONType VValueSingle::ValueKindToJsonType(uint16 kind) {
  switch (kind) {
    case kValueKindBoolean:
      return JSON_true;
    case kValueKindReal:
      return JSON_number;
    case kValueKindTime:
      return JSON_date;
    case kValueKindString:
      return JSON_string;
    default:
      return JSON_null;
  }
}

}  // namespace zeft
