// VMessage is a reference-counted unit of work executed on the receiver's
// task: sent (the caller waits), posted (queued), posted with a delay, or
// posted while the caller keeps executing its own messages.
#pragma once

#include <atomic>

#include "core/IRefCountable.h"
#include "core/VObject.h"

namespace zeft {

class IMessageable;
class VMessageQueue;
class VMessagingContext;
class VSyncEvent;
class VTask;

class VMessage : public VObject, public IRefCountable {
 public:
  VMessage() = default;
  ~VMessage() override;

  VMessage(const VMessage&) = delete;
  VMessage& operator=(const VMessage&) = delete;

  // Delivers and waits until executed (at most `timeoutMs` ms for the first
  // form); true when it executed and was not aborted.
  bool SendTo(IMessageable* target, int32 timeoutMs);
  bool SendTo(IMessageable* target);
  // Queues on the target's task (or runs it now when `executeNowIfSameTask`
  // and the target's task is the caller). A delay other than 0 holds it in
  // the task manager until due. True at once for a message in flight.
  bool PostTo(IMessageable* target, bool executeNowIfSameTask = false, int32 delayMs = 0);
  // Posts and executes the calling task's own messages until this one has
  // executed (at most `timeoutMs` ms for the first form); whether answered.
  bool PostToAndWaitExecutingMessages(IMessageable* target, int32 timeoutMs);
  bool PostToAndWaitExecutingMessages(IMessageable* target);
  // Delivers to a context the caller already holds (not consumed).
  bool SendOrPostTo(VMessagingContext* context, int32 delayMs, bool executeNowIfSameTask, bool send,
                    int32 timeoutMs);

  // Puts a message back on its target's queue (delayed messages that are due).
  void RePost();
  // Installs the target's context (none when it has none); whether it has one.
  bool ActivateContext(IMessageable* target);

  // Executed by the task that took it from its queue; does nothing when
  // someone else already executed or aborted it.
  void Execute();
  void Abort();

  bool Answered() const { return fAnswered.load(std::memory_order_acquire); }
  void AnswerIt() { fAnswered.store(true, std::memory_order_release); }
  bool Aborted() const { return fAborted.load(std::memory_order_acquire); }
  bool IsInFlight() const { return fContext.load(std::memory_order_acquire) != nullptr; }

  // The target's context while the message is in flight (not retained).
  VMessagingContext* GetContext() const { return fContext.load(std::memory_order_acquire); }
  // The target while the message is in flight, else null.
  IMessageable* GetTarget() const;

  // 0 (the default) never coalesces.
  virtual uint32 GetCoalescingSignature() const { return 0; }
  // Called on a queued message when a newer one with the same signature
  // arrives; whether the newer one must still be queued.
  virtual bool DoCoalesce(const VMessage& newer) { return true; }

 protected:
  // The work. The default hands the message to its target's DoMessage.
  virtual void DoExecute();

 private:
  friend class VFunctionMessage;
  friend class VMessageQueue;

  bool _Send(VMessagingContext* context, int32 timeoutMs, bool withoutLimit);
  bool _Post(VMessagingContext* context, bool executeNowIfSameTask);
  bool _PostAndWait(IMessageable* target, int32 timeoutMs, bool withoutLimit);
  void _SignalWaiters();
  bool _Install(VMessagingContext* context);
  void _RunHere(VMessagingContext* context);
  void _RemoveFromQueueOf(VTask* task);

  std::atomic<VMessagingContext*> fContext{nullptr};
  // The context while DoExecute runs, so that GetTarget answers there too.
  std::atomic<VMessagingContext*> fExecutingContext{nullptr};
  std::atomic<VSyncEvent*> fWaitEvent{nullptr};
  std::atomic<VMessageQueue*> fReplyQueue{nullptr};
  std::atomic<bool> fAnswered{false};
  std::atomic<bool> fAborted{false};
};

}  // namespace zeft
