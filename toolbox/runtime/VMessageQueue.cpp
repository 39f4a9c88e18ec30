#include "runtime/VMessageQueue.h"

#include <algorithm>
#include <vector>

#include "runtime/VMessage.h"
#include "runtime/VSyncEvent.h"

namespace zeft {

VMessageQueue::VMessageQueue() : fEvent(new VSyncEvent) {}

VMessageQueue::~VMessageQueue() {
  for (VMessage* message : fMessages) message->Release();
  fEvent->Release();
}

bool VMessageQueue::AddMessage(VMessage* message) {
  if (message == nullptr) return false;
  const uint32 signature = message->GetCoalescingSignature();
  StLocker locker(fLock);
  if (signature != 0) {
    for (VMessage* queued : fMessages) {
      if (queued->GetCoalescingSignature() == signature) {
        if (!queued->DoCoalesce(*message)) return false;
        break;
      }
    }
  }
  if (fMessages.empty()) fEvent->Unlock();
  ++fStamp;
  message->Retain();
  fMessages.push_back(message);
  return true;
}

void VMessageQueue::_ResetEventIfIdle() {
  // A pending wake-up keeps the event open until a waiter consumes it.
  if (fMessages.empty() && !fWakeUpPending) fEvent->Reset();
}

VMessage* VMessageQueue::_TakeFirst() {
  if (fMessages.empty()) return nullptr;
  VMessage* message = fMessages.front();
  fMessages.pop_front();
  _ResetEventIfIdle();
  return message;
}

VMessage* VMessageQueue::RetainMessage() {
  StLocker locker(fLock);
  return _TakeFirst();
}

VMessage* VMessageQueue::RetainMessageWithTimeout(int32 timeoutMs, bool* timedOut) {
  {
    StLocker locker(fLock);
    ++fWaiters;
  }
  const bool signalled = fEvent->Lock(timeoutMs);
  if (timedOut != nullptr) *timedOut = !signalled;
  StLocker locker(fLock);
  --fWaiters;
  if (fWakeUpPending) {
    fWakeUpPending = false;
    if (timedOut != nullptr) *timedOut = false;
    _ResetEventIfIdle();
    return nullptr;
  }
  return signalled ? _TakeFirst() : nullptr;
}

void VMessageQueue::SetEvent() {
  {
    StLocker locker(fLock);
    ++fStamp;
    fWakeUpPending = true;
  }
  fEvent->Unlock();
}

void VMessageQueue::_Cancel(IMessageable* target, bool all) {
  std::vector<VMessage*> cancelled;
  {
    StLocker locker(fLock);
    auto kept = std::stable_partition(fMessages.begin(), fMessages.end(), [&](VMessage* message) {
      return !all && message->GetTarget() != target;
    });
    cancelled.assign(kept, fMessages.end());
    fMessages.erase(kept, fMessages.end());
    _ResetEventIfIdle();
  }
  for (VMessage* message : cancelled) {
    message->Abort();
    message->Release();
  }
}

void VMessageQueue::CancelMessages(IMessageable* target) { _Cancel(target, false); }

void VMessageQueue::CancelMessages() { _Cancel(nullptr, true); }

bool VMessageQueue::RemoveMessage(VMessage* message) {
  bool found = false;
  {
    StLocker locker(fLock);
    auto it = std::find(fMessages.begin(), fMessages.end(), message);
    if (it != fMessages.end()) {
      fMessages.erase(it);
      found = true;
      _ResetEventIfIdle();
    }
  }
  if (found) message->Release();
  return found;
}

int32 VMessageQueue::CountMessages() const {
  StLocker locker(fLock);
  return int32(fMessages.size());
}

int32 VMessageQueue::CountMessagesFor(IMessageable* target) const {
  StLocker locker(fLock);
  return int32(std::count_if(fMessages.begin(), fMessages.end(), [target](VMessage* message) {
    return message->GetTarget() == target;
  }));
}

bool VMessageQueue::IsEmpty() const {
  StLocker locker(fLock);
  return fMessages.empty();
}

uint32 VMessageQueue::GetStamp() const {
  StLocker locker(fLock);
  return fStamp;
}

}  // namespace zeft
