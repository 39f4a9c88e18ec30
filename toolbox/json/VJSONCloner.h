// VJSONCloner carries the state of one deep copy of a JSON value graph:
// which containers were already copied (so that sharing and cycles keep
// their shape), whether shared containers are copied at all, and which
// storage locker the copies receive.
#pragma once

#include <map>

#include "core/VErrorCodes.h"
#include "json/VJSONValue.h"

namespace zeft {

class VStorageLocker;

class VJSONCloner {
 public:
  enum EMode : uint32 {
    kCopyAll = 0,         // copies every container
    kKeepShared = 1,      // keeps shared containers by reference
    kCopyIntoLocker = 2,  // copies every container into the cloner's locker
  };

  explicit VJSONCloner(uint32 mode = kCopyAll);
  ~VJSONCloner();
  VJSONCloner(const VJSONCloner&) = delete;
  VJSONCloner& operator=(const VJSONCloner&) = delete;

  uint32 GetMode() const { return fMode; }

  VError CloneValue(VJSONValue& value);
  VError CloneArray(const VJSONArray* array, VJSONValue& out);
  VError CloneObject(const VJSONObject* object, VJSONValue& out);

  // The cloner's locker, not retained (made on first need; no longer fresh).
  VStorageLocker* GetStorageLockerAndAssignIfNecessary();
  void SetStorageLocker(VStorageLocker* locker);

 private:
  template <class Container>
  VError _Clone(const Container* container, VJSONValue& out);

  std::map<const VObject*, VJSONValue> fMemo;
  uint32 fMode;
  VStorageLocker* fLocker = nullptr;
};

}  // namespace zeft
