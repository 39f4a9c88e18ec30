#include "runtime/VLogger.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VString.h"
#include "platform/Clock.h"
#include "runtime/ILogListener.h"
#include "runtime/ILoggerBagKeys.h"
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

// A record made by LogMessage. Records are made on the producers' threads
// and dropped on the "Logger" task's at a high rate: when its last
// reference goes, a record is kept for a later message rather than freed,
// which spares the allocator that cross-thread traffic. It is emptied when
// taken again: the task that drops it then only reads its lines, which the
// producer can take back cheaply.
class VLogRecord final : public VValueBag {
 public:
  // A kept record when there is one, else a new one; the caller's
  // reference.
  static VLogRecord* Make();
  // Releases every record; the kept ones join the spares in one step, so
  // that producers seldom find the spares' lock taken.
  static void ReleaseBatch(const std::vector<const VValueBag*>& records);

 protected:
  void DoOnRefCountZero() override;

 private:
  // Records kept at most: a full ring and a batch being written.
  static constexpr size_t kMaxSpares = 2 * size_t(VLogger::kRingSize);
  // A record whose buffers grew past these (a long message) is freed.
  static constexpr size_t kMaxKeptValueWords = 512;
  static constexpr size_t kMaxKeptKeyBytes = 128;

  struct Spares {
    std::mutex fLock;
    std::vector<VLogRecord*> fRecords;
  };
  // Never destroyed: a record may be dropped during the process's exit.
  static Spares& GetSpares() {
    static Spares* sSpares = new Spares;
    return *sSpares;
  }
  // Adds the records to the spares as room allows and frees the others.
  static void _Keep(VLogRecord* const* records, size_t count);

  // Set during ReleaseBatch: the records dropped meanwhile.
  static thread_local std::vector<VLogRecord*>* tDropped;
};

thread_local std::vector<VLogRecord*>* VLogRecord::tDropped = nullptr;

VLogRecord* VLogRecord::Make() {
  Spares& spares = GetSpares();
  VLogRecord* record = nullptr;
  {
    std::lock_guard<std::mutex> lock(spares.fLock);
    if (!spares.fRecords.empty()) {
      record = spares.fRecords.back();
      spares.fRecords.pop_back();
    }
  }
  if (record == nullptr) return new VLogRecord;
  // Its count went to zero when it was kept.
  record->Retain();
  record->_EmptyKeepingRoom();
  return record;
}

void VLogRecord::ReleaseBatch(const std::vector<const VValueBag*>& records) {
  std::vector<VLogRecord*> dropped;
  dropped.reserve(records.size());
  std::vector<VLogRecord*>* outer = std::exchange(tDropped, &dropped);
  for (const VValueBag* record : records) record->Release();
  tDropped = outer;
  _Keep(dropped.data(), dropped.size());
}

void VLogRecord::_Keep(VLogRecord* const* records, size_t count) {
  if (count == 0) return;
  size_t kept = 0;
  {
    Spares& spares = GetSpares();
    std::lock_guard<std::mutex> lock(spares.fLock);
    kept = std::min(count, kMaxSpares - spares.fRecords.size());
    spares.fRecords.insert(spares.fRecords.end(), records, records + kept);
  }
  for (size_t i = kept; i < count; ++i) delete records[i];
}

void VLogRecord::DoOnRefCountZero() {
  const AttributeStore& attributes = GetAttributeStore();
  if (GetElementStore() != nullptr || attributes.GetBackstore().capacity() > kMaxKeptValueWords ||
      attributes.GetKeyBuffer().capacity() > kMaxKeptKeyBytes) {
    delete this;
    return;
  }
  if (tDropped != nullptr) {
    tDropped->push_back(this);
  } else {
    VLogRecord* self = this;
    _Keep(&self, 1);
  }
}

}  // namespace

VLogger::VLogger() : fMask(kDefaultMessageLevelMask) {}

VLogger::~VLogger() {
  {
    StLocker<VCriticalSection> lock(fLock);
    for (ILogListener* listener : fListeners) listener->Release();
    fListeners.clear();
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
  _Enqueue(record);
}

void VLogger::_Enqueue(const VValueBag* record) {
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
    if (_IsFull()) return;
  }
  record->Retain();
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
    ILoggerBagKeys::source.Set(*record, source);
  } else {
    bool found = false;
    VTask* task = VTask::GetCurrent();
    if (const VValueBag* properties = task != nullptr ? task->RetainProperties() : nullptr) {
      VString value;
      if (ILoggerBagKeys::source.Get(*properties, value)) {
        ILoggerBagKeys::source.Set(*record, value);
        found = true;
      }
      properties->Release();
    }
    VString processSource;
    if (!found && VLoggerHook::GetSource(processSource))
      ILoggerBagKeys::source.Set(*record, processSource);
  }
  // Records of the default level carry no level.
  if (level != kDefaultMessageLevel) ILoggerBagKeys::level.Set(*record, level);
  ILoggerBagKeys::message.Set(*record, message);
  _Enqueue(record);
  record->Release();
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
  if (Read(records, false) == 0) return;
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
  return true;
}

bool VLogger::RemoveLogListener(ILogListener* listener) {
  if (listener == nullptr) return false;
  StLocker<VCriticalSection> lock(fLock);
  auto it = std::find(fListeners.begin(), fListeners.end(), listener);
  if (it == fListeners.end()) return false;
  fListeners.erase(it);
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
