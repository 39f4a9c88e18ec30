// Fibers: threads that take turns, each waiting on its own semaphore until
// another fiber switches to it, with a fiber API in the classic style.
#pragma once

#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <cstddef>

#include "core/VTypes.h"

namespace zeft {

class VTask;

class XMacFiber {
 public:
  // A fiber that will call `procedure(data)` on a new thread with a stack of
  // `stackSize` bytes (whole pages, plus a guard page); null on failure.
  static XMacFiber* Create(size_t stackSize, void (*procedure)(void*), void* data);
  // Makes the calling thread a fiber; null on failure.
  static XMacFiber* CreateFiberForThread(void* data);
  static XMacFiber* GetCurrent();

  // Hands control to this fiber and blocks the calling fiber until control
  // comes back. The caller must be a fiber.
  void Run();
  // Ends a fiber that is waiting for its turn, without running it further.
  void Abort();
  void Delete();

  void* GetData() const { return fData; }
  void SetData(void* data) { fData = data; }
  void* GetStackRegion() const { return fStackRegion; }
  size_t GetStackRegionSize() const { return fStackRegionSize; }

 private:
  XMacFiber() = default;
  ~XMacFiber();
  static void* _ThreadProc(void* fiber);
  void _WaitForTurn();

  void (*fProcedure)(void*) = nullptr;
  void* fData = nullptr;
  sem_t fSemaphore;
  void* fStackRegion = nullptr;
  size_t fStackRegionSize = 0;
  pthread_t fThread{};
  bool fHasThread = false;
  std::atomic<bool> fAbort{false};
  static thread_local XMacFiber* sCurrent;
};

// Fiber data of a task.
struct _FiberData {
  explicit _FiberData(VTask* task);
  void SetTask(VTask* task);
  VTask* fTask;
  int32 fTaskID;
};

void* ConvertThreadToFiber(void* data);
void* CreateFiberEx(size_t commitSize, size_t stackSize, uint32 flags, void (*procedure)(void*),
                    void* data);
void* GetCurrentFiber();
void* GetFiberData();
void SwitchToFiber(void* fiber);
void DeleteFiber(void* fiber);

}  // namespace zeft
