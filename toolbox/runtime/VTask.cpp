#include "runtime/VTask.h"

#include <sched.h>

#include <algorithm>
#include <new>
#include <thread>

#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "platform/Clock.h"
#include "runtime/IFiberScheduler.h"
#include "runtime/IIdleable.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VErrorTaskContext.h"
#include "runtime/VMessage.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VProcessHook.h"
#include "runtime/VTaskMgr.h"
#include "runtime/mac/XMacTask.h"
#include "runtime/mac/XMacTaskMgr.h"
#include "values/VValueBag.h"

namespace zeft {

VTask::VTask(size_t stackSize, ETaskStyle style, std::function<void()>&& body)
    : fBody(std::move(body)) {
  _InitCommon(stackSize, style);
  _CreatePlatformTask();
}

VTask::VTask(VObject* /*owner*/, size_t stackSize, ETaskStyle style, int (*proc)(VTask*)) {
  if (proc != nullptr) fBody = [proc] { proc(VTask::GetCurrent()); };
  _InitCommon(stackSize, style);
  _CreatePlatformTask();
}

VTask::VTask(VTaskMgr* manager) {
  char marker = 0;
  fManager = manager;
  fStyle = kTaskStylePreemptive;
  fState.store(kTaskStateRunning);
  fIsMain = true;
  fStackMarker.store(&marker);
  fStackSize.store(manager->GetStackSizeForMainTask());
  fIsFiber = manager->GetPlatformManager().IsFibered();
  fIsPreemptive = !fIsFiber;
  _CloneProcessIntlSettings();
  fPlatformTask = manager->GetPlatformManager().CreateMain(this);
  fID = manager->GetNewTaskID(this);
  SetMessagingTask(fID);
}

void VTask::_InitCommon(size_t stackSize, ETaskStyle style) {
  fManager = VTaskMgr::sInstance;
  fStyle = style;
  fIsFiber = style == kTaskStyleFiber;
  fIsPreemptive = style == kTaskStylePreemptive;
  fStackSize.store(stackSize);
  _CloneProcessIntlSettings();
}

void VTask::_CloneProcessIntlSettings() {
  if (VIntlMgr* process = VIntlMgr::GetProcessDefault()) {
    VIntlMgr* copy = process->Clone();
    _InstallIntlSettings(copy);
    if (copy != nullptr) copy->Release();
  }
}

void VTask::_InstallIntlSettings(VIntlMgr* intl) {
  if (intl == nullptr || intl == fIntlMgr) return;
  intl->Retain();
  VIntlMgr* old = fIntlMgr;
  fIntlMgr = intl;
  fDialectCode.store(intl->GetDialectCode(), std::memory_order_relaxed);
  if (old != nullptr) old->Release();
}

void VTask::_CreatePlatformTask() {
  // Without a started manager there is no task to run on: Run will refuse.
  if (!VTaskMgr::IsInited()) return;
  fPlatformTask = fManager->GetPlatformManager().Create(this, fStyle);
  fID = fManager->GetNewTaskID(this);
  SetMessagingTask(fID);
}

VTask::~VTask() {
  _ReleaseActivityToken();
  if (VMessageQueue* queue = fQueue.exchange(nullptr)) {
    queue->CancelMessages();
    queue->Release();
  }
  if (fDeathWaiters != nullptr) {
    for (VMessageQueue* queue : *fDeathWaiters) queue->Release();
    delete fDeathWaiters;
  }
  if (fErrorContext != nullptr) fErrorContext->Release();
  delete fPlatformTask;
  delete fName;
  _ReleaseJSONObjects();
  if (fProperties != nullptr) fProperties->Release();
  if (fIntlMgr != nullptr) fIntlMgr->Release();
}

bool VTask::_CompareAndSwapState(int32 from, int32 to) {
  return fState.compare_exchange_strong(from, to, std::memory_order_acq_rel);
}

bool VTask::Run() {
  if (fPlatformTask == nullptr || fID == 0) return false;
  if (fIsFiber) {
    IFiberScheduler* scheduler = fManager->RetainFiberScheduler();
    if (scheduler != nullptr) {
      bool notHandled = true;
      const bool result = scheduler->RunFiber(this, &notHandled);
      scheduler->Release();
      if (!notHandled) return result;
    }
  }
  if (!_CompareAndSwapState(kTaskStateCreated, kTaskStateRunRequested)) return false;
  // Tokens register with the application object; without one (early start-up,
  // late shut-down) there is nobody to keep busy.
  if (VProcessHook::HasProcess()) {
    VString name;
    GetName(name);
    VString text("Running task ");
    text.AppendString(name);
    fActivityToken.store(VProcessHook::NewActivityToken(text).Forget(), std::memory_order_release);
  }
  fManager->RegisterTask(this);
  const bool ok = fPlatformTask->Run();
  if (!ok) {
    _CompareAndSwapState(kTaskStateRunRequested, kTaskStateDying);
    _SetStateDead();
  }
  return ok;
}

void VTask::_Run() {
  char marker = 0;
  fStackMarker.store(&marker);
  if (!_CompareAndSwapState(kTaskStateRunRequested, kTaskStateRunning)) return;
  fManager->_TaskStarted(this);
  if (fBody) {
    fBody();
    _CompareAndSwapState(kTaskStateRunning, kTaskStateDying);
  } else {
    DoInit();
    do {
      if (fIsFiber) fManager->Yield();
      if (!DoRun()) {
        Kill();
        break;
      }
      VMessageQueue* queue = _GetQueue();
      _ExecuteMessages(queue != nullptr ? queue->RetainMessage() : nullptr, true);
    } while (GetState() < kTaskStateDying);
    DoDeInit();
  }
  _Exit();
}

void VTask::_Exit() {
  StopMessaging();
  if (VMessageQueue* queue = _GetQueue()) queue->CancelMessages();
  _ReleaseJSONObjects();
  DisposeAllData();
  fManager->_TaskStopped(this);
}

void VTask::_ReleaseActivityToken() {
  if (IRefCountable* token = fActivityToken.exchange(nullptr, std::memory_order_acq_rel)) {
    token->Release();
  }
}

void VTask::ReleaseCurrentActivityToken() {
  if (VTask* current = GetCurrent()) current->_ReleaseActivityToken();
}

void VTask::_SetStateDead() {
  _ReleaseActivityToken();
  std::vector<VMessageQueue*> waiters;
  fManager->Lock();
  if (fDeathWaiters != nullptr) waiters.swap(*fDeathWaiters);
  _CompareAndSwapState(kTaskStateDying, kTaskStateDead);
  fManager->fPurgeNeeded.store(true, std::memory_order_release);
  fManager->Unlock();
  for (VMessageQueue* queue : waiters) {
    queue->SetEvent();
    queue->Release();
  }
}

void VTask::Exit(VTask* task) {
  VTask* current = GetCurrent();
  // The main thread is the process: it is never ended from here.
  if (current == nullptr || current->fIsMain) return;
  const int32 state = current->GetState();
  if (state < kTaskStateRunRequested || state > kTaskStateDying) return;
  current->fState.exchange(kTaskStateDying);
  current->_Exit();
  current->fPlatformTask->Exit(task);
}

bool VTask::IsDying(int32* outTicksSinceKill) const {
  const bool dying = GetState() >= kTaskStateDying;
  if (outTicksSinceKill != nullptr) {
    *outTicksSinceKill = dying ? int32(platform::GetCurrentDeltaTicks(fKillTick.load())) : 0;
  }
  return dying;
}

uint64 VTask::GetSystemID() const {
  return fPlatformTask != nullptr ? uint64(fPlatformTask->GetThread()) : 0;
}

VTask* VTask::GetCurrent() {
  return VTaskMgr::IsInited() ? XMacTaskMgr::GetCurrentTask() : nullptr;
}

int32 VTask::GetCurrentID() { return VTaskMgr::GetCurrentTaskID(); }

bool VTask::IsCurrentMain() {
  VTask* main = VTaskMgr::IsInited() ? VTaskMgr::sInstance->GetMainTask() : nullptr;
  return GetCurrent() == main;
}

bool VTask::IsResponding() const {
  return int64(platform::GetCurrentTime() - fLastPumpTime.load()) < 1000;
}

void VTask::SetName(const VString& name) {
  fManager->Lock();
  if (fName == nullptr) {
    fName = new VString(name);
  } else {
    *fName = name;
  }
  fManager->Unlock();
  if (this == GetCurrent()) XMacTaskMgr::SetCurrentThreadName(name, fID);
}

void VTask::GetName(VString& name) const {
  fManager->Lock();
  name = fName != nullptr ? *fName : VString();
  fManager->Unlock();
}

void VTask::SetProperties(const VValueBag* properties) {
  if (properties != nullptr) properties->Retain();
  fManager->Lock();
  const VValueBag* previous = fProperties;
  fProperties = properties;
  fManager->Unlock();
  // Outside the lock: the last release destroys the bag.
  if (previous != nullptr) previous->Release();
}

const VValueBag* VTask::RetainProperties() const {
  fManager->Lock();
  const VValueBag* properties = fProperties;
  if (properties != nullptr) properties->Retain();
  fManager->Unlock();
  return properties;
}

size_t VTask::GetStackSize() {
  size_t size = fStackSize.load();
  if (size == 0) {
    size = fIsMain ? fManager->GetStackSizeForMainTask() : fManager->GetDefaultStackSize();
    fStackSize.store(size);
  }
  return size;
}

bool VTask::GetCPUUsage(double& usage) const {
  usage = 0.0;
  return fPlatformTask != nullptr && fPlatformTask->GetCPUUsage(usage);
}

bool VTask::GetCPUTimes(double& system, double& user) const {
  system = user = 0.0;
  return fPlatformTask != nullptr && fPlatformTask->GetCPUTimes(system, user);
}

bool VTask::_EnterWait(ETaskWaitState state) {
  int32 expected = kTaskWaitNone;
  return fWaitState.compare_exchange_strong(expected, state);
}

void VTask::_LeaveWait(bool entered) {
  if (entered) fWaitState.store(kTaskWaitNone);
}

void VTask::Sleep(int32 milliseconds) {
  VTask* task = GetCurrent();
  if (milliseconds >= 1) {
    if (task == nullptr) return;
    const bool entered = task->_EnterWait(kTaskWaitSleeping);
    if (task->fIsFiber) {
      std::atomic_ref<int32>(task->fFiberWakeFlag).store(0);
      task->fManager->CurrentFiberWaitFlagWithTimeout(&task->fFiberWakeFlag, 0, milliseconds);
    } else {
      task->fPlatformTask->Sleep(milliseconds);
    }
    task->_LeaveWait(entered);
    return;
  }
  if (task != nullptr && task->fIsFiber) {
    task->fManager->YieldNow();
  } else {
    sched_yield();
  }
}

void VTask::WakeUp() {
  if (fIsFiber) {
    std::atomic_ref<int32>(fFiberWakeFlag).store(1);
  } else if (fPlatformTask != nullptr) {
    fPlatformTask->WakeUp();
  }
}

void VTask::Kill() {
  VTask* current = GetCurrent();
  if (this != current) {
    // Wait for a released thread to start, so that it cannot miss the kill.
    while (GetState() == kTaskStateRunRequested) {
      if (current != nullptr && current->fIsFiber) {
        fManager->YieldNow();
      } else {
        sched_yield();
      }
    }
  }
  if (GetState() <= kTaskStateDying) DoPrepareToDie();
  const uint32 now = platform::GetCurrentTicks();
  if (_CompareAndSwapState(kTaskStateRunning, kTaskStateDying)) fKillTick.store(now);
}

bool VTask::WaitForDeath(int32 timeoutMs) {
  VTask* caller = GetCurrent();
  if (caller == this) return false;
  const uint64 start = platform::GetCurrentTime();
  VMessageQueue* registered = nullptr;
  fManager->Lock();
  if (GetState() != kTaskStateDead) {
    if (fDeathWaiters == nullptr) fDeathWaiters = new std::vector<VMessageQueue*>;
    if (caller != nullptr) {
      registered = caller->RetainMessageQueue();  // the list's reference
      fDeathWaiters->push_back(registered);
    }
  }
  fManager->Unlock();

  const bool entered = caller != nullptr && caller->_EnterWait(kTaskWaitForDeath);
  while (GetState() != kTaskStateDead) {
    const int64 elapsed = int64(platform::GetCurrentTime() - start);
    if (elapsed >= timeoutMs) break;
    if (caller != nullptr) {
      // The death signals the caller's queue and ends this wait early.
      VMessage* message = caller->_RetainMessageWithTimeout(int32(timeoutMs - elapsed), nullptr);
      caller->_ExecuteMessages(message, true);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (caller != nullptr) caller->_LeaveWait(entered);

  if (registered != nullptr) {
    bool found = false;
    fManager->Lock();
    if (fDeathWaiters != nullptr) {
      auto it = std::find(fDeathWaiters->begin(), fDeathWaiters->end(), registered);
      if (it != fDeathWaiters->end()) {
        fDeathWaiters->erase(it);
        found = true;
      }
    }
    fManager->Unlock();
    if (found) registered->Release();
  }
  return GetState() == kTaskStateDead;
}

VMessageQueue* VTask::_GetOrCreateQueue() {
  VMessageQueue* queue = _GetQueue();
  if (queue != nullptr) return queue;
  auto* fresh = new VMessageQueue;
  if (fQueue.compare_exchange_strong(queue, fresh, std::memory_order_acq_rel)) return fresh;
  fresh->Release();
  return queue;
}

bool VTask::AddMessage(VMessage* message) { return _GetOrCreateQueue()->AddMessage(message); }

VMessageQueue* VTask::RetainMessageQueue() {
  VMessageQueue* queue = _GetOrCreateQueue();
  queue->Retain();
  return queue;
}

void VTask::CancelMessages(IMessageable* target) {
  if (VMessageQueue* queue = _GetQueue()) queue->CancelMessages(target);
}

int32 VTask::CountMessagesFor(IMessageable* target) const {
  VMessageQueue* queue = _GetQueue();
  return queue != nullptr ? queue->CountMessagesFor(target) : 0;
}

bool VTask::IsAnyMessagePending() const {
  VMessageQueue* queue = _GetQueue();
  return queue != nullptr && !queue->IsEmpty();
}

uint32 VTask::GetMessageQueueStamp() const {
  VMessageQueue* queue = _GetQueue();
  return queue != nullptr ? queue->GetStamp() : 0;
}

void VTask::SetMessageQueueEvent() {
  VMessageQueue* queue = _GetOrCreateQueue();
  fQueueWakeCounter.fetch_add(1);
  queue->SetEvent();
}

bool VTask::ExecuteMessages(bool allowIdle) {
  VTask* task = GetCurrent();
  if (task == nullptr) return false;
  VMessageQueue* queue = task->_GetQueue();
  return task->_ExecuteMessages(queue != nullptr ? queue->RetainMessage() : nullptr, allowIdle);
}

bool VTask::ExecuteMessagesWithTimeout(int32 timeoutMs, bool allowIdle) {
  VTask* task = GetCurrent();
  if (task == nullptr) return false;
  return task->_ExecuteMessages(task->_RetainMessageWithTimeout(timeoutMs, nullptr), allowIdle);
}

VMessage* VTask::RetainMessageWithTimeout(int32 timeoutMs) {
  VTask* task = GetCurrent();
  return task != nullptr ? task->_RetainMessageWithTimeout(timeoutMs, nullptr) : nullptr;
}

void VTask::WaitAndExecuteMessages(int32 timeoutMs, bool* outTimedOut) {
  auto report = [outTimedOut](bool timedOut) {
    if (outTimedOut != nullptr) *outTimedOut = timedOut;
  };
  VTask* task = GetCurrent();
  if (task == nullptr || timeoutMs < 1) {
    report(true);
    return;
  }
  const uint32 wakeCounter = task->fQueueWakeCounter.load();
  const uint64 start = platform::GetCurrentTime();
  while (task->GetState() < kTaskStateDying) {
    if (task->fQueueWakeCounter.load() != wakeCounter) break;
    const int64 elapsed = int64(platform::GetCurrentTime() - start);
    const int32 slice = int32(std::min<int64>(timeoutMs - elapsed, 1000));
    bool timedOut = false;
    VMessage* message = task->_RetainMessageWithTimeout(slice, &timedOut);
    if (message == nullptr && !timedOut) break;  // woken without a message
    task->_ExecuteMessages(message, true);
    if (int64(platform::GetCurrentTime() - start) >= timeoutMs) {
      report(message != nullptr || timedOut);
      return;
    }
  }
  report(false);
}

void VTask::WaitAndExecuteMessages() {
  VTask* task = GetCurrent();
  if (task == nullptr || task->IsDying()) return;
  const uint32 wakeCounter = task->fQueueWakeCounter.load();
  while (task->GetState() < kTaskStateDying && task->fQueueWakeCounter.load() == wakeCounter) {
    bool timedOut = false;
    VMessage* message = task->_RetainMessageWithTimeout(1000, &timedOut);
    if (message == nullptr && !timedOut) return;
    task->_ExecuteMessages(message, true);
  }
}

VMessage* VTask::_RetainMessageWithTimeout(int32 timeoutMs, bool* outTimedOut) {
  IFiberScheduler* scheduler = fManager->RetainFiberScheduler();
  if (scheduler != nullptr) scheduler->SetDirectUpdateAllowedEvenIfWaitingForFlag(true);
  const bool entered = _EnterWait(kTaskWaitForMessage);
  VMessage* message = _GetOrCreateQueue()->RetainMessageWithTimeout(timeoutMs, outTimedOut);
  _LeaveWait(entered);
  if (scheduler != nullptr) {
    scheduler->SetDirectUpdateAllowedEvenIfWaitingForFlag(false);
    scheduler->Release();
  }
  return message;
}

bool VTask::_ExecuteMessages(VMessage* first, bool allowIdle) {
  if (first != nullptr) {
    for (VMessage* message = first; message != nullptr;) {
      {
        // A message's errors are its own: dropped when it is done.
        StErrorContextInstaller errorContext(false, false);
        message->Execute();
        message->Release();
      }
      VMessageQueue* queue = _GetQueue();
      message = queue != nullptr ? queue->RetainMessage() : nullptr;
    }
    fLastPumpTime.store(platform::GetCurrentTime());
    return true;
  }
  if (allowIdle && !fInIdle && platform::GetCurrentDeltaTicks(fLastIdleTick) > fIdleInterval) {
    _CheckIdleEvents();
  }
  fLastPumpTime.store(platform::GetCurrentTime());
  return false;
}

bool VTask::_CheckIdleEvents() {
  fInIdle = true;
  fLastIdleTick = platform::GetCurrentTicks();
  DoIdle();
  CallIdlers();
  fManager->_CheckDelayedMessages();
  fInIdle = false;
  return true;
}

void VTask::RegisterIdler(IIdleable* idler) {
  if (idler == nullptr) return;
  fManager->Lock();
  if (std::find(fIdlers.begin(), fIdlers.end(), idler) == fIdlers.end()) fIdlers.push_back(idler);
  fIdlersUnchanged = false;
  fManager->Unlock();
}

void VTask::UnregisterIdler(IIdleable* idler) {
  if (idler == nullptr) return;
  const bool own = this == GetCurrent();
  fManager->Lock();
  auto it = std::find(fIdlers.begin(), fIdlers.end(), idler);
  if (it != fIdlers.end()) fIdlers.erase(it);
  fIdlersUnchanged = false;
  // From another task: the idle pass may be inside this idler right now.
  while (!own && fCallingIdler == idler) {
    fManager->Unlock();
    std::this_thread::yield();
    fManager->Lock();
  }
  fManager->Unlock();
}

bool VTask::HasIdler(const IIdleable* idler) const {
  fManager->Lock();
  const bool has = std::find(fIdlers.begin(), fIdlers.end(), idler) != fIdlers.end();
  fManager->Unlock();
  return has;
}

void VTask::CallIdlers() {
  if (this != GetCurrent()) return;
  fManager->Lock();
  std::vector<IIdleable*> idlers = fIdlers;
  fIdlersUnchanged = true;
  fManager->Unlock();
  for (IIdleable* idler : idlers) {
    fManager->Lock();
    if (!fIdlersUnchanged) {
      fManager->Unlock();
      break;
    }
    fCallingIdler = idler;
    fManager->Unlock();
    idler->Idle();
    fManager->Lock();
    fCallingIdler = nullptr;
    fManager->Unlock();
  }
}

VErrorTaskContext* VTask::GetErrorContext(bool create) {
  VTask* task = GetCurrent();
  if (task == nullptr) return nullptr;
  if (task->fErrorContext == nullptr && create) {
    try {
      task->fErrorContext = new VErrorTaskContext;
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return task->fErrorContext;
}

bool VTask::PushError(VErrorBase* error) {
  if (error == nullptr) return false;
  VErrorTaskContext* stack = GetErrorContext(true);
  if (stack == nullptr) return false;
  bool silent = false;
  const bool pushed = stack->PushError(error, &silent);
  // Errors that no level silences are the debug manager's to report.
  if (!silent) VDebugMgr::Get().ErrorThrown(error);
  return pushed;
}

bool VTask::PushRetainedError(VErrorBase* error) {
  const bool pushed = PushError(error);
  if (error != nullptr) error->Release();
  return pushed;
}

void VTask::PushErrors(const VErrorContext* context) {
  if (context == nullptr || context->IsEmpty()) return;
  if (VErrorTaskContext* stack = GetErrorContext(true)) stack->PushErrorsFromContext(context);
}

void VTask::FlushErrors() {
  if (VErrorTaskContext* stack = GetErrorContext(false)) stack->Flush();
}

VError VTask::GetLastError() const {
  return fErrorContext != nullptr ? fErrorContext->GetLastError() : VE_OK;
}

bool VTask::FailedForMemory() const {
  return fErrorContext != nullptr && fErrorContext->FailedForMemory();
}

VIntlMgr* VTask::GetCurrentIntlManager() {
  // The task's own settings, else the process's default ones.
  VTask* task = GetCurrent();
  if (task != nullptr && task->fIntlMgr != nullptr) return task->fIntlMgr;
  return VIntlMgr::GetProcessDefault();
}

void VTask::SetCurrentIntlManager(VIntlMgr* intl) {
  if (VTask* task = GetCurrent()) task->_InstallIntlSettings(intl);
}

void VTask::SetCurrentDialectCode(DialectCode dialect, uint8 options) {
  VIntlMgr* intl = VIntlMgr::Create(dialect, dialect, options);
  if (intl == nullptr) return;
  if (VTaskMgr::IsInited()) SetCurrentIntlManager(intl);
  intl->Release();
}

UniChar VTask::GetWildChar() {
  VIntlMgr* intl = GetCurrentIntlManager();
  return intl != nullptr ? intl->GetWildChar() : UniChar(u'@');
}

void* VTask::GetCurrentData(size_t key) {
  VTask* task = GetCurrent();
  if (task == nullptr || key == 0 || key > task->fData.size()) return nullptr;
  return task->fData[key - 1];
}

void VTask::SetCurrentData(size_t key, void* value) {
  VTask* task = GetCurrent();
  // Only keys the manager handed out: a wild key must not grow the slots.
  if (task == nullptr || !task->fManager->CheckDataKey(key)) return;
  if (task->fData.size() < key) task->fData.resize(key, nullptr);
  task->fData[key - 1] = value;
}

void VTask::DisposeAllData() {
  std::vector<void*> data;
  data.swap(fData);
  fManager->DisposeData(data.data(), data.data() + data.size());
}

}  // namespace zeft
