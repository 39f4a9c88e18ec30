#include "runtime/VSyncEvent.h"

#include <cerrno>
#include <ctime>

#include <sched.h>

#include "platform/Clock.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace zeft {

namespace {

timespec MonotonicDeadline(int32 timeoutMs) {
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += long(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return deadline;
}

}  // namespace

VSyncEvent::VSyncEvent() {
  pthread_mutex_init(&fMutex, nullptr);
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  // Time-outs must not move with the wall clock.
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  pthread_cond_init(&fCondition, &attributes);
  pthread_condattr_destroy(&attributes);
}

VSyncEvent::~VSyncEvent() {
  while (pthread_cond_destroy(&fCondition) == EBUSY) {
    pthread_cond_broadcast(&fCondition);
    sched_yield();
  }
  pthread_mutex_destroy(&fMutex);
}

bool VSyncEvent::_CurrentTaskIsFiber() {
  if (!VTaskMgr::IsInited()) return false;
  VTask* task = VTask::GetCurrent();
  return task != nullptr && !task->IsPreemptive();
}

int32 VSyncEvent::_ReadStamp() const {
  return std::atomic_ref<int32>(const_cast<int32&>(fStamp)).load(std::memory_order_acquire);
}

bool VSyncEvent::Lock() {
  if (_CurrentTaskIsFiber()) {
    fFiberWaiters.fetch_add(1);
    int32 stamp = _ReadStamp();
    while (!IsUnlocked()) {
      VTaskMgr::sInstance->CurrentFiberWaitFlag(&fStamp, stamp);
      stamp = _ReadStamp();
    }
    fFiberWaiters.fetch_sub(1);
    return true;
  }
  pthread_mutex_lock(&fMutex);
  while (!fUnlocked.load(std::memory_order_relaxed)) pthread_cond_wait(&fCondition, &fMutex);
  pthread_mutex_unlock(&fMutex);
  return true;
}

bool VSyncEvent::Lock(int32 timeoutMs) {
  if (_CurrentTaskIsFiber()) {
    if (IsUnlocked()) return true;
    int32 lastStamp = _ReadStamp();
    fFiberWaiters.fetch_add(1);
    const uint64 start = platform::GetCurrentTime();
    int32 remaining = timeoutMs;
    bool result = false;
    while (remaining > 0) {
      VTaskMgr::sInstance->CurrentFiberWaitFlagWithTimeout(&fStamp, lastStamp, remaining);
      const int32 stamp = _ReadStamp();
      const int64 elapsed = int64(platform::GetCurrentTime() - start);
      if (stamp == lastStamp || elapsed >= timeoutMs) {
        // The scheduler may return early; the flag decides, not the stamp.
        result = IsUnlocked();
        break;
      }
      lastStamp = stamp;
      if (IsUnlocked()) {
        result = true;
        break;
      }
      remaining = int32(timeoutMs - elapsed);
    }
    if (remaining <= 0) result = IsUnlocked();
    fFiberWaiters.fetch_sub(1);
    return result;
  }

  pthread_mutex_lock(&fMutex);
  if (timeoutMs >= 1 && !fUnlocked.load(std::memory_order_relaxed)) {
    // Wait for the flag or the deadline: a spurious wake-up must not end
    // the wait early.
    const timespec deadline = MonotonicDeadline(timeoutMs);
    while (!fUnlocked.load(std::memory_order_relaxed)) {
      if (pthread_cond_timedwait(&fCondition, &fMutex, &deadline) == ETIMEDOUT) break;
    }
  }
  const bool result = fUnlocked.load(std::memory_order_relaxed);
  pthread_mutex_unlock(&fMutex);
  return result;
}

bool VSyncEvent::Unlock() {
  pthread_mutex_lock(&fMutex);
  fUnlocked.store(true, std::memory_order_release);
  pthread_cond_broadcast(&fCondition);
  pthread_mutex_unlock(&fMutex);
  std::atomic_ref<int32>(fStamp).fetch_add(1, std::memory_order_acq_rel);
  if (fFiberWaiters.load() >= 1 && VTaskMgr::IsInited())
    VTaskMgr::sInstance->WakeUpSystemEventPolling();
  return true;
}

bool VSyncEvent::Reset() {
  pthread_mutex_lock(&fMutex);
  fUnlocked.store(false, std::memory_order_release);
  pthread_mutex_unlock(&fMutex);
  return true;
}

}  // namespace zeft
