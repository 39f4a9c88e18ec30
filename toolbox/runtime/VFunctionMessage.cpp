#include "runtime/VFunctionMessage.h"

#include "runtime/VMessagingContext.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

void VFunctionMessage::DoExecute() {
  if (fFunction) fFunction();
}

namespace {

void PostLater(VTask* task, std::function<void()>&& function) {
  auto* message = new VFunctionMessage(std::move(function));
  if (VMessagingContext* context = task->RetainMessagingContext()) {
    message->SendOrPostTo(context, 0, false, false, 0);
    context->Release();
  }
  message->Release();
}

void PostAndWait(VTask* task, std::function<void()>&& function) {
  auto* message = new VFunctionMessage(std::move(function));
  if (VTask::GetCurrent() != nullptr) {
    message->PostToAndWaitExecutingMessages(task);
  } else {
    // A thread without a task has no messages to pump: it only waits.
    message->SendTo(task);
  }
  message->Release();
}

VTask* MainTask() { return VTaskMgr::IsInited() ? VTaskMgr::sInstance->GetMainTask() : nullptr; }

}  // namespace

void VFunctionMessage::PostFunctionTo(VTask* task, std::function<void()>&& function) {
  if (task != nullptr) PostLater(task, std::move(function));
}

void VFunctionMessage::PostToAndWait(VTask* task, std::function<void()>&& function) {
  if (task != nullptr) PostAndWait(task, std::move(function));
}

void VFunctionMessage::PostToMainTask(std::function<void()>&& function, bool runHere) {
  if (runHere) {
    if (function) function();
    return;
  }
  if (VTask* main = MainTask()) PostLater(main, std::move(function));
}

void VFunctionMessage::PostToMainTaskAndWait(std::function<void()>&& function, bool runHere) {
  if (runHere || VTask::IsCurrentMain()) {
    if (function) function();
    return;
  }
  if (VTask* main = MainTask()) PostAndWait(main, std::move(function));
}

}  // namespace zeft
