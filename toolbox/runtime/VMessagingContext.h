// VMessagingContext is the record a receiver shares with the messages
// addressed to it, so that a message still in flight never reaches a
// receiver that was destroyed or stopped messaging.
#pragma once

#include <atomic>

#include "core/IRefCountable.h"
#include "core/VObject.h"

namespace zeft {

class IMessageable;

class VMessagingContext : public VObject, public IRefCountable {
 public:
  // Target `target`, the calling task as messaging task, active.
  explicit VMessagingContext(IMessageable* target);

  // The task that executes the target's messages; 0 without a target.
  int32 GetMessagingTask() const;
  void SetMessagingTask(int32 taskID) { fTaskID.store(taskID, std::memory_order_release); }
  IMessageable* GetTarget() const { return fTarget.load(std::memory_order_acquire); }
  bool IsActive() const { return fActive.load(std::memory_order_acquire); }

 private:
  friend class IMessageable;
  std::atomic<IMessageable*> fTarget;
  std::atomic<int32> fTaskID;
  std::atomic<bool> fActive{true};
};

}  // namespace zeft
