#include "runtime/VTaskMgr.h"

#include <sched.h>

#include <algorithm>

#include "core/VString.h"
#include "platform/Clock.h"
#include "runtime/IFiberScheduler.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VMessage.h"
#include "runtime/VMessagingContext.h"
#include "runtime/VScheduler_void.h"
#include "runtime/VTask.h"
#include "runtime/mac/XMacTask.h"

namespace zeft {

namespace {
VTaskMgr sTaskMgr;
constexpr size_t kMaxDefaultStackSize = 1048576;
constexpr size_t kFallbackMainStackSize = 65536;
}  // namespace

VTaskMgr* const VTaskMgr::sInstance = &sTaskMgr;
std::atomic<bool> VTaskMgr::sInstanceInited{false};
// About a thousand million threads without a task fit below the fiber range.
std::atomic<int32> VTaskMgr::sForeignThreadIDCounter{VTaskMgr::kFirstForeignThreadID};

VTaskMgr::VTaskMgr() = default;

VTaskMgr::~VTaskMgr() = default;

bool VTaskMgr::Init(VProcess* process, bool fibered) {
  if (IsInited()) return true;
  const bool ok = sInstance->_Init(process, fibered);
  sInstanceInited.store(ok, std::memory_order_release);
  if (ok) {
    // Named only once the manager answers for the main task's ID; the main
    // thread keeps the process's own name.
    sInstance->_TaskStarted(sInstance->fMainTask);
  }
  return ok;
}

void VTaskMgr::DeInit() {
  if (!IsInited()) return;
  sInstance->_DeInit();
  sInstanceInited.store(false, std::memory_order_release);
}

bool VTaskMgr::_Init(VProcess* process, bool fibered) {
  auto* scheduler = new VScheduler_void;
  fScheduler.store(scheduler, std::memory_order_release);
  fDelayedMessages.clear();
  if (!fPlatform.Init(process, fibered)) {
    fScheduler.store(nullptr);
    scheduler->Release();
    return false;
  }
  fMainTask = new VTask(this);
  return true;
}

void VTaskMgr::_DeInit() {
  // Dead tasks go with the manager. A task still alive is left running,
  // unlisted: dropping the manager's reference could join a thread that
  // never ends.
  fPurgeNeeded.store(true);
  PurgeDeadTasks();
  if (fMainTask != nullptr) {
    fMainTask->DisposeAllData();
    fMainTask->fState.store(kTaskStateDead, std::memory_order_release);
    VTask* main = fMainTask;
    std::vector<VTask*> alive;
    {
      std::lock_guard guard(fLock);
      for (VTask* task = main->fNext; task != nullptr; task = task->fNext) alive.push_back(task);
      main->fNext = nullptr;
      fMainTask = nullptr;
    }
    for (VTask* task : alive) task->fNext = nullptr;
    XMacTaskMgr::SetCurrentTask(nullptr);
    main->Release();
  }
  std::vector<DelayedMessage> delayed;
  {
    std::lock_guard guard(fLock);
    delayed.swap(fDelayedMessages);
  }
  for (DelayedMessage& entry : delayed) {
    entry.fMessage->Abort();
    entry.fMessage->Release();
  }
  IFiberScheduler* scheduler = fScheduler.exchange(nullptr);
  if (scheduler != nullptr) scheduler->Release();
  fPlatform.Deinit();
}

int32 VTaskMgr::GetNewTaskID(VTask* task) {
  if (task == nullptr || task->GetPlatformTask() == nullptr) return 0;
  const int32 value = task->GetPlatformTask()->GetValueForVTaskID();
  if (value != 0) return value;
  std::lock_guard guard(fLock);
  if (!fRecycledIDs.empty()) {
    const int32 id = fRecycledIDs.back();
    fRecycledIDs.pop_back();
    return id;
  }
  if (fFiberIDCounter <= kLowestFiberTaskID) return 0;  // range used up: no task
  return --fFiberIDCounter;
}

void VTaskMgr::RegisterTask(VTask* task) {
  PurgeDeadTasks();
  std::lock_guard guard(fLock);
  task->Retain();
  if (fMainTask == nullptr) {
    task->fNext = nullptr;
    return;
  }
  task->fNext = fMainTask->fNext;
  fMainTask->fNext = task;
}

void VTaskMgr::PurgeDeadTasks() {
  if (!fPurgeNeeded.load(std::memory_order_acquire)) return;
  std::vector<VTask*> purged;
  {
    std::lock_guard guard(fLock);
    // Nothing the purge raises may log: the logger could need this lock.
    VDebugMgr::Get().StartLowLevelMode();
    if (fMainTask != nullptr) {
      VTask* previous = fMainTask;
      for (VTask* task = fMainTask->fNext; task != nullptr;) {
        VTask* next = task->fNext;
        if (task->GetState() == kTaskStateDead) {
          previous->fNext = next;
          task->fNext = nullptr;
          if (task->GetPlatformTask() != nullptr &&
              task->GetPlatformTask()->GetValueForVTaskID() != task->GetID() &&
              task->GetID() != 0) {
            fRecycledIDs.push_back(task->GetID());
          }
          purged.push_back(task);
        } else {
          previous = task;
        }
        task = next;
      }
    }
    fPurgeNeeded.store(false, std::memory_order_release);
    VDebugMgr::Get().StopLowLevelMode();
  }
  // Outside the lock: the last release joins the task's thread.
  for (VTask* task : purged) task->Release();
}

int32 VTaskMgr::GetTaskCount(bool alive) {
  std::lock_guard guard(fLock);
  int32 count = 0;
  for (VTask* task = fMainTask; task != nullptr; task = task->fNext) {
    const int32 state = task->GetState();
    if (alive ? state <= kTaskStateRunning
              : (state == kTaskStateRunning || state == kTaskStateDying)) {
      ++count;
    }
  }
  return count;
}

VTask* VTaskMgr::RetainTaskByID(int32 id) {
  std::lock_guard guard(fLock);
  for (VTask* task = fMainTask; task != nullptr; task = task->fNext) {
    if (task->GetID() == id && task->GetState() != kTaskStateDead) {
      task->Retain();
      return task;
    }
  }
  return nullptr;
}

VRefPtr<VTask> VTaskMgr::GetTaskByID(int32 id) {
  return VRefPtr<VTask>(RetainTaskByID(id), kAdoptRef);
}

void VTaskMgr::GetTasks(std::vector<VRefPtr<VTask>>& tasks) {
  std::lock_guard guard(fLock);
  for (VTask* task = fMainTask; task != nullptr; task = task->fNext) tasks.emplace_back(task);
}

int32 VTaskMgr::_LookUpCurrentTaskID() {
  int32 id = 0;
  if (VTask* task = XMacTaskMgr::GetCurrentTask()) {
    // 0 while the main task is being made: asked again next time.
    id = task->GetID();
  } else {
    id = XMacTaskMgr::GetForeignThreadID();
    if (id == 0) {
      id = sForeignThreadIDCounter.fetch_sub(1, std::memory_order_relaxed);
      XMacTaskMgr::SetForeignThreadID(id);
    }
  }
  XMacTaskMgr::SetCachedCurrentTaskID(id);
  return id;
}

bool VTaskMgr::KillAllTasks(int32 timeoutMs) {
  auto onlyMainLeft = [this] {
    std::lock_guard guard(fLock);
    return fMainTask == nullptr || fMainTask->fNext == nullptr;
  };
  VTask* current = VTask::GetCurrent();
  if (current == nullptr || current != fMainTask) return onlyMainLeft();
  const uint64 start = platform::GetCurrentTime();
  for (;;) {
    {
      std::lock_guard guard(fLock);
      for (VTask* task = fMainTask->fNext; task != nullptr; task = task->fNext) {
        if (task->GetState() >= kTaskStateRunning) task->Kill();
      }
    }
    PurgeDeadTasks();
    YieldNow();
    VTask::ExecuteMessages(false);
    if (onlyMainLeft() || int64(platform::GetCurrentTime() - start) >= timeoutMs) break;
  }
  return onlyMainLeft();
}

void VTaskMgr::_TaskStarted(VTask* task) {
  fPlatform.TaskStarted(task);
  VString name;
  task->GetName(name);
  XMacTaskMgr::SetCurrentThreadName(name, task->GetID());
}

void VTaskMgr::_TaskStopped(VTask* task) { fPlatform.TaskStopped(task); }

bool VTaskMgr::RegisterDelayedMessage(VMessage* message, int32 delayMs) {
  return _RegisterDelayedMessage(message, delayMs, platform::GetCurrentTicks());
}

bool VTaskMgr::_RegisterDelayedMessage(VMessage* message, int32 delayMs, uint32 nowTicks) {
  if (message == nullptr) return true;
  // 64-bit product: a 32-bit one overflows past about ten hours. Any int32
  // delay is below 2^31 ticks, so the wrap-safe comparison holds.
  const int64 delayTicks = int64(delayMs) * 60 / 1000;
  std::lock_guard guard(fLock);
  message->Retain();
  fDelayedMessages.push_back({message, nowTicks + uint32(delayTicks)});
  return true;
}

void VTaskMgr::_CheckDelayedMessages() { _CheckDelayedMessages(platform::GetCurrentTicks()); }

void VTaskMgr::_CheckDelayedMessages(uint32 nowTicks) {
  for (;;) {
    VMessage* due = nullptr;
    {
      std::lock_guard guard(fLock);
      for (auto it = fDelayedMessages.begin(); it != fDelayedMessages.end(); ++it) {
        // Wrap-safe: the tick count rolls over after about 2.3 years.
        if (int32(it->fDueTick - nowTicks) < 0) {
          due = it->fMessage;
          fDelayedMessages.erase(it);
          break;
        }
      }
    }
    if (due == nullptr) return;
    due->RePost();
    due->Release();
  }
}

void VTaskMgr::CancelMessages(IMessageable* target) {
  std::vector<VMessage*> cancelled;
  {
    std::lock_guard guard(fLock);
    auto kept = std::stable_partition(
        fDelayedMessages.begin(), fDelayedMessages.end(),
        [target](const DelayedMessage& entry) { return entry.fMessage->GetTarget() != target; });
    for (auto it = kept; it != fDelayedMessages.end(); ++it) cancelled.push_back(it->fMessage);
    fDelayedMessages.erase(kept, fDelayedMessages.end());
    for (VTask* task = fMainTask; task != nullptr; task = task->fNext) task->CancelMessages(target);
  }
  for (VMessage* message : cancelled) {
    message->Abort();
    message->Release();
  }
}

int32 VTaskMgr::CountMessagesFor(IMessageable* target) {
  std::lock_guard guard(fLock);
  int32 count = 0;
  for (const DelayedMessage& entry : fDelayedMessages) {
    if (entry.fMessage->GetTarget() == target) ++count;
  }
  for (VTask* task = fMainTask; task != nullptr; task = task->fNext)
    count += task->CountMessagesFor(target);
  return count;
}

size_t VTaskMgr::GetStackSizeForMainTask() {
  std::lock_guard guard(fLock);
  if (fMainTaskStackSize == 0) {
    fMainTaskStackSize = XMacTaskMgr::ComputeMainTaskStackSize();
    if (fMainTaskStackSize == 0) fMainTaskStackSize = kFallbackMainStackSize;
  }
  return fMainTaskStackSize;
}

size_t VTaskMgr::GetDefaultStackSize() {
  std::lock_guard guard(fLock);
  if (fDefaultStackSize == 0)
    fDefaultStackSize = std::min(GetStackSizeForMainTask(), kMaxDefaultStackSize);
  return fDefaultStackSize;
}

void VTaskMgr::SetDefaultStackSize(size_t size) {
  std::lock_guard guard(fLock);
  fDefaultStackSize = size;
}

size_t VTaskMgr::GetCurrentFreeStackSize() { return fPlatform.GetCurrentFreeStackSize(); }

size_t VTaskMgr::CreateDataKey(void (*destructor)(void*)) {
  std::lock_guard guard(fLock);
  for (size_t i = 0; i < fDataKeys.size(); ++i) {
    if (fDataKeys[i].fDeleted) {
      fDataKeys[i] = {destructor, false};
      return i + 1;
    }
  }
  fDataKeys.push_back({destructor, false});
  return fDataKeys.size();
}

void VTaskMgr::DeleteDataKey(size_t key) {
  if (key == 0 || !IsInited()) return;
  std::lock_guard guard(fLock);
  if (key <= fDataKeys.size()) fDataKeys[key - 1].fDeleted = true;
}

bool VTaskMgr::CheckDataKey(size_t key) {
  std::lock_guard guard(fLock);
  return key != 0 && key <= fDataKeys.size() && !fDataKeys[key - 1].fDeleted;
}

void VTaskMgr::DisposeData(void** begin, void** end) {
  for (void** value = begin; value != end; ++value) {
    if (*value == nullptr) continue;
    const size_t key = size_t(value - begin) + 1;
    void (*destructor)(void*) = nullptr;
    {
      std::lock_guard guard(fLock);
      if (key <= fDataKeys.size() && !fDataKeys[key - 1].fDeleted)
        destructor = fDataKeys[key - 1].fDestructor;
    }
    if (destructor != nullptr) destructor(*value);
  }
}

void VTaskMgr::SetFiberScheduler(IFiberScheduler* scheduler) {
  if (scheduler == nullptr) return;
  IFiberScheduler* old = nullptr;
  {
    std::lock_guard guard(fLock);
    if (fScheduler.load() == scheduler) return;
    scheduler->Retain();
    old = fScheduler.exchange(scheduler);
  }
  if (old != nullptr) old->Release();
}

IFiberScheduler* VTaskMgr::RetainFiberScheduler() {
  std::lock_guard guard(fLock);
  IFiberScheduler* scheduler = fScheduler.load();
  if (scheduler != nullptr) scheduler->Retain();
  return scheduler;
}

bool VTaskMgr::_CurrentIsFiber() {
  VTask* task = VTask::GetCurrent();
  return task != nullptr && task->IsFiber();
}

void VTaskMgr::Yield() {
  if (_CurrentIsFiber()) {
    if (IFiberScheduler* scheduler = _GetScheduler()) scheduler->Yield();
  }
}

void VTaskMgr::YieldNow() {
  IFiberScheduler* scheduler = _GetScheduler();
  if (_CurrentIsFiber() && scheduler != nullptr) {
    scheduler->YieldNow();
  } else {
    sched_yield();
  }
}

void VTaskMgr::CurrentFiberWaitFlag(int32* flag, int32 value) {
  if (IFiberScheduler* scheduler = _GetScheduler()) scheduler->WaitFlag(flag, value);
}

void VTaskMgr::CurrentFiberWaitFlagWithTimeout(int32* flag, int32 value, int32 timeoutMs) {
  if (IFiberScheduler* scheduler = _GetScheduler())
    scheduler->WaitFlagWithTimeout(flag, value, timeoutMs);
}

void VTaskMgr::YieldToFiber(VTask* task) { fPlatform.YieldToFiber(task); }

void VTaskMgr::FiberStoppedBeingScheduled(VTask* task) {
  if (task != nullptr && task->IsFiber() && task != VTask::GetCurrent() &&
      task->GetState() != kTaskStateDead) {
    task->_SetStateDead();
  }
}

void VTaskMgr::SetSystemEventPolling(bool polling) {
  if (IFiberScheduler* scheduler = _GetScheduler()) scheduler->SetSystemEventPolling(polling);
}

void VTaskMgr::WakeUpSystemEventPolling() {
  if (IFiberScheduler* scheduler = _GetScheduler()) scheduler->WakeUpSystemEventPolling();
}

void VTaskMgr::PollAndExecuteUpdateEvent() {
  if (IFiberScheduler* scheduler = _GetScheduler()) scheduler->PollAndExecuteUpdateEvent();
}

void VTaskMgr::SetDirectUpdate(bool direct) {
  if (IFiberScheduler* scheduler = _GetScheduler()) scheduler->SetDirectUpdate(direct);
}

void VTaskMgr::MAC_BeginHandlingUpdateEventsOnly() {
  // No run loop exists here to carry a polling timer: only the nesting and
  // the scheduler's polling switch remain.
  if (fUpdateEventsOnlyNesting++ == 0) SetSystemEventPolling(false);
}

void VTaskMgr::MAC_StopHandlingUpdateEventsOnly() {
  if (fUpdateEventsOnlyNesting == 0) return;
  if (--fUpdateEventsOnlyNesting == 0) SetSystemEventPolling(true);
}

}  // namespace zeft
