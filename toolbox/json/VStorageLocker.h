// VStorageLocker lets several tasks share a group of JSON objects and arrays:
// a task that changes members of the group first takes the locker in use,
// other tasks wait for it while executing their own messages. It also
// decides which containers may join the group.
#pragma once

#include <atomic>
#include <set>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class VJSONArray;
class VJSONObject;
class VJSONValue;
class VTask;

class VStorageLocker : public VObject, public IRefCountable {
 public:
  VStorageLocker();
  ~VStorageLocker() override;

  // Blocks until the calling task owns the locker; false only when the task
  // is told to die while waiting.
  bool Use();
  bool TryToUse();
  void EndUse();

  // Lets the object or the array (exactly one is given), whose current
  // locker is `other`, join this locker's group.
  bool Assign(VStorageLocker* other, VJSONObject* object, VJSONArray* array);
  bool AssignValue(const VJSONValue& value);

  // True when the calling task has the locker in use.
  bool IsInUseByCurrentTask() const;
  uint32 GetID() const { return fID; }
  int32 GetSharedID() const;
  bool IsStorage() const { return fStorage.load(std::memory_order_relaxed); }
  void SetStorage(bool storage) { fStorage.store(storage, std::memory_order_relaxed); }
  bool IsFresh() const { return fFresh.load(std::memory_order_relaxed); }
  void SetFresh(bool fresh) { fFresh.store(fresh, std::memory_order_relaxed); }
  VCriticalSection& GetLock() const { return fLock; }
  int32 GetOwner() const { return fOwner.load(std::memory_order_relaxed); }
  int32 GetUseCount() const { return fUseCount.load(std::memory_order_relaxed); }

  static std::atomic<uint32> sNextID;

  // Test hook, null by default: runs on a task about to wait in Use, after
  // it joined the waiting tasks and released the lock.
  using WaitHook = void (*)(VStorageLocker* locker);
  static void SetWaitHook(WaitHook hook) { sWaitHook.store(hook); }

 private:
  static std::atomic<WaitHook> sWaitHook;

  std::set<VTask*> fWaitingTasks;
  mutable VCriticalSection fLock;
  std::atomic<int32> fOwner{0};
  std::atomic<int32> fUseCount{0};
  uint32 fID;
  std::atomic<bool> fStorage{false};
  std::atomic<bool> fFresh{true};
};

}  // namespace zeft
