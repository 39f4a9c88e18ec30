#include "runtime/VMessage.h"

#include <algorithm>

#include "platform/Clock.h"
#include "runtime/IMessageable.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VMessagingContext.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

namespace {

// The task that executes the context's messages, retained, when the context
// may receive messages now; else null.
VTask* RetainValidTask(VMessagingContext* context) {
  if (context == nullptr || !context->IsActive() || context->GetTarget() == nullptr) return nullptr;
  const int32 taskID = context->GetMessagingTask();
  if (taskID == 0 || !VTaskMgr::IsInited()) return nullptr;
  return VTaskMgr::sInstance->RetainTaskByID(taskID);
}

}  // namespace

VMessage::~VMessage() {
  if (VMessagingContext* context = fContext.exchange(nullptr)) context->Release();
  if (VSyncEvent* event = fWaitEvent.exchange(nullptr)) event->Release();
  if (VMessageQueue* queue = fReplyQueue.exchange(nullptr)) queue->Release();
}

IMessageable* VMessage::GetTarget() const {
  VMessagingContext* context = fContext.load(std::memory_order_acquire);
  if (context == nullptr) context = fExecutingContext.load(std::memory_order_acquire);
  return context != nullptr ? context->GetTarget() : nullptr;
}

void VMessage::DoExecute() {
  if (IMessageable* target = GetTarget()) target->DoMessage(*this);
}

bool VMessage::_Install(VMessagingContext* context) {
  VMessagingContext* expected = nullptr;
  return fContext.compare_exchange_strong(expected, context, std::memory_order_acq_rel);
}

void VMessage::_RunHere(VMessagingContext* context) {
  fExecutingContext.store(context, std::memory_order_release);
  DoExecute();
  fExecutingContext.store(nullptr, std::memory_order_release);
  AnswerIt();
}

void VMessage::_RemoveFromQueueOf(VTask* task) {
  // A message given up on must not stay queued: sent again elsewhere, the
  // stale entry would run it on the wrong task.
  if (VMessageQueue* queue = task->_GetQueue()) queue->RemoveMessage(this);
}

bool VMessage::SendTo(IMessageable* target, int32 timeoutMs) {
  if (target == nullptr || IsInFlight()) return false;
  VMessagingContext* context = target->RetainMessagingContext();
  return context != nullptr && _Send(context, timeoutMs, false);
}

bool VMessage::SendTo(IMessageable* target) {
  if (target == nullptr || IsInFlight()) return false;
  VMessagingContext* context = target->RetainMessagingContext();
  return context != nullptr && _Send(context, 0, true);
}

bool VMessage::_Send(VMessagingContext* context, int32 timeoutMs, bool withoutLimit) {
  fAnswered.store(false);
  fAborted.store(false);
  VTask* task = RetainValidTask(context);
  if (task == nullptr || !_Install(context)) {
    context->Release();
    if (task != nullptr) task->Release();
    return false;
  }
  bool result = false;
  if (task->GetID() == VTaskMgr::GetCurrentTaskID()) {
    _RunHere(context);
    result = true;
  } else {
    auto* event = new VSyncEvent;
    fWaitEvent.store(event, std::memory_order_release);
    if (task->AddMessage(this)) {
      VTask* caller = VTask::GetCurrent();
      const bool entered = caller != nullptr && caller->_EnterWait(kTaskWaitForMessageExecution);
      const bool signalled = withoutLimit ? event->Lock() : event->Lock(timeoutMs);
      if (!signalled) {
        if (VMessagingContext* taken = fContext.exchange(nullptr)) {
          // It never started: it is given up.
          fAborted.store(true);
          taken->Release();
          _RemoveFromQueueOf(task);
        } else {
          // It is executing: never return while it runs.
          event->Lock();
          result = !Aborted();
        }
      } else {
        result = !Aborted();
      }
      if (caller != nullptr) caller->_LeaveWait(entered);
    }
  }
  if (VMessagingContext* left = fContext.exchange(nullptr)) left->Release();
  if (VSyncEvent* event = fWaitEvent.exchange(nullptr)) event->Release();
  task->Release();
  return result;
}

bool VMessage::_Post(VMessagingContext* context, bool executeNowIfSameTask) {
  fAnswered.store(false);
  fAborted.store(false);
  VTask* task = RetainValidTask(context);
  if (task == nullptr || !_Install(context)) {
    context->Release();
    if (task != nullptr) task->Release();
    return false;
  }
  bool result = true;
  if (executeNowIfSameTask && task->GetID() == VTaskMgr::GetCurrentTaskID()) {
    _RunHere(context);
    if (VMessagingContext* taken = fContext.exchange(nullptr)) taken->Release();
  } else if (!task->AddMessage(this)) {
    if (VMessagingContext* taken = fContext.exchange(nullptr)) taken->Release();
    result = false;
  }
  task->Release();
  return result;
}

bool VMessage::PostTo(IMessageable* target, bool executeNowIfSameTask, int32 delayMs) {
  if (target == nullptr) return false;
  if (IsInFlight()) return true;
  VMessagingContext* context = target->RetainMessagingContext();
  if (context == nullptr) return false;
  if (delayMs == 0) return _Post(context, executeNowIfSameTask);
  const bool result = SendOrPostTo(context, delayMs, false, false, 0);
  context->Release();
  return result;
}

bool VMessage::SendOrPostTo(VMessagingContext* context, int32 delayMs, bool executeNowIfSameTask,
                            bool send, int32 timeoutMs) {
  if (context == nullptr || IsInFlight()) return false;
  if (delayMs != 0) {
    fAnswered.store(false);
    VTask* task = RetainValidTask(context);
    if (task == nullptr) return false;
    task->Release();
    context->Retain();
    if (!_Install(context)) {
      context->Release();
      return false;
    }
    return VTaskMgr::sInstance->RegisterDelayedMessage(this, delayMs);
  }
  context->Retain();
  return send ? _Send(context, timeoutMs, false) : _Post(context, executeNowIfSameTask);
}

bool VMessage::PostToAndWaitExecutingMessages(IMessageable* target, int32 timeoutMs) {
  return _PostAndWait(target, timeoutMs, false);
}

bool VMessage::PostToAndWaitExecutingMessages(IMessageable* target) {
  return _PostAndWait(target, 0, true);
}

bool VMessage::_PostAndWait(IMessageable* target, int32 timeoutMs, bool withoutLimit) {
  VTask* caller = VTask::GetCurrent();
  if (caller == nullptr || target == nullptr || IsInFlight()) return false;
  VMessageQueue* replyQueue = caller->RetainMessageQueue();
  if (VMessageQueue* old = fReplyQueue.exchange(replyQueue)) old->Release();
  const uint64 start = platform::GetCurrentTime();

  VMessagingContext* context = target->RetainMessagingContext();
  VTask* targetTask = RetainValidTask(context);
  const bool posted = context != nullptr && _Post(context, true);
  if (posted && !Answered()) {
    const bool entered = caller->_EnterWait(kTaskWaitForMessageExecution);
    do {
      const int64 remaining =
          withoutLimit ? 1000 : timeoutMs - int64(platform::GetCurrentTime() - start);
      if (remaining <= 0) break;
      VTask::ExecuteMessagesWithTimeout(int32(std::min<int64>(remaining, 1000)), true);
      if (Answered() || Aborted()) break;
    } while (caller->GetState() < kTaskStateDying);
    caller->_LeaveWait(entered);
  }
  // A failed post never runs: there is nothing to wait for.
  if (posted) {
    if (VMessagingContext* taken = fContext.exchange(nullptr)) {
      fAborted.store(true);
      taken->Release();
      if (targetTask != nullptr) _RemoveFromQueueOf(targetTask);
    } else {
      while (!Answered() && !Aborted()) VTask::Sleep(10);
    }
  }
  if (targetTask != nullptr) targetTask->Release();
  if (VSyncEvent* event = fWaitEvent.exchange(nullptr)) event->Release();
  if (VMessageQueue* queue = fReplyQueue.exchange(nullptr)) queue->Release();
  return Answered();
}

void VMessage::RePost() {
  VMessagingContext* context = fContext.exchange(nullptr);
  if (context == nullptr) return;
  VTask* task = RetainValidTask(context);
  if (task != nullptr && _Install(context)) {
    if (!task->AddMessage(this)) {
      if (VMessagingContext* taken = fContext.exchange(nullptr)) taken->Release();
    }
  } else {
    context->Release();
  }
  if (task != nullptr) task->Release();
}

bool VMessage::ActivateContext(IMessageable* target) {
  VMessagingContext* context = target != nullptr ? target->RetainMessagingContext() : nullptr;
  if (VMessagingContext* old = fContext.exchange(context)) old->Release();
  return context != nullptr;
}

void VMessage::_SignalWaiters() {
  // References held across the signal: a woken sender may drop its own.
  if (VSyncEvent* event = fWaitEvent.load(std::memory_order_acquire)) {
    event->Retain();
    event->Unlock();
    event->Release();
  }
  if (VMessageQueue* queue = fReplyQueue.load(std::memory_order_acquire)) {
    queue->Retain();
    queue->SetEvent();
    queue->Release();
  }
}

void VMessage::Execute() {
  VMessagingContext* context = fContext.exchange(nullptr);
  if (context == nullptr) return;
  _RunHere(context);
  _SignalWaiters();
  context->Release();
}

void VMessage::Abort() {
  VMessagingContext* context = fContext.exchange(nullptr);
  if (context == nullptr) return;
  fAborted.store(true);
  _SignalWaiters();
  context->Release();
}

}  // namespace zeft
