// VTask is the unit of concurrent work: every thread that runs toolbox code
// is a task, carrying its own message queue, international settings,
// task-local data, idlers, name and property bag. Static operations act on
// the calling task and answer 0, null or false when the thread runs none.
#pragma once

#include <atomic>
#include <functional>
#include <set>
#include <vector>

#include "core/DialectCode.h"
#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "runtime/IMessageable.h"
#include "runtime/VDebugContext.h"

namespace zeft {

class IIdleable;
class VErrorBase;
class VErrorContext;
class VErrorTaskContext;
class VIntlMgr;
class VJSONObject;
class VMessage;
class VMessageQueue;
class VString;
class VTaskMgr;
class VValueBag;
class XMacTask;

enum ETaskStyle : uint32 {
  kTaskStylePreemptive = 1,  // a POSIX thread of its own
  kTaskStyleFiber = 3        // a fiber under the installed fiber scheduler
};

enum ETaskState : int32 {
  kTaskStateCreated = 0,
  kTaskStateRunRequested = 1,
  kTaskStateRunning = 2,
  kTaskStateDying = 3,
  kTaskStateDead = 4
};

// What a task is blocked on; only the outermost wait sets it.
enum ETaskWaitState : int32 {
  kTaskWaitNone = 0,
  kTaskWaitSleeping = 1,
  kTaskWaitForMessage = 4,
  kTaskWaitForMessageExecution = 5,
  kTaskWaitForDeath = 8
};

class VTask : public VObject, public IMessageable, public IRefCountable {
 public:
  // A task that runs `body`, or, with an empty body, the classic loop:
  // DoInit, DoRun while it returns true, DoDeInit. A stack size of 0 means
  // the manager's default.
  VTask(size_t stackSize, ETaskStyle style, std::function<void()>&& body);
  // The same with a procedure called with the task; `owner` is not used.
  VTask(VObject* owner, size_t stackSize, ETaskStyle style, int (*proc)(VTask*));
  // The main task, made by VTaskMgr::Init on the main thread.
  explicit VTask(VTaskMgr* manager);
  ~VTask() override;

  // Starts a created task; false without platform task or when not created.
  bool Run();
  // Ends the calling task from its own thread; for a fiber task control goes
  // to `task`'s fiber. Does not return when the caller is a task.
  static void Exit(VTask* task);

  ETaskState GetState() const { return ETaskState(fState.load(std::memory_order_acquire)); }
  // True from dying on; *outTicksSinceKill gets the ticks since the kill
  // request while dying, else 0.
  bool IsDying(int32* outTicksSinceKill = nullptr) const;
  ETaskWaitState GetWaitState() const { return ETaskWaitState(fWaitState.load()); }
  ETaskStyle GetStyle() const { return fStyle; }
  bool IsFiber() const { return fIsFiber; }
  bool IsPreemptive() const { return fIsPreemptive; }

  // The task's POSIX thread, 0 without one.
  uint64 GetSystemID() const;
  int32 GetID() const { return fID; }
  static VTask* GetCurrent();
  static int32 GetCurrentID();
  static bool IsCurrentMain();
  // Whether the task pumped its messages less than 1000 ms ago.
  bool IsResponding() const;

  void SetName(const VString& name);
  // Empty when the task has none.
  void GetName(VString& name) const;
  // Drops the calling task's activity token early, so that a task that only
  // waits in the background (the logger's) never keeps the application busy.
  static void ReleaseCurrentActivityToken();
  // The task's property bag ("source" and "jobId" name its log records).
  // Retains the new bag and releases the old one; null removes it.
  void SetProperties(const VValueBag* properties);
  // The bag with a new reference, or null; callable from any task.
  const VValueBag* RetainProperties() const;
  void SetKind(uint32 kind) { fKind.store(kind, std::memory_order_relaxed); }
  uint32 GetKind() const { return fKind.load(std::memory_order_relaxed); }

  size_t GetStackSize();
  // An address near the top of the task's stack, once its thread started.
  void* GetStackMarker() const { return fStackMarker.load(std::memory_order_relaxed); }
  bool GetCPUUsage(double& usage) const;
  // Seconds of system and user time of the task's thread.
  bool GetCPUTimes(double& system, double& user) const;

  // Suspends the calling task; 0 or less only yields. Returns at once on a
  // thread without a task.
  static void Sleep(int32 milliseconds);
  // Cuts a sleep of this task short (or the next one, when it is awake).
  void WakeUp();

  // Asks the task to die; a task never run is left alone.
  void Kill();
  // Waits until the task is dead, executing the caller's messages meanwhile;
  // false on time-out and for a task waiting for itself.
  bool WaitForDeath(int32 timeoutMs);

  // Messages. The queue is created on first use.
  bool AddMessage(VMessage* message);
  VMessageQueue* RetainMessageQueue();
  void CancelMessages(IMessageable* target);
  int32 CountMessagesFor(IMessageable* target) const;
  bool IsAnyMessagePending() const;
  uint32 GetMessageQueueStamp() const;
  // Wakes a task waiting in WaitAndExecuteMessages without a message.
  void SetMessageQueueEvent();
  // Static forms act on the calling task; whether a message executed.
  static bool ExecuteMessages(bool allowIdle);
  static bool ExecuteMessagesWithTimeout(int32 timeoutMs, bool allowIdle);
  static VMessage* RetainMessageWithTimeout(int32 timeoutMs);
  static void WaitAndExecuteMessages();
  static void WaitAndExecuteMessages(int32 timeoutMs, bool* outTimedOut);

  // Idlers, called in the idle pass on this task's own thread.
  void RegisterIdler(IIdleable* idler);
  // Removes the idler from this task's list from any task; when this task
  // is calling it at that moment, waits until the call has returned.
  void UnregisterIdler(IIdleable* idler);
  void CallIdlers();
  bool HasIdler(const IIdleable* idler) const;

  // Errors. The calling task's error stack, made on demand when `create`
  // is set; null without a task.
  static VErrorTaskContext* GetErrorContext(bool create);
  // Pushes the record on the calling task's stack; false without a task or
  // a record, or when it was not added.
  static bool PushError(VErrorBase* error);
  // PushError, then drops the caller's reference (also when nothing was
  // pushed).
  static bool PushRetainedError(VErrorBase* error);
  // Copies every record of the context onto the calling task's stack.
  static void PushErrors(const VErrorContext* context);
  // Empties the top level of the calling task's stack.
  static void FlushErrors();
  // The code of the newest record of this task's top level; 0 when none.
  // Read it from the task's own thread.
  VError GetLastError() const;
  // Whether error 100 was pushed into this task's top level.
  bool FailedForMemory() const;

  // The debug manager's state for this task; only its own thread uses it.
  VDebugContext& GetDebugContext() { return fDebugContext; }

  // The calling task's international settings, else the process's, else
  // null. Lent, not retained.
  static VIntlMgr* GetCurrentIntlManager();
  // Makes `intl` the calling task's settings (retained, the previous ones
  // released); ignored for null, without a task, or when unchanged.
  static void SetCurrentIntlManager(VIntlMgr* intl);
  // Installs new settings made for the dialect (VIntlMgr::Create) as above.
  static void SetCurrentDialectCode(DialectCode dialect, uint8 options = 1);
  // The wild character of the current settings; "@" without settings.
  static UniChar GetWildChar();
  // The dialect of this task's settings (0 without settings); safe to ask
  // from any task.
  DialectCode GetDialectCode() const { return fDialectCode.load(std::memory_order_relaxed); }

  // Task-local data under 1-based keys of VTaskMgr::CreateDataKey.
  static void* GetCurrentData(size_t key);
  static void SetCurrentData(size_t key, void* value);
  // Hands every non-null value to its key's destructor and empties the slots.
  void DisposeAllData();

  // JSON objects kept alive (one reference each) until the calling task
  // ends; registering twice keeps one reference. Nothing without a task.
  static void RegisterJSONObject(VJSONObject* object);
  // Drops the registration and its reference; an unknown object is ignored.
  static void UnregisterJSONObject(VJSONObject* object);

  VTaskMgr* GetManager() const { return fManager; }
  XMacTask* GetPlatformTask() const { return fPlatformTask; }

 protected:
  virtual void DoInit() {}
  virtual void DoDeInit() {}
  // Repeated while it returns true and the task is not dying.
  virtual bool DoRun() { return true; }
  virtual void DoIdle() {}
  // Called at every kill request that finds the task alive.
  virtual void DoPrepareToDie() {}

 private:
  friend class VMessage;
  friend class VTaskMgr;
  friend class XMacTask;
  friend class XMacTask_preemptive;
  friend class XMacTask_fiber;
  friend class XMacTaskMgr;

  void _InitCommon(size_t stackSize, ETaskStyle style);
  void _CreatePlatformTask();
  // Takes a copy of the process's international settings.
  void _CloneProcessIntlSettings();
  void _InstallIntlSettings(VIntlMgr* intl);
  // Body of every task thread.
  void _Run();
  void _SetStateDead();
  void _ReleaseActivityToken();
  void _ReleaseJSONObjects();
  // End-of-run clean-up without any change of state.
  void _Exit();
  VMessage* _RetainMessageWithTimeout(int32 timeoutMs, bool* outTimedOut);
  bool _ExecuteMessages(VMessage* first, bool allowIdle);
  bool _CheckIdleEvents();
  VMessageQueue* _GetQueue() const { return fQueue.load(std::memory_order_acquire); }
  VMessageQueue* _GetOrCreateQueue();
  bool _EnterWait(ETaskWaitState state);
  void _LeaveWait(bool entered);
  bool _CompareAndSwapState(int32 from, int32 to);

  XMacTask* fPlatformTask = nullptr;
  int32 fID = 0;
  ETaskStyle fStyle = kTaskStylePreemptive;
  VTaskMgr* fManager = nullptr;
  std::atomic<int32> fState{kTaskStateCreated};
  std::atomic<int32> fWaitState{kTaskWaitNone};
  std::atomic<uint32> fKillTick{0};
  VTask* fNext = nullptr;  // the manager's task list, under its lock
  uint32 fLastIdleTick = 0;
  uint32 fIdleInterval = 1;
  std::atomic<void*> fStackMarker{nullptr};
  std::atomic<uint32> fKind{0};
  std::function<void()> fBody;
  VString* fName = nullptr;  // under the manager's lock
  // Held from Run until the task is dead: the application is busy meanwhile.
  std::atomic<IRefCountable*> fActivityToken{nullptr};
  const VValueBag* fProperties = nullptr;  // under the manager's lock
  std::atomic<VMessageQueue*> fQueue{nullptr};
  std::atomic<uint32> fQueueWakeCounter{0};
  std::atomic<size_t> fStackSize{0};
  bool fIsFiber = false;
  bool fIsPreemptive = true;
  bool fIsMain = false;
  // Idlers (not owned) and the handshake with UnregisterIdler from other
  // tasks, all under the manager's lock.
  std::vector<IIdleable*> fIdlers;
  bool fIdlersUnchanged = false;
  IIdleable* fCallingIdler = nullptr;
  bool fInIdle = false;
  std::vector<void*> fData;
  // Registered JSON objects, each holding one reference; only this task's
  // own thread touches them.
  std::set<VJSONObject*> fJSONObjects;
  // Settings of this task; nothing installs any yet.
  // Owned (one reference), changed only by the task itself; its dialect is
  // mirrored for other tasks.
  VIntlMgr* fIntlMgr = nullptr;
  std::atomic<DialectCode> fDialectCode{0};
  std::vector<VMessageQueue*>* fDeathWaiters = nullptr;  // under the manager's lock
  // A sleeping fiber task waits for this flag to change.
  alignas(std::atomic_ref<int32>::required_alignment) int32 fFiberWakeFlag = 0;
  std::atomic<uint64> fLastPumpTime{0};
  // Made on first use; only this task's own thread touches it.
  VErrorTaskContext* fErrorContext = nullptr;
  VDebugContext fDebugContext;
};

}  // namespace zeft
