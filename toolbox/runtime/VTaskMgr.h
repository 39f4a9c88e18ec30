// VTaskMgr is the process's single task manager: the task list and IDs, the
// main task, the identity of the calling task for every lock, task-local
// data keys, delayed messages and the installed fiber scheduler.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VTypes.h"
#include "runtime/mac/XMacTaskMgr.h"

namespace zeft {

class IFiberScheduler;
class IMessageable;
class VMessage;
class VProcess;
class VTask;

class VTaskMgr {
 public:
  // IDs: preemptive tasks count up from 1 and are never reused; fiber tasks
  // count down from -1 (recycled once purged); threads without a task get
  // IDs from a separate range below both.
  static constexpr int32 kLowestFiberTaskID = -0x3FFFFFFF;
  static constexpr int32 kFirstForeignThreadID = -0x40000000;

  static VTaskMgr* const sInstance;
  static std::atomic<bool> sInstanceInited;

  VTaskMgr();
  virtual ~VTaskMgr();

  VTaskMgr(const VTaskMgr&) = delete;
  VTaskMgr& operator=(const VTaskMgr&) = delete;

  // Starts the manager and wraps the calling (main) thread as the main task.
  // `fibered` runs fiber-style tasks as fibers; it is refused (false)
  // outside tests, see XMacTaskMgr::AllowFiberedModeForTests.
  static bool Init(VProcess* process, bool fibered = false);
  static void DeInit();
  static bool IsInited() { return sInstanceInited.load(std::memory_order_acquire); }

  // Tasks.
  VTask* GetMainTask() const { return fMainTask; }
  int32 GetNewTaskID(VTask* task);
  void RegisterTask(VTask* task);
  void PurgeDeadTasks();
  // Tasks of the list, main task included: states 0-2 when `alive`, else
  // states 2 and 3.
  int32 GetTaskCount(bool alive);
  VTask* RetainTaskByID(int32 id);
  VRefPtr<VTask> GetTaskByID(int32 id);
  void GetTasks(std::vector<VRefPtr<VTask>>& tasks);
  // Kept per thread: every lock asks for it.
  static int32 GetCurrentTaskID() {
    if (!IsInited()) return 0;
    const int32 id = XMacTaskMgr::GetCachedCurrentTaskID();
    return id != 0 ? id : _LookUpCurrentTaskID();
  }
  bool KillAllTasks(int32 timeoutMs);
  void _TaskStarted(VTask* task);
  void _TaskStopped(VTask* task);

  // Delayed messages.
  bool RegisterDelayedMessage(VMessage* message, int32 delayMs);
  void _CheckDelayedMessages();
  // The same with the tick count given (tests, and the forms above).
  bool _RegisterDelayedMessage(VMessage* message, int32 delayMs, uint32 nowTicks);
  void _CheckDelayedMessages(uint32 nowTicks);
  void CancelMessages(IMessageable* target);
  int32 CountMessagesFor(IMessageable* target);

  // Stack sizes.
  size_t GetStackSizeForMainTask();
  size_t GetDefaultStackSize();
  void SetDefaultStackSize(size_t size);
  size_t GetCurrentFreeStackSize();

  // Task-local data keys, 1-based.
  size_t CreateDataKey(void (*destructor)(void*));
  void DeleteDataKey(size_t key);
  bool CheckDataKey(size_t key);
  void DisposeData(void** begin, void** end);

  // Fiber scheduling.
  void SetFiberScheduler(IFiberScheduler* scheduler);
  IFiberScheduler* RetainFiberScheduler();
  void Yield();
  void YieldNow();
  void CurrentFiberWaitFlag(int32* flag, int32 value);
  void CurrentFiberWaitFlagWithTimeout(int32* flag, int32 value, int32 timeoutMs);
  void YieldToFiber(VTask* task);
  void FiberStoppedBeingScheduled(VTask* task);
  void SetSystemEventPolling(bool polling);
  void WakeUpSystemEventPolling();
  void PollAndExecuteUpdateEvent();
  void SetDirectUpdate(bool direct);
  // Nested; the outermost pair switches system event polling off and on.
  void MAC_BeginHandlingUpdateEventsOnly();
  void MAC_StopHandlingUpdateEventsOnly();

  XMacTaskMgr& GetPlatformManager() { return fPlatform; }
  // Held by every step that reads or changes the task list, IDs, names,
  // idler lists, death waiters, data keys and delayed messages.
  void Lock() { fLock.lock(); }
  void Unlock() { fLock.unlock(); }

 private:
  friend class VTask;
  struct DataKeyEntry {
    void (*fDestructor)(void*);
    bool fDeleted;
  };
  struct DelayedMessage {
    VMessage* fMessage;
    uint32 fDueTick;
  };

  bool _Init(VProcess* process, bool fibered);
  static int32 _LookUpCurrentTaskID();
  void _DeInit();
  IFiberScheduler* _GetScheduler() const { return fScheduler.load(std::memory_order_acquire); }
  static bool _CurrentIsFiber();

  VTask* fMainTask = nullptr;
  size_t fMainTaskStackSize = 0;
  size_t fDefaultStackSize = 0;
  std::recursive_mutex fLock;
  XMacTaskMgr fPlatform;
  std::vector<DelayedMessage> fDelayedMessages;
  int32 fFiberIDCounter = 0;
  std::deque<int32> fRecycledIDs;
  std::vector<DataKeyEntry> fDataKeys;
  std::atomic<IFiberScheduler*> fScheduler{nullptr};
  static std::atomic<int32> sForeignThreadIDCounter;
  std::atomic<bool> fPurgeNeeded{false};
  uint32 fUpdateEventsOnlyNesting = 0;
};

}  // namespace zeft
