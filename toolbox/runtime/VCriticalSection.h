// VCriticalSection is the toolbox's lock: re-entrant for the task that holds
// it (not the thread), one atomic operation to take and one to leave when no
// other task contends, and an event to sleep on only while two tasks really
// contend.
#pragma once

#include <atomic>
#include <type_traits>

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
  // Bit 31 of a state word guards the fields beside it; shared with
  // VConditionVariable.
  static constexpr uint32 kSpinBit = 0x80000000u;
  template <class Word>
  static void _TakeSpin(std::atomic<Word>& state);
  template <class Word>
  static void _ReleaseSpin(std::atomic<Word>& state, std::type_identity_t<Word> value);

  // The state word: the owner's task ID in the high half (0: free), and in
  // the low half the spin bit, whether fEvent is set, and the owner's
  // recursion count. Taking a free section and leaving its last level when
  // no task waits are one compare-and-swap each.
  static constexpr uint64 kEventBit = 0x40000000u;
  static constexpr uint64 kCountMask = 0x3FFFFFFFu;
  static constexpr uint64 OwnerBits(int32 owner) { return uint64(uint32(owner)) << 32; }
  static constexpr int32 OwnerOf(uint64 state) { return int32(uint32(state >> 32)); }

  bool _LockContended(int32 me);
  bool _UnlockContended();

  // Guarded by the spin bit.
  VSyncEvent* fEvent = nullptr;
  mutable std::atomic<uint64> fState{0};
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
