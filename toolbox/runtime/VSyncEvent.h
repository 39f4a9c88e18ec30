// VSyncEvent is the event tasks wait on: a manual-reset flag that stays open
// from Unlock to Reset, waited on with or without a time-out, by tasks on
// their own threads and by fiber tasks alike.
#pragma once

#include <pthread.h>

#include <atomic>

#include "core/IRefCountable.h"
#include "core/VTypes.h"

namespace zeft {

class VSyncEvent : public IRefCountable {
 public:
  // A new event is locked (closed).
  VSyncEvent();
  ~VSyncEvent() override;

  VSyncEvent(const VSyncEvent&) = delete;
  VSyncEvent& operator=(const VSyncEvent&) = delete;

  // Waits until the event is open; returns true.
  bool Lock();
  // Waits at most `timeoutMs` ms; true when the event is open. A time-out
  // below 1 only reports the flag.
  bool Lock(int32 timeoutMs);
  // Opens the event and wakes every waiter; it stays open until Reset.
  bool Unlock();
  // Closes the event.
  bool Reset();

  bool IsUnlocked() const { return fUnlocked.load(std::memory_order_acquire); }

 private:
  static bool _CurrentTaskIsFiber();
  int32 _ReadStamp() const;

  std::atomic<int32> fFiberWaiters{0};
  pthread_mutex_t fMutex;
  pthread_cond_t fCondition;
  std::atomic<bool> fUnlocked{false};
  // Bumped at every Unlock; fibers wait for it to change. Plain int because
  // the fiber scheduler's wait takes an int*; always accessed atomically.
  alignas(std::atomic_ref<int32>::required_alignment) int32 fStamp = 0;
};

}  // namespace zeft
