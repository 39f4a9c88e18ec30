// The JSON form of comparison options: only the diacritical flag travels.
#include "core/VCompareOptions.h"
#include "core/VString.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

namespace zeft {

namespace {

const VString& DiacriticalName() {
  static const VString sName("diacritical");
  return sName;
}

}  // namespace

VError VCompareOptions::ToJSON(VJSONObject* object) const {
  if (object == nullptr) return ToolboxError(toolbox_error::kInvalidParameter);
  object->SetProperty(DiacriticalName(), VJSONValue(fDiacritical ? JSON_true : JSON_false));
  return VE_OK;
}

VError VCompareOptions::FromJSON(VJSONObject* object) {
  if (object == nullptr) return ToolboxError(toolbox_error::kInvalidParameter);
  object->GetPropertyAsBool(DiacriticalName(), &fDiacritical);
  return VE_OK;
}

}  // namespace zeft
