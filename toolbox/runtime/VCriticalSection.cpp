#include "runtime/VCriticalSection.h"

#include <sched.h>

#include <algorithm>

#include "process/VSystem.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

void VCriticalSection::_TakeSpin(std::atomic<uint32>& state) {
  if ((state.fetch_or(kSpinBit, std::memory_order_acq_rel) & kSpinBit) == 0) return;
  // The spin bit is held for a few instructions only: yield first, then
  // sleep, so that a preempted holder gets the processor back.
  const uint32 yields = std::max<uint32>(8, VSystem::GetNumberOfLogicalProcessors());
  for (uint32 attempt = 1;; ++attempt) {
    VTask::Sleep(attempt < yields ? 0 : 1);
    if ((state.fetch_or(kSpinBit, std::memory_order_acq_rel) & kSpinBit) == 0) return;
  }
}

void VCriticalSection::_ReleaseSpin(std::atomic<uint32>& state, uint32 value) {
  // The release store publishes the fields to the next holder, which takes
  // the bit with an acquiring read-modify-write: no full fence is needed.
  state.store(value & ~kSpinBit, std::memory_order_release);
}

VCriticalSection::~VCriticalSection() {
  while (GetUseCount() != 0) Unlock();
}

bool VCriticalSection::Lock() {
  const int32 me = VTaskMgr::GetCurrentTaskID();
  _TakeSpin(fState);
  while (fOwner != 0) {
    const uint32 count = fState.load(std::memory_order_relaxed) & kCountMask;
    if (fOwner == me) {
      _ReleaseSpin(fState, count + 1);
      return true;
    }
    if (fEvent != nullptr) {
      VSyncEvent* event = fEvent;
      event->Retain();
      _ReleaseSpin(fState, count);
      event->Lock();
      event->Release();
      _TakeSpin(fState);
      continue;
    }
    _ReleaseSpin(fState, count);
    VSyncEvent* fresh = new VSyncEvent;
    _TakeSpin(fState);
    const uint32 countNow = fState.load(std::memory_order_relaxed) & kCountMask;
    if (fOwner == 0) {
      fOwner = me;
      _ReleaseSpin(fState, countNow + 1);
      fresh->Release();
      return true;
    }
    if (fEvent != nullptr) {
      _ReleaseSpin(fState, countNow);
      fresh->Release();
      sched_yield();
      _TakeSpin(fState);
      continue;
    }
    fEvent = fresh;
  }
  fOwner = me;
  const uint32 count = fState.load(std::memory_order_relaxed) & kCountMask;
  _ReleaseSpin(fState, count + 1);
  return true;
}

bool VCriticalSection::TryToLock() {
  const int32 me = VTaskMgr::GetCurrentTaskID();
  _TakeSpin(fState);
  const uint32 count = fState.load(std::memory_order_relaxed) & kCountMask;
  if (fOwner == 0) fOwner = me;
  if (fOwner == me) {
    _ReleaseSpin(fState, count + 1);
    return true;
  }
  _ReleaseSpin(fState, count);
  return false;
}

bool VCriticalSection::Unlock() {
  _TakeSpin(fState);
  const uint32 held = fState.load(std::memory_order_relaxed) & kCountMask;
  if (held == 0) {
    // Not held: a caller error that must not wrap the count.
    _ReleaseSpin(fState, 0);
    return true;
  }
  const uint32 count = held - 1;
  if (count != 0) {
    _ReleaseSpin(fState, count);
    return true;
  }
  VSyncEvent* event = fEvent;
  fEvent = nullptr;
  fOwner = 0;
  _ReleaseSpin(fState, 0);
  if (event != nullptr) {
    event->Unlock();
    event->Release();
  }
  return true;
}

int32 VCriticalSection::GetOwnerTaskID() const {
  _TakeSpin(fState);
  const int32 owner = fOwner;
  _ReleaseSpin(fState, fState.load(std::memory_order_relaxed));
  return owner;
}

uint32 VCriticalSection::GetUseCount() const {
  return fState.load(std::memory_order_acquire) & kCountMask;
}

bool VCriticalSection::HasWaitEvent() const {
  _TakeSpin(fState);
  const bool has = fEvent != nullptr;
  _ReleaseSpin(fState, fState.load(std::memory_order_relaxed));
  return has;
}

}  // namespace zeft
