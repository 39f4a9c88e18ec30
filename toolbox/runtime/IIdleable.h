// IIdleable is an object whose DoIdle a task calls whenever it has nothing
// else to do; it is registered with at most one task at a time.
#pragma once

#include <atomic>

namespace zeft {

class VTask;

class IIdleable {
 public:
  IIdleable() = default;
  // Unregisters from its task, from whatever task it is destroyed on. A
  // derived class whose DoIdle uses its own members calls StopIdling in its
  // own destructor, so that no idle pass reaches a half-destroyed object.
  virtual ~IIdleable();

  IIdleable(const IIdleable&) = delete;
  IIdleable& operator=(const IIdleable&) = delete;

  // Registers with `task` (none for null), leaving the previous task.
  void StartIdling(VTask* task);
  // Registers with the calling task.
  void StartIdling();
  // Leaves the task; returns once no idle pass is calling this object.
  void StopIdling();
  // Calls DoIdle while idling.
  void Idle();

  bool IsIdling() const { return fIdling.load(std::memory_order_acquire); }
  VTask* GetIdlingTask() const { return fTask; }

 protected:
  virtual void DoIdle() {}

 private:
  friend class XIdleMessage;
  VTask* fTask = nullptr;  // retained while registered
  std::atomic<bool> fIdling{false};
};

}  // namespace zeft
