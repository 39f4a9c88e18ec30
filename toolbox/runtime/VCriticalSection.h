// VCriticalSection is the toolbox's lock: re-entrant for the task that holds
// it (not the thread), one atomic operation when free, and an event to sleep
// on only while two tasks really contend.
#pragma once

#include <atomic>

#include "core/VTypes.h"

namespace zeft {

class VSyncEvent;

class VCriticalSection {
 public:
  VCriticalSection() noexcept = default;
  // Releases every level still held.
  ~VCriticalSection();

  VCriticalSection(const VCriticalSection&) = delete;
  VCriticalSection& operator=(const VCriticalSection&) = delete;

  // Takes the lock, waiting as long as needed; re-entrant for the owning
  // task. Always true.
  bool Lock();
  // Takes the lock when it is free or already the caller's; false at once
  // when another task holds it.
  bool TryToLock();
  // Leaves one level (owner only); the last level wakes every waiter.
  bool Unlock();

  // Diagnostics: stale as soon as another task acts on the lock.
  int32 GetOwnerTaskID() const;
  uint32 GetUseCount() const;
  bool HasWaitEvent() const;

 private:
  friend class VConditionVariable;
  static constexpr uint32 kSpinBit = 0x80000000u;
  static constexpr uint32 kCountMask = 0x7FFFFFFFu;

  // Bit 31 of the state word guards the fields; shared with VConditionVariable.
  static void _TakeSpin(std::atomic<uint32>& state);
  static void _ReleaseSpin(std::atomic<uint32>& state, uint32 value);

  VSyncEvent* fEvent = nullptr;
  int32 fOwner = 0;
  // Bits 0-30: the owner's recursion count; bit 31: spin bit.
  mutable std::atomic<uint32> fState{0};
};

// Holds a lock (anything with Lock/Unlock) for a scope.
template <class T>
class StLocker {
 public:
  explicit StLocker(T* lock) : fLock(lock) {
    if (fLock != nullptr) fLock->Lock();
  }
  explicit StLocker(T& lock) : StLocker(&lock) {}
  ~StLocker() {
    if (fLock != nullptr) fLock->Unlock();
  }
  StLocker(const StLocker&) = delete;
  StLocker& operator=(const StLocker&) = delete;

 private:
  T* fLock;
};

}  // namespace zeft
