// VConditionVariable is a condition variable bound to a VCriticalSection:
// waiters release the section, wait for a broadcast, and take it again.
#pragma once

#include <atomic>

#include "core/VTypes.h"

namespace zeft {

class VCriticalSection;
class VSyncEvent;

class VConditionVariable {
 public:
  VConditionVariable() noexcept = default;
  ~VConditionVariable();

  VConditionVariable(const VConditionVariable&) = delete;
  VConditionVariable& operator=(const VConditionVariable&) = delete;

  // The caller holds `section` once. Releases it, waits for a broadcast (or
  // the time-out), takes it again; true when a broadcast arrived. False at
  // once, with the section still held, when the current waiters use another
  // section.
  bool Wait(VCriticalSection* section) { return _Wait(section, false, 0); }
  bool WaitWithTimeout(VCriticalSection* section, int32 timeoutMs) {
    return _Wait(section, true, timeoutMs);
  }

  // Wakes every task waiting now. Always true.
  bool Broadcast();

 private:
  bool _Wait(VCriticalSection* section, bool withTimeout, int32 timeoutMs);

  VSyncEvent* fEvent = nullptr;
  VCriticalSection* fSection = nullptr;
  std::atomic<uint32> fState{0};  // bit 31: spin bit guarding the fields
  uint16 fWaiters = 0;
  uint16 fPendingBroadcasts = 0;
};

}  // namespace zeft
