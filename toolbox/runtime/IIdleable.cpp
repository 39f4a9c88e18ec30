#include "runtime/IIdleable.h"

#include "runtime/VTask.h"

namespace zeft {

IIdleable::~IIdleable() { StopIdling(); }

void IIdleable::StartIdling(VTask* task) {
  fIdling.store(true, std::memory_order_release);
  if (task == fTask) return;
  VTask* old = fTask;
  if (old != nullptr) old->UnregisterIdler(this);
  if (task != nullptr) task->Retain();
  fTask = task;
  if (task != nullptr) task->RegisterIdler(this);
  if (old != nullptr) old->Release();
}

void IIdleable::StartIdling() { StartIdling(VTask::GetCurrent()); }

void IIdleable::StopIdling() {
  // Cleared even without a task: an idle-message chain started for no task
  // must be stoppable too.
  fIdling.store(false, std::memory_order_release);
  VTask* task = fTask;
  if (task == nullptr) return;
  // Works from any task: the idler leaves its owner's list under the
  // manager's lock, and waits out a call in progress on that task.
  task->UnregisterIdler(this);
  fTask = nullptr;
  task->Release();
}

void IIdleable::Idle() {
  if (IsIdling()) DoIdle();
}

}  // namespace zeft
