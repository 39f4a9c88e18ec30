#include "runtime/mac/XMacTask_fiber.h"

#include <pthread.h>
#include <unistd.h>

#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/mac/XMacFiber.h"
#include "runtime/mac/XMacTaskMgr.h"

namespace zeft {

bool XMacTask_fiber::Run() {
  VTask* caller = XMacTaskMgr::GetCurrentTask();
  // Control can only be handed over by a fiber.
  if (GetCurrentFiber() == nullptr) return false;
  fStackSize = fTask->GetStackSize();
  auto* data = new _FiberData(fTask);
  void* fiber = CreateFiberEx(0, fStackSize, 1, _ThreadProc, data);
  if (fiber == nullptr) {
    delete data;
    return false;
  }
  VTask* owner = caller;
  if (caller != nullptr && caller->GetPlatformTask() != nullptr &&
      caller->GetPlatformTask()->GetFiberOwner() != nullptr) {
    owner = caller->GetPlatformTask()->GetFiberOwner();
  }
  fFiber = fiber;
  fFiberOwner = owner;
  SwitchToFiber(fiber);
  XMacTaskMgr::SetCurrentTask(caller);
  return true;
}

void XMacTask_fiber::_ThreadProc(void* data) {
  VTask* task = static_cast<_FiberData*>(data)->fTask;
  auto* self = static_cast<XMacTask_fiber*>(task->GetPlatformTask());
  char top = 0;
  self->fStackTop.store(&top);
  self->fThread.store(pthread_self());
  self->fSystemThreadID.store(gettid());
  XMacTaskMgr::SetCurrentTask(task);
  task->_Run();
  self->Exit(self->fFiberOwner == task ? nullptr : self->fFiberOwner);
}

void XMacTask_fiber::Exit(VTask* owner) {
  delete static_cast<_FiberData*>(GetFiberData());
  if (XMacFiber* fiber = XMacFiber::GetCurrent()) fiber->SetData(nullptr);
  void* ownerFiber = owner != nullptr && owner->GetPlatformTask() != nullptr
                         ? owner->GetPlatformTask()->GetFiber()
                         : nullptr;
  // From here on the task may be purged and this object deleted.
  fTask->_SetStateDead();
  // Never resumed: the fiber's deletion ends this thread.
  SwitchToFiber(ownerFiber);
  pthread_exit(nullptr);
}

void XMacTask_fiber::WakeUp() {
  std::atomic_ref<int32>(fWakeCounter).fetch_add(1);
  VTaskMgr::sInstance->YieldNow();
}

void XMacTask_fiber::Freeze() {
  VTaskMgr::sInstance->CurrentFiberWaitFlag(&fWakeCounter,
                                            std::atomic_ref<int32>(fWakeCounter).load());
}

void XMacTask_fiber::Sleep(int32 milliseconds) {
  VTaskMgr::sInstance->CurrentFiberWaitFlagWithTimeout(
      &fWakeCounter, std::atomic_ref<int32>(fWakeCounter).load(), milliseconds);
}

}  // namespace zeft
