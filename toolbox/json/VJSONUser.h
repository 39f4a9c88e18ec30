// VJSONUser holds a storage locker in use for the lifetime of a stack
// object: the scoped way for a task to change a shared group.
#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "json/VStorageLocker.h"

namespace zeft {

class VJSONArray;
class VJSONObject;
class VJSONValue;

class VJSONUser : public VObject {
 public:
  // `tryOnly`: take the use only when it can be had at once.
  VJSONUser(VRefPtr<VStorageLocker>&& locker, bool tryOnly = false);
  explicit VJSONUser(const VJSONObject* object, bool tryOnly = false);
  explicit VJSONUser(const VJSONArray* array, bool tryOnly = false);
  explicit VJSONUser(const VJSONValue& value, bool tryOnly = false);
  ~VJSONUser() override;
  VJSONUser(const VJSONUser&) = delete;
  VJSONUser& operator=(const VJSONUser&) = delete;

  // True when the use was had (always when there is no locker).
  bool IsInUse() const { return fInUse; }

 private:
  void _Start(bool tryOnly);

  VRefPtr<VStorageLocker> fLocker;
  bool fInUse = true;
};

}  // namespace zeft
