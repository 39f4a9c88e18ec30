#include "runtime/VConditionVariable.h"

#include "runtime/VCriticalSection.h"
#include "runtime/VSyncEvent.h"

namespace zeft {

VConditionVariable::~VConditionVariable() {
  if (fEvent != nullptr) fEvent->Release();
}

bool VConditionVariable::_Wait(VCriticalSection* section, bool withTimeout, int32 timeoutMs) {
  VCriticalSection::_TakeSpin(fState);
  if (fWaiters == 0) {
    if (fEvent == nullptr) fEvent = new VSyncEvent;
    fSection = section;
  } else if (fSection != section) {
    VCriticalSection::_ReleaseSpin(fState, 0);
    return false;
  }
  ++fWaiters;
  VSyncEvent* event = fEvent;
  VCriticalSection::_ReleaseSpin(fState, 0);

  section->Unlock();
  const bool result = withTimeout ? event->Lock(timeoutMs) : event->Lock();

  VCriticalSection::_TakeSpin(fState);
  --fWaiters;
  if (fWaiters == 0) {
    // The last waiter out closes the event unless a broadcast is still
    // opening it.
    if (fPendingBroadcasts == 0) event->Reset();
    fSection = nullptr;
  }
  VCriticalSection::_ReleaseSpin(fState, 0);
  section->Lock();
  return result;
}

bool VConditionVariable::Broadcast() {
  VCriticalSection::_TakeSpin(fState);
  if (fEvent == nullptr) {
    VCriticalSection::_ReleaseSpin(fState, 0);
    return true;
  }
  ++fPendingBroadcasts;
  VSyncEvent* event = fEvent;
  VCriticalSection::_ReleaseSpin(fState, 0);
  event->Unlock();
  VCriticalSection::_TakeSpin(fState);
  --fPendingBroadcasts;
  if (fWaiters == 0 && fPendingBroadcasts == 0) event->Reset();
  VCriticalSection::_ReleaseSpin(fState, 0);
  return true;
}

}  // namespace zeft
