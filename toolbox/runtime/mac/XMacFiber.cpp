#include "runtime/mac/XMacFiber.h"

#include <unistd.h>

#include <cerrno>

#include "platform/VirtualMemory.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"

namespace zeft {

thread_local XMacFiber* XMacFiber::sCurrent = nullptr;

_FiberData::_FiberData(VTask* task) { SetTask(task); }

void _FiberData::SetTask(VTask* task) {
  fTask = task;
  fTaskID = task != nullptr ? task->GetID() : 0;
}

XMacFiber::~XMacFiber() { sem_destroy(&fSemaphore); }

XMacFiber* XMacFiber::GetCurrent() { return sCurrent; }

XMacFiber* XMacFiber::Create(size_t stackSize, void (*procedure)(void*), void* data) {
  platform::ThreadStack stack;
  if (!platform::VirtualAllocThreadStack(stackSize, stack)) {
    ThrowPosixError(errno);
    return nullptr;
  }
  auto* fiber = new XMacFiber;
  if (sem_init(&fiber->fSemaphore, 0, 0) != 0) {
    const int error = errno;
    platform::VirtualFree(stack.fRegion, stack.fRegionSize);
    ::operator delete(fiber);  // the semaphore was never made
    ThrowPosixError(error);
    return nullptr;
  }
  fiber->fProcedure = procedure;
  fiber->fData = data;
  fiber->fStackRegion = stack.fRegion;
  fiber->fStackRegionSize = stack.fRegionSize;

  if (const int error = platform::StartThreadOnStack(stack, _ThreadProc, fiber, fiber->fThread);
      error != 0) {
    platform::VirtualFree(stack.fRegion, stack.fRegionSize);
    delete fiber;
    ThrowPosixError(error);
    return nullptr;
  }
  fiber->fHasThread = true;
  return fiber;
}

void* XMacFiber::_ThreadProc(void* fiberArgument) {
  auto* fiber = static_cast<XMacFiber*>(fiberArgument);
  sCurrent = fiber;
  fiber->_WaitForTurn();
  if (!fiber->fAbort.load()) fiber->fProcedure(fiber->fData);
  return nullptr;
}

XMacFiber* XMacFiber::CreateFiberForThread(void* data) {
  if (sCurrent != nullptr) return nullptr;  // already a fiber
  auto* fiber = new XMacFiber;
  if (sem_init(&fiber->fSemaphore, 0, 0) != 0) {
    const int error = errno;
    ::operator delete(fiber);
    ThrowPosixError(error);
    return nullptr;
  }
  fiber->fData = data;
  fiber->fThread = pthread_self();
  sCurrent = fiber;
  return fiber;
}

void XMacFiber::_WaitForTurn() {
  while (sem_wait(&fSemaphore) != 0 && errno == EINTR) {
  }
}

void XMacFiber::Run() {
  XMacFiber* current = sCurrent;
  // Only a fiber can hand over its turn: it needs a semaphore to wait on.
  if (current == this || current == nullptr) return;
  sem_post(&fSemaphore);
  current->_WaitForTurn();
  if (current->fAbort.load()) pthread_exit(nullptr);
}

void XMacFiber::Abort() {
  fAbort.store(true);
  sem_post(&fSemaphore);
  if (fHasThread) {
    pthread_join(fThread, nullptr);
    fHasThread = false;
  }
}

void XMacFiber::Delete() {
  if (fProcedure == nullptr) {
    if (sCurrent == this) sCurrent = nullptr;
    delete this;
    return;
  }
  if (sCurrent == this) return;
  Abort();
  platform::VirtualFree(fStackRegion, fStackRegionSize);
  delete this;
}

void* ConvertThreadToFiber(void* data) { return XMacFiber::CreateFiberForThread(data); }

void* CreateFiberEx(size_t /*commitSize*/, size_t stackSize, uint32 /*flags*/,
                    void (*procedure)(void*), void* data) {
  return XMacFiber::Create(stackSize, procedure, data);
}

void* GetCurrentFiber() { return XMacFiber::GetCurrent(); }

void* GetFiberData() {
  XMacFiber* fiber = XMacFiber::GetCurrent();
  return fiber != nullptr ? fiber->GetData() : nullptr;
}

void SwitchToFiber(void* fiber) {
  if (fiber != nullptr) static_cast<XMacFiber*>(fiber)->Run();
}

void DeleteFiber(void* fiber) {
  if (fiber != nullptr) static_cast<XMacFiber*>(fiber)->Delete();
}

}  // namespace zeft
