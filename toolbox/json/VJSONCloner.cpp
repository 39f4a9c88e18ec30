#include "json/VJSONCloner.h"

#include "json/JSONStackCheck.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VStorageLocker.h"

namespace zeft {

VJSONCloner::VJSONCloner(uint32 mode) : fMode(mode) {}

VJSONCloner::~VJSONCloner() {
  // The memo may hold the copies' last references: drop them first.
  fMemo.clear();
  if (fLocker != nullptr) fLocker->Release();
}

VError VJSONCloner::CloneValue(VJSONValue& value) {
  if (const VJSONArray* array = value.GetArray()) return CloneArray(array, value);
  if (const VJSONObject* object = value.GetObject()) return CloneObject(object, value);
  return VE_OK;
}

template <class Container>
VError VJSONCloner::_Clone(const Container* container, VJSONValue& out) {
  if (container == nullptr) {
    out.SetUndefined();
    return VE_OK;
  }
  if (!JSONHasStackRoom()) {
    out.SetUndefined();
    return ToolboxError(toolbox_error::kBufferTooLong);
  }
  auto [entry, inserted] = fMemo.try_emplace(container, JSON_undefined);
  VError error = VE_OK;
  if (inserted) {
    // Cloning fills the entry with the new container before its contents,
    // so references back to it find the copy.
    error = container->Clone(entry->second, *this);
  }
  out = entry->second;
  return error;
}

VError VJSONCloner::CloneArray(const VJSONArray* array, VJSONValue& out) {
  return _Clone(array, out);
}

VError VJSONCloner::CloneObject(const VJSONObject* object, VJSONValue& out) {
  return _Clone(object, out);
}

VStorageLocker* VJSONCloner::GetStorageLockerAndAssignIfNecessary() {
  if (fLocker == nullptr) {
    fLocker = new VStorageLocker();
  } else if (fLocker->IsFresh()) {
    fLocker->SetFresh(false);
  }
  return fLocker;
}

void VJSONCloner::SetStorageLocker(VStorageLocker* locker) {
  if (locker == fLocker) return;
  if (locker != nullptr) locker->Retain();
  if (fLocker != nullptr) fLocker->Release();
  fLocker = locker;
}

}  // namespace zeft
