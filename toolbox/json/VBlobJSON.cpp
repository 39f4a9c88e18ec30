// The JSON value form of owning blobs: a JSON "Blob" object holding a copy
// of the bytes.
#include <new>

#include "json/VJSONBlob.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VErrorThrow.h"
#include "values/VBlobWithPtr.h"

namespace zeft {

VError VBlobWithPtr::GetJSONValue(VJSONValue& json, uint32) const {
  VJSONObject* object = nullptr;
  try {
    object = VJSONBlob::Create(GetDataPtr(), size_t(GetSize()));
  } catch (const std::bad_alloc&) {
    _ThrowError(ToolboxError(toolbox_error::kMemoryFull));
  }
  // Create raised the memory error itself when it answered null.
  if (object == nullptr) {
    json.SetUndefined();
    return ToolboxError(toolbox_error::kMemoryFull);
  }
  json.SetObject(object);
  object->Release();
  return VE_OK;
}

VError VBlobWithPtr::FromJSONValue(const VJSONValue& json) {
  Clear();
  const VJSONBlob* blob = VJSONBlob::CastJSONObject(json.GetObject());
  if (blob == nullptr) {
    SetNull(true);
    return VE_OK;
  }
  if (blob->GetSize() == 0) return VE_OK;
  return PutData(blob->GetData(), blob->GetSize(), 0);
}

}  // namespace zeft
