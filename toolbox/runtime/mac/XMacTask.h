// XMacTask is the platform task that carries a VTask: for a preemptive task
// a joinable thread on a stack of its own with a guard page, released and
// put to sleep through a semaphore; for a fiber task a fiber.
#pragma once

#include <pthread.h>
#include <semaphore.h>
#include <sys/types.h>

#include <atomic>

#include "core/VObject.h"

namespace zeft {

class VTask;
class XMacTaskMgr;

class XMacTask : public VObject {
 public:
  explicit XMacTask(VTask* task) : fTask(task) {}
  ~XMacTask() override;

  virtual bool Run() = 0;
  virtual void WakeUp() = 0;
  virtual void Freeze() = 0;
  virtual void Sleep(int32 milliseconds) = 0;
  virtual bool CheckSystemMessages() = 0;
  // Marks the task dead and ends its thread (or switches to `owner`'s fiber).
  [[noreturn]] virtual void Exit(VTask* owner) = 0;
  // 0: the task manager hands out the ID.
  virtual int32 GetValueForVTaskID() { return 0; }
  // Share of one processor used by the thread over its life (1.0 = full).
  virtual bool GetCPUUsage(double& usage);
  virtual bool GetCPUTimes(double& system, double& user);

  XMacTaskMgr* GetManager() const;
  size_t GetCurrentFreeStackSize() const;
  pthread_t GetThread() const { return fThread.load(std::memory_order_acquire); }
  size_t GetStackSize() const { return fStackSize; }
  void* GetFiber() const { return fFiber; }
  VTask* GetFiberOwner() const { return fFiberOwner; }

 protected:
  std::atomic<pthread_t> fThread{0};
  // Kernel thread id, for /proc/self/task/<tid>/stat.
  std::atomic<pid_t> fSystemThreadID{0};
  void* fFiber = nullptr;
  VTask* fTask;
  VTask* fFiberOwner = nullptr;
  size_t fStackSize = 0;
  std::atomic<char*> fStackTop{nullptr};
  bool fMain = false;

  friend class XMacTaskMgr;
};

class XMacTask_preemptive : public XMacTask {
 public:
  // The main task's form: the calling thread, no stack of its own.
  XMacTask_preemptive(VTask* task, bool main);
  explicit XMacTask_preemptive(VTask* task);
  ~XMacTask_preemptive() override;

  // A non-main platform task with its thread waiting for Run, or null.
  static XMacTask_preemptive* Create(VTask* task);

  bool Run() override;
  void WakeUp() override;
  void Freeze() override;
  // Waits at most `milliseconds` on the semaphore; signals do not cut it short.
  void Sleep(int32 milliseconds) override;
  bool CheckSystemMessages() override { return false; }
  [[noreturn]] void Exit(VTask* owner) override;
  int32 GetValueForVTaskID() override { return fTaskID; }

  // The mapped region: the guard page, then the stack.
  void* GetStackRegion() const { return fStackRegion; }
  size_t GetStackRegionSize() const { return fStackRegionSize; }

 private:
  bool _CreateThread();
  static void* _ThreadProc(void* platformTask);

  void* fStackRegion = nullptr;
  size_t fStackRegionSize = 0;
  sem_t fSemaphore;
  bool fSemaphoreMade = false;
  // Set by the destructor so that a thread still waiting for Run leaves.
  std::atomic<bool> fAbandoned{false};
  // Stands in for the thread's port number: positive, unique, never reused.
  int32 fTaskID;
};

}  // namespace zeft
