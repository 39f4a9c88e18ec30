#include "runtime/VLogger.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VString.h"
#include "platform/Clock.h"
#include "runtime/ILogListener.h"
#include "runtime/ILoggerBagKeys.h"
#include "runtime/VLogRecord.h"
#include "runtime/VLoggerHook.h"
#include "runtime/VTask.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

// ThreadSanitizer keeps its per-thread state at the top of a thread's
// stack: the task needs far more room there.
#if defined(__SANITIZE_THREAD__)
constexpr size_t kLoggerTaskStackSize = 4 << 20;
#else
constexpr size_t kLoggerTaskStackSize = 64000;
#endif

constexpr uint32 kLoggerTaskKind = FourCC("LOGG");

// Set while this thread is inside a listener's Put: a record logged from
// there must not wait for room, since the ring drains only after the Put.
thread_local int32 tInsideListener = 0;

}  // namespace

VLogger::VLogger() : fMask(kDefaultMessageLevelMask) {}

VLogger::~VLogger() {
  {
    StLocker<VCriticalSection> lock(fLock);
    for (ILogListener* listener : fListeners) listener->Release();
    fListeners.clear();
    fBagListeners = 0;
    StLocker<VCriticalSection> ring(fRingLock);
    _ReleaseQueued();
  }
  Stop();
  if (VTask* task = fTask.exchange(nullptr)) task->Release();
}

void VLogger::Start() { fStarted.store(true, std::memory_order_release); }

void VLogger::Stop() {
  VTask* task = fTask.load(std::memory_order_acquire);
  if (task == nullptr) return;
  task->Kill();
  // Cuts its sleep short: it sees the kill at once.
  task->WakeUp();
  // The task ends at its next dying test; it cannot wait for itself.
  if (task == VTask::GetCurrent()) return;
  // The task works on this object until it dies: never let it go earlier.
  if (!task->WaitForDeath(kStopWarningMs)) {
    std::fprintf(stderr, "The \"Logger\" task is still running after %d ms; waiting for its end.\n",
                 kStopWarningMs);
    while (!task->WaitForDeath(kStopWarningMs)) {
    }
  }
}

bool VLogger::IsStarted() const { return fStarted.load(std::memory_order_acquire); }

bool VLogger::ShouldLog(EMessageLevel level) const {
  return IsStarted() && (fMask.load(std::memory_order_relaxed) & MessageLevelMaskBit(level)) != 0;
}

bool VLogger::WithTag(uint32 bit, bool on) {
  const uint32 mask = uint32(1) << (bit % 32);
  const uint32 previous = on ? fMask.fetch_or(mask, std::memory_order_relaxed)
                             : fMask.fetch_and(~mask, std::memory_order_relaxed);
  return (previous & mask) != 0;
}

bool VLogger::_IsFull() const {
  return Next(fWritePos.load(std::memory_order_relaxed)) ==
         fReadPos.load(std::memory_order_relaxed);
}

int32 VLogger::_CountQueued() const {
  const int32 count =
      fWritePos.load(std::memory_order_relaxed) - fReadPos.load(std::memory_order_relaxed);
  return count < 0 ? count + kRingSize : count;
}

bool VLogger::_CanWaitForRoom() const {
  VTask* task = fTask.load(std::memory_order_acquire);
  // A task whose thread has not started yet drains the ring soon too.
  const ETaskState state = task != nullptr ? task->GetState() : kTaskStateDead;
  return (state == kTaskStateRunRequested || state == kTaskStateRunning) &&
         task != VTask::GetCurrent() && tInsideListener == 0;
}

void VLogger::_RequestFlush() {
  if (fWakeRequested.exchange(true, std::memory_order_acq_rel)) return;
  if (VTask* task = fTask.load(std::memory_order_acquire)) task->WakeUp();
}

void VLogger::LogBag(const VValueBag* record) {
  if (record == nullptr || !ShouldLog(ILoggerBagKeys::level.Get(*record))) return;
  _Enqueue(record, false);
}

void VLogger::_Enqueue(const VValueBag* record, bool adopt) {
  StLocker<VCriticalSection> lock(fRingLock);
  if (_IsFull()) {
    // Rather than lose the record, drain the ring here when no batch is
    // being handed over, else wait while the task drains it; a task that
    // makes no progress for a long time gets the record dropped, so that a
    // stuck listener cannot stop every producer.
    uint64 lastProgress = 0;  // read from the clock once a wait starts
    while (_IsFull() && _CanWaitForRoom()) {
      if (fLock.TryToLock()) {
        // The listener lock comes first: the ring lock is let go meanwhile.
        fRingLock.Unlock();
        std::vector<const VValueBag*> records;
        _HandOver(records);
        fLock.Unlock();
        VLogRecord::ReleaseBatch(records);
        fRingLock.Lock();
        lastProgress = 0;
        continue;
      }
      const int32 readBefore = fReadPos.load(std::memory_order_relaxed);
      if (lastProgress == 0) lastProgress = platform::GetCurrentTime();
      _RequestFlush();
      ++fRoomWaiters;
      fRoomFreed.WaitWithTimeout(&fRingLock, kFlushIntervalMs);
      --fRoomWaiters;
      const uint64 now = platform::GetCurrentTime();
      if (fReadPos.load(std::memory_order_relaxed) != readBefore) {
        lastProgress = now;
      } else if (now - lastProgress >= uint64(kStopWarningMs)) {
        break;
      }
    }
    if (_IsFull()) {
      if (adopt) record->Release();
      return;
    }
  }
  if (!adopt) record->Retain();
  const int32 write = fWritePos.load(std::memory_order_relaxed);
  fRing[write] = record;
  fWritePos.store(Next(write), std::memory_order_release);
  // Half full: the task is asked for a batch before its next turn, so that
  // busy producers rarely find the ring full.
  if (_CountQueued() >= kRingSize / 2) _RequestFlush();
}

void VLogger::LogMessage(EMessageLevel level, const VString& message, const VString& source) {
  if (!ShouldLog(level)) return;
  VLogRecord* record = VLogRecord::Make();
  if (!source.IsNull() && !source.IsEmpty()) {
    record->SetMessage(level, message, &source);
  } else {
    VString value;
    bool found = false;
    VTask* task = VTask::GetCurrent();
    if (const VValueBag* properties = task != nullptr ? task->RetainProperties() : nullptr) {
      found = ILoggerBagKeys::source.Get(*properties, value);
      properties->Release();
    }
    if (!found) found = VLoggerHook::GetSource(value);
    record->SetMessage(level, message, found ? &value : nullptr);
  }
  _Enqueue(record, true);
}

void VLogger::_ReleaseQueued() {
  for (int32 i = fReadPos.load(std::memory_order_relaxed);
       i != fWritePos.load(std::memory_order_relaxed); i = Next(i)) {
    fRing[i]->Release();
    fRing[i] = nullptr;
  }
  fReadPos.store(0, std::memory_order_relaxed);
  fWritePos.store(0, std::memory_order_relaxed);
}

int32 VLogger::Read(std::vector<const VValueBag*>& records, bool lockHeld) {
  const size_t first = records.size();
  const int32 count = _Take(records, lockHeld);
  for (size_t i = first; i < records.size(); ++i) {
    if (const VLogRecord* message = VLogRecord::AsMessage(records[i])) message->WriteAttributes();
  }
  return count;
}

int32 VLogger::_Take(std::vector<const VValueBag*>& records, bool lockHeld) {
  if (fReadPos.load(std::memory_order_acquire) == fWritePos.load(std::memory_order_acquire))
    return 0;
  if (!lockHeld) fRingLock.Lock();
  int32 count = 0;
  int32 read = fReadPos.load(std::memory_order_relaxed);
  const int32 write = fWritePos.load(std::memory_order_relaxed);
  records.reserve(records.size() + size_t(_CountQueued()));
  for (; read != write; read = Next(read), ++count) {
    records.push_back(fRing[read]);
  }
  fReadPos.store(read, std::memory_order_release);
  if (count > 0 && fRoomWaiters > 0) fRoomFreed.Broadcast();
  if (!lockHeld) fRingLock.Unlock();
  return count;
}

void VLogger::_HandOver(std::vector<const VValueBag*>& records) {
  // Messages stay unwritten into their bags when every listener reads
  // them as they are.
  if ((fBagListeners > 0 ? Read(records, false) : _Take(records, false)) == 0) return;
  ++tInsideListener;
  for (ILogListener* listener : fListeners) listener->Put(records);
  --tInsideListener;
}

void VLogger::Flush() {
  std::vector<const VValueBag*> records;
  {
    StLocker<VCriticalSection> lock(fLock);
    _HandOver(records);
  }
  VLogRecord::ReleaseBatch(records);
}

bool VLogger::AddLogListener(ILogListener* listener) {
  if (listener == nullptr) return false;
  StLocker<VCriticalSection> lock(fLock);
  if (fTask.load(std::memory_order_relaxed) == nullptr) {
    auto* task =
        new VTask(kLoggerTaskStackSize, kTaskStylePreemptive, [this] { LogReaderTaskProc(); });
    task->SetName(VString("Logger"));
    task->SetKind(kLoggerTaskKind);
    // A task that cannot run is not kept: the next listener tries again.
    if (task->Run()) {
      fTask.store(task, std::memory_order_release);
    } else {
      task->Release();
    }
  }
  if (std::find(fListeners.begin(), fListeners.end(), listener) != fListeners.end()) return false;
  listener->Retain();
  fListeners.insert(fListeners.begin(), listener);
  if (dynamic_cast<ILogMessageReader*>(listener) == nullptr) ++fBagListeners;
  return true;
}

bool VLogger::RemoveLogListener(ILogListener* listener) {
  if (listener == nullptr) return false;
  StLocker<VCriticalSection> lock(fLock);
  auto it = std::find(fListeners.begin(), fListeners.end(), listener);
  if (it == fListeners.end()) return false;
  fListeners.erase(it);
  if (dynamic_cast<ILogMessageReader*>(listener) == nullptr) --fBagListeners;
  listener->Release();
  return true;
}

void VLogger::LogReaderTaskProc() {
  VTask::ReleaseCurrentActivityToken();
  VTask* self = VTask::GetCurrent();
  while (!self->IsDying()) {
    fWakeRequested.store(false, std::memory_order_release);
    Flush();
    VTask::Sleep(kFlushIntervalMs);
  }
}

}  // namespace zeft
