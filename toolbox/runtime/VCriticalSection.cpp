#include "runtime/VCriticalSection.h"

#include <sched.h>

#include <algorithm>

#include "process/VSystem.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

template <class Word>
void VCriticalSection::_TakeSpin(std::atomic<Word>& state) {
  if ((state.fetch_or(kSpinBit, std::memory_order_acq_rel) & kSpinBit) == 0) return;
  // The spin bit is held for a few instructions only: yield first, then
  // sleep, so that a preempted holder gets the processor back.
  const uint32 yields = std::max<uint32>(8, VSystem::GetNumberOfLogicalProcessors());
  for (uint32 attempt = 1;; ++attempt) {
    VTask::Sleep(attempt < yields ? 0 : 1);
    if ((state.fetch_or(kSpinBit, std::memory_order_acq_rel) & kSpinBit) == 0) return;
  }
}

template <class Word>
void VCriticalSection::_ReleaseSpin(std::atomic<Word>& state, std::type_identity_t<Word> value) {
  // The release store publishes the fields to the next holder, which takes
  // the bit with an acquiring read-modify-write: no full fence is needed.
  state.store(value & ~Word(kSpinBit), std::memory_order_release);
}

template void VCriticalSection::_TakeSpin(std::atomic<uint32>&);
template void VCriticalSection::_ReleaseSpin(std::atomic<uint32>&, uint32);

VCriticalSection::~VCriticalSection() {
  while (GetUseCount() != 0) Unlock();
}

bool VCriticalSection::Lock() {
  const int32 me = VTaskMgr::GetCurrentTaskID();
  uint64 state = 0;
  if (fState.compare_exchange_strong(state, OwnerBits(me) | 1, std::memory_order_acquire,
                                     std::memory_order_relaxed)) {
    return true;
  }
  // Another level for the owner, while no task holds the spin bit.
  if (OwnerOf(state) == me && (state & kSpinBit) == 0 &&
      fState.compare_exchange_strong(state, state + 1, std::memory_order_acquire,
                                     std::memory_order_relaxed)) {
    return true;
  }
  return _LockContended(me);
}

bool VCriticalSection::_LockContended(int32 me) {
  _TakeSpin(fState);
  uint64 state = fState.load(std::memory_order_relaxed);
  while (OwnerOf(state) != 0) {
    if (OwnerOf(state) == me) {
      _ReleaseSpin(fState, state + 1);
      return true;
    }
    if (fEvent != nullptr) {
      VSyncEvent* event = fEvent;
      event->Retain();
      _ReleaseSpin(fState, state);
      event->Lock();
      event->Release();
      _TakeSpin(fState);
      state = fState.load(std::memory_order_relaxed);
      continue;
    }
    _ReleaseSpin(fState, state);
    VSyncEvent* fresh = new VSyncEvent;
    _TakeSpin(fState);
    state = fState.load(std::memory_order_relaxed);
    if (OwnerOf(state) == 0) {
      _ReleaseSpin(fState, (state & ~OwnerBits(-1)) + OwnerBits(me) + 1);
      fresh->Release();
      return true;
    }
    if (fEvent != nullptr) {
      _ReleaseSpin(fState, state);
      fresh->Release();
      sched_yield();
      _TakeSpin(fState);
      state = fState.load(std::memory_order_relaxed);
      continue;
    }
    // The owner's last Unlock sees the bit and opens the event.
    fEvent = fresh;
    state |= kEventBit;
  }
  _ReleaseSpin(fState, (state & ~OwnerBits(-1)) + OwnerBits(me) + 1);
  return true;
}

bool VCriticalSection::TryToLock() {
  const int32 me = VTaskMgr::GetCurrentTaskID();
  uint64 state = 0;
  if (fState.compare_exchange_strong(state, OwnerBits(me) | 1, std::memory_order_acquire,
                                     std::memory_order_relaxed)) {
    return true;
  }
  _TakeSpin(fState);
  state = fState.load(std::memory_order_relaxed);
  if (OwnerOf(state) == 0) state = (state & ~OwnerBits(-1)) + OwnerBits(me);
  if (OwnerOf(state) == me) {
    _ReleaseSpin(fState, state + 1);
    return true;
  }
  _ReleaseSpin(fState, state);
  return false;
}

bool VCriticalSection::Unlock() {
  uint64 state = fState.load(std::memory_order_relaxed);
  if ((state & kSpinBit) == 0) {
    const uint64 count = state & kCountMask;
    // The last level frees the section at once unless a waiter left an
    // event to open.
    const bool last = count == 1;
    if ((count > 1 || (last && (state & kEventBit) == 0)) &&
        fState.compare_exchange_strong(state, last ? 0 : state - 1, std::memory_order_release,
                                       std::memory_order_relaxed)) {
      return true;
    }
  }
  return _UnlockContended();
}

bool VCriticalSection::_UnlockContended() {
  _TakeSpin(fState);
  const uint64 state = fState.load(std::memory_order_relaxed);
  const uint64 held = state & kCountMask;
  if (held == 0) {
    // Not held: a caller error that must not wrap the count.
    _ReleaseSpin(fState, state);
    return true;
  }
  if (held > 1) {
    _ReleaseSpin(fState, state - 1);
    return true;
  }
  VSyncEvent* event = fEvent;
  fEvent = nullptr;
  _ReleaseSpin(fState, 0);
  if (event != nullptr) {
    event->Unlock();
    event->Release();
  }
  return true;
}

int32 VCriticalSection::GetOwnerTaskID() const {
  return OwnerOf(fState.load(std::memory_order_acquire));
}

uint32 VCriticalSection::GetUseCount() const {
  return uint32(fState.load(std::memory_order_acquire) & kCountMask);
}

bool VCriticalSection::HasWaitEvent() const {
  _TakeSpin(fState);
  const bool has = fEvent != nullptr;
  _ReleaseSpin(fState, fState.load(std::memory_order_relaxed));
  return has;
}

}  // namespace zeft
