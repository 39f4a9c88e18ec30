#include "json/VStorageLocker.h"

#include "json/JSONClassError.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

std::atomic<uint32> VStorageLocker::sNextID{1};
std::atomic<VStorageLocker::WaitHook> VStorageLocker::sWaitHook{nullptr};

namespace {

bool Refuse(int32 number) {
  ThrowJSONClassError(number);
  return false;
}

}  // namespace

VStorageLocker::VStorageLocker() : fID(sNextID.fetch_add(1)) {}

VStorageLocker::~VStorageLocker() = default;

bool VStorageLocker::IsInUseByCurrentTask() const {
  StLocker<VCriticalSection> guard(fLock);
  return fUseCount.load(std::memory_order_relaxed) >= 1 &&
         fOwner.load(std::memory_order_relaxed) == VTaskMgr::GetCurrentTaskID();
}

int32 VStorageLocker::GetSharedID() const {
  const int32 id = int32(fID);
  return IsStorage() || IsFresh() ? -id : id;
}

bool VStorageLocker::Use() {
  VTask* task = VTask::GetCurrent();
  const int32 me = VTaskMgr::GetCurrentTaskID();
  for (;;) {
    {
      StLocker<VCriticalSection> guard(fLock);
      const int32 owner = fOwner.load(std::memory_order_relaxed);
      if (owner == 0 || owner == me) {
        fOwner.store(me, std::memory_order_relaxed);
        fUseCount.fetch_add(1, std::memory_order_relaxed);
        return true;
      }
      if (task == nullptr) return false;  // no queue to wait on
      fWaitingTasks.insert(task);
    }
    if (WaitHook hook = sWaitHook.load()) hook(this);
    // The queue's wake-up latches: an EndUse between the unlock above and
    // this wait still ends it.
    VTask::WaitAndExecuteMessages();
    {
      StLocker<VCriticalSection> guard(fLock);
      fWaitingTasks.erase(task);
    }
    if (task->GetState() >= kTaskStateDying) return false;
  }
}

bool VStorageLocker::TryToUse() {
  if (!fLock.TryToLock()) return false;
  const int32 me = VTaskMgr::GetCurrentTaskID();
  const int32 owner = fOwner.load(std::memory_order_relaxed);
  const bool had = owner == 0 || owner == me;
  if (had) {
    fOwner.store(me, std::memory_order_relaxed);
    fUseCount.fetch_add(1, std::memory_order_relaxed);
  }
  fLock.Unlock();
  return had;
}

void VStorageLocker::EndUse() {
  StLocker<VCriticalSection> guard(fLock);
  if (fOwner.load(std::memory_order_relaxed) != VTaskMgr::GetCurrentTaskID()) return;
  if (fUseCount.fetch_sub(1, std::memory_order_relaxed) == 1) {
    fOwner.store(0, std::memory_order_relaxed);
    for (VTask* task : fWaitingTasks) task->SetMessageQueueEvent();
  }
}

bool VStorageLocker::Assign(VStorageLocker* other, VJSONObject* object, VJSONArray* array) {
  if (other == nullptr) return Refuse(json_error::kPrivateContainer);
  if (other->IsFresh()) {
    if (IsStorage()) return true;
    const int32 owner = other->GetOwner();
    if (owner != 0 && owner != VTaskMgr::GetCurrentTaskID()) {
      return Refuse(json_error::kLockerInUseElsewhere);
    }
    SetFresh(false);
    if (object != nullptr) object->_SetStorageLocker(this);
    if (array != nullptr) array->_SetStorageLocker(this);
    return true;
  }
  if (other == this || IsStorage()) return true;
  return Refuse(object != nullptr ? json_error::kObjectOfOtherGroup
                                  : json_error::kArrayOfOtherGroup);
}

bool VStorageLocker::AssignValue(const VJSONValue& value) {
  if (VJSONObject* object = value.GetObject()) {
    if (!object->HasStorageLocker() && object->_IsSharableImplementation()) return true;
    return Assign(object->GetStorageLockerNoRetain(), object, nullptr);
  }
  if (VJSONArray* array = value.GetArray()) {
    return Assign(array->GetStorageLockerNoRetain(), nullptr, array);
  }
  return true;
}

}  // namespace zeft
