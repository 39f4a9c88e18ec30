// VLogger is the process logger: producers on any task hand it log records
// (VValueBags), which it keeps in a fixed ring; its "Logger" task hands every
// batch of queued records to its listeners (the file logger, for one), so
// that producers never wait for output.
#pragma once

#include <atomic>
#include <vector>

#include "core/VObject.h"
#include "runtime/ILogger.h"
#include "runtime/VConditionVariable.h"
#include "runtime/VCriticalSection.h"

namespace zeft {

class ILogListener;
class VTask;
class VValueBag;

class VLogger : public VObject, public ILogger {
 public:
  // Slots of the ring; it holds at most kRingSize - 1 records.
  static constexpr int32 kRingSize = 1000;
  // The "Logger" task hands queued records over at this interval at least.
  static constexpr int32 kFlushIntervalMs = 100;
  // How long Stop waits for the task before it warns (it then waits on).
  static constexpr int32 kStopWarningMs = 3000;

  // Empty ring, mask 0xF0, not started, no listener, no task.
  VLogger();
  VLogger(const VLogger&) = delete;
  VLogger& operator=(const VLogger&) = delete;
  // Releases the listeners and the queued records, then stops the task and
  // waits for its death.
  ~VLogger() override;

  void Start() override;
  // Kills the "Logger" task and waits until it has died; the task is not
  // made again afterwards.
  void Stop() override;
  bool IsStarted() const override;
  void LogBag(const VValueBag* record) override;
  void LogMessage(EMessageLevel level, const VString& message, const VString& source) override;
  bool ShouldLog(EMessageLevel level) const override;
  bool WithTrace(bool on) override { return WithTag(kMessageLevelTrace, on); }
  bool WithDump(bool on) override { return WithTag(kMessageLevelDump, on); }
  bool WithDebug(bool on) override { return WithTag(kMessageLevelDebug, on); }
  bool WithWarning(bool on) override { return WithTag(kMessageLevelWarning, on); }
  bool WithError(bool on) override { return WithTag(kMessageLevelError, on); }
  bool WithFatal(bool on) override { return WithTag(kMessageLevelFatal, on); }
  bool WithAssert(bool on) override { return WithTag(kMessageLevelAssert, on); }
  bool WithInfo(bool on) override { return WithTag(kMessageLevelInfo, on); }
  void Flush() override;
  // The first successful call starts the "Logger" task; the newest
  // listener comes first in every batch.
  bool AddLogListener(ILogListener* listener) override;
  // Once it returns, the listener gets no further batch.
  bool RemoveLogListener(ILogListener* listener) override;

  // Sets or clears mask bit `bit` (low 5 bits used); its previous state.
  bool WithTag(uint32 bit, bool on);
  // Moves every queued record, oldest first, into `records` (the caller
  // gets their references) with its attributes written; the count moved.
  int32 Read(std::vector<const VValueBag*>& records, bool lockHeld);
  static int32 Next(int32 index) { return index < kRingSize - 1 ? index + 1 : 0; }
  // Body of the "Logger" task.
  void LogReaderTaskProc();

 private:
  // Ring lock held for both.
  bool _IsFull() const;
  int32 _CountQueued() const;
  // Whether a producer may wait for the "Logger" task to make room: a task
  // drains the ring and the caller is neither that task nor inside a
  // listener. Ring lock held.
  bool _CanWaitForRoom() const;
  // Queues an accepted record (LogBag's work after the level test). The
  // ring takes a reference of its own, or the caller's when `adopt` is set.
  void _Enqueue(const VValueBag* record, bool adopt);
  // Releases every queued record; ring lock held.
  void _ReleaseQueued();
  // Read's work without writing messages into their attributes.
  int32 _Take(std::vector<const VValueBag*>& records, bool lockHeld);
  // Reads the queued records into `records` and hands them to every
  // listener; fLock held. The caller releases the records afterwards.
  void _HandOver(std::vector<const VValueBag*>& records);
  // Asks the task to hand the ring over now rather than at its next turn.
  void _RequestFlush();

  // Queued records, each holding one reference, under fRingLock.
  const VValueBag* fRing[kRingSize] = {};
  std::atomic<int32> fReadPos{0};
  std::atomic<int32> fWritePos{0};
  // Guards the listener list and the task, and serialises batches, so that
  // listeners see records in ring order. Taken before fRingLock and before
  // any listener's own lock.
  mutable VCriticalSection fLock;
  // Guards the ring only: producers never wait for a listener's output.
  mutable VCriticalSection fRingLock;
  // Producers waiting for room while a task drains the ring.
  VConditionVariable fRoomFreed;
  int32 fRoomWaiters = 0;  // under fRingLock
  std::atomic<uint32> fMask;
  std::atomic<bool> fStarted{false};
  std::vector<ILogListener*> fListeners;  // under fLock, newest first
  // Listeners that are no ILogMessageReader, which read messages only
  // from the attributes; under fLock.
  int32 fBagListeners = 0;
  std::atomic<VTask*> fTask{nullptr};
  // Set once the task is asked to flush early, cleared by the task.
  std::atomic<bool> fWakeRequested{false};
};

}  // namespace zeft
