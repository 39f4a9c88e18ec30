#include "json/VJSONUser.h"

#include "json/StGraphLocker.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"

namespace zeft {

namespace {

template <class Container>
VRefPtr<VStorageLocker> LockerOf(const Container* container) {
  if (container == nullptr) return nullptr;
  StGraphLocker lock;
  return VRefPtr<VStorageLocker>(container->GetStorageLockerNoRetain());
}

}  // namespace

VJSONUser::VJSONUser(VRefPtr<VStorageLocker>&& locker, bool tryOnly) : fLocker(std::move(locker)) {
  _Start(tryOnly);
}

VJSONUser::VJSONUser(const VJSONObject* object, bool tryOnly) : fLocker(LockerOf(object)) {
  _Start(tryOnly);
}

VJSONUser::VJSONUser(const VJSONArray* array, bool tryOnly) : fLocker(LockerOf(array)) {
  _Start(tryOnly);
}

VJSONUser::VJSONUser(const VJSONValue& value, bool tryOnly)
    : fLocker(value.GetObject() != nullptr ? LockerOf(value.GetObject())
                                           : LockerOf(value.GetArray())) {
  _Start(tryOnly);
}

void VJSONUser::_Start(bool tryOnly) {
  if (!fLocker) {
    fInUse = true;
    return;
  }
  fInUse = tryOnly ? fLocker->TryToUse() : fLocker->Use();
}

VJSONUser::~VJSONUser() {
  if (fLocker && fInUse) fLocker->EndUse();
}

}  // namespace zeft
