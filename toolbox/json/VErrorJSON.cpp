// The JSON forms of error records and error-stack levels, kept with the JSON
// model they are built from.
#include <new>

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"

namespace zeft {

VJSONObject* VErrorBase::CreateJSONObject() const {
  try {
    VRefPtr<VJSONObject> object(new VJSONObject, kAdoptRef);
    VString message;
    GetErrorDescription(message);
    object->SetProperty(VString("errCode"), VJSONValue(double(ErrorNumber(fError))));
    object->SetProperty(VString("componentSignature"),
                        VJSONValue(VOsTypeString(ErrorComponent(fError))));
    object->SetProperty(VString("message"), VJSONValue(message));
    return object.Forget();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

VError VErrorContext::SaveToJSONArray(VJSONValue& value) const {
  if (fErrors.empty()) {
    value.SetUndefined();
    return VE_OK;
  }
  try {
    VRefPtr<VJSONArray> array(new VJSONArray, kAdoptRef);
    for (const VErrorBase* error : fErrors) {
      VRefPtr<VJSONObject> object(error->CreateJSONObject(), kAdoptRef);
      if (object.Get() == nullptr || !array->Push(VJSONValue(object.Get())))
        return ToolboxError(toolbox_error::kMemoryFull);
    }
    value.SetArray(array.Get());
  } catch (const std::bad_alloc&) {
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  return VE_OK;
}

}  // namespace zeft
