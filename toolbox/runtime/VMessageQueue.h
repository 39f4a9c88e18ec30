// VMessageQueue is the first-in first-out queue of one task's messages, with
// coalescing of equal signatures and an event that wakes the task.
#pragma once

#include <deque>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class IMessageable;
class VMessage;
class VSyncEvent;

class VMessageQueue : public VObject, public IRefCountable {
 public:
  VMessageQueue();
  // Releases the messages still queued without executing or aborting them.
  ~VMessageQueue() override;

  VMessageQueue(const VMessageQueue&) = delete;
  VMessageQueue& operator=(const VMessageQueue&) = delete;

  // Queues (retains) the message; false when a queued one coalesced it away.
  bool AddMessage(VMessage* message);
  // The first message (the queue's reference goes to the caller) or null.
  VMessage* RetainMessage();
  // Waits at most `timeoutMs` ms for a message; null on time-out or when
  // SetEvent woke the queue without one (then *timedOut is false).
  VMessage* RetainMessageWithTimeout(int32 timeoutMs, bool* timedOut);
  // Wakes a task waiting on the queue without giving it a message.
  void SetEvent();

  // Removes and aborts the target's messages (every message for the second
  // form), keeping the order of the others.
  void CancelMessages(IMessageable* target);
  void CancelMessages();
  // Removes that message without aborting it; whether it was queued.
  bool RemoveMessage(VMessage* message);

  int32 CountMessages() const;
  int32 CountMessagesFor(IMessageable* target) const;
  bool IsEmpty() const;
  uint32 GetStamp() const;

 private:
  VMessage* _TakeFirst();
  void _ResetEventIfIdle();
  void _Cancel(IMessageable* target, bool all);

  std::deque<VMessage*> fMessages;
  mutable VCriticalSection fLock;
  VSyncEvent* fEvent;
  uint32 fStamp = 0;
  int32 fWaiters = 0;
  bool fWakeUpPending = false;
};

}  // namespace zeft
