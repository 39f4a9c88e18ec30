// VProgressIndicator is what long operations report to: a stack of nested
// sessions, each counting units of work, whose progress calls answer
// whether the work may go on. Other tasks read it through snapshots that
// the owning task builds on request at its next progress call.
#pragma once

#include <atomic>
#include <deque>
#include <thread>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VProgressIndicatorInfo.h"
#include "runtime/VRefCountedSessionInfo.h"

namespace zeft {

class VRemoteProgressSessionInfo;
class VStream;
class VValueBag;

class VProgressIndicator : public VObject, public IRefCountable {
 public:
  VProgressIndicator();
  VProgressIndicator(const VUUID& uuid, int version);
  ~VProgressIndicator() override;
  VProgressIndicator(const VProgressIndicator&) = delete;
  VProgressIndicator& operator=(const VProgressIndicator&) = delete;

  virtual VError SaveInfoToBag(VValueBag& bag);
  virtual bool IsManagerValid() const { return true; }

  void Lock() const { fSessionLock.Lock(); }
  void Unlock() const { fSessionLock.Unlock(); }

  const VUUID& GetUUID() const { return fUUID; }
  int GetSessionCount() const { return fSessionCount.load(std::memory_order_relaxed); }
  uint32 GetSessionsVersion() const { return fSessionsVersion; }
  uint32 GetChangeCounter() const { return fChangeCounter.load(std::memory_order_relaxed); }

  void BeginSession(long long max, const VString& message);
  void BeginSession(long long max, const VString& message, IProgressInfoCollector* collector);
  void BeginSession(long long max, const VString& message, bool canInterrupt,
                    IProgressInfoCollector* collector);
  void BeginUndeterminedSession(const VString& message);
  void BeginUndeterminedSession(const VString& message, bool canInterrupt,
                                IProgressInfoCollector* collector);
  void BeginSession(long long max, long long startValue, const VString& message, bool canInterrupt,
                    IProgressInfoCollector* collector);
  void EndSession();

  // True to go on, false to stop.
  bool Increment(long long amount = 1);
  bool Decrement(long long amount = 1);
  bool Progress(long long value);

  long long GetCurrentValue() const { return fCurrent.fValue; }
  void SetMaxValue(long long max);
  long long GetMaxValue() const { return GetSessionCount() > 0 ? fCurrent.fMax : 0; }
  void Reset(const VString& message, long long max, long long value);
  void SetMessage(const VString& message);
  void SetMessageAndValue(const VString& message, long long value);
  void SetMessageAndIncrementValue(const VString& message, long long increment);
  void GetMessage(VString& out) const;
  void SetCanInterrupt(bool value, bool forCurrentSession);
  void SetAttribute(const VString& name, const VValueSingle& value);
  void RemoveAttribute(const VString& name);
  void SetProgressInfoCollector(IProgressInfoCollector* collector,
                                IProgressInfoCollector** outPrevious);
  float ComputePercentDone() const;
  void SetProgressInfo(const VProgressIndicatorInfo& info);
  // Reports the current session to the metrics manager.
  void DoMetrics();

  // The title and the name the manager finds the indicator by.
  void SetTitle(const VString& title) { fTitle = title; }
  const VString& GetTitle() const { return fTitle; }
  void SetUserInfo(const VString& userInfo) { fUserInfo = userInfo; }
  const VString& GetUserInfo() const { return fUserInfo; }

  // Snapshots.
  void UpdateSessionsInfos();
  VRefCountedSessionInfo* RetainSessionsInfos() const;
  bool GetProgressInfo(VProgressSessionInfo& out);
  bool GetProgressInfo(const VUUID& uuid, VProgressIndicatorInfo& out) const;
  // Asks for a fresh snapshot when a session is open; for the manager's listing.
  void _RequestSnapshot() const;

  // Remote mirroring: the working side describes what changed since
  // `previous` (everything without it); false when nothing changed or the
  // session lock is busy. Read from another task than the one running the
  // sessions, it describes the latest snapshot, since the working task
  // changes its current record without a lock.
  bool GetProgressInfo(VRemoteProgressSessionInfo& out, VRemoteProgressSessionInfo* previous) const;
  // The mirror side: follows the sessions the information describes.
  void UpdateFromRemoteInfo(const VRemoteProgressSessionInfo& info);
  // What the other side needs to create the mirror: UUID and sessions version.
  VError WriteInfoForRemote(VStream& stream);
  VError WriteInfoForRemote(VValueBag& bag, VString& kind);
  bool IsMirroring() const { return fMirroring.load(std::memory_order_relaxed); }
  // Ends the mirrored sessions, then stops mirroring (Close) or not (Clean).
  void _CloseRemoteSession();
  void _CleanRemoteSession();

 protected:
  virtual void DoBeginSession(int /*sessionCount*/) {}
  virtual void DoEndSession(int /*sessionCount*/) {}
  virtual bool DoProgress();
  // Leaves the registry before anything is destroyed, so a look-up never
  // hands out an indicator that is being deleted.
  void DoOnRefCountZero() override;

  std::atomic<int32> fAbortState{0};

 private:
  void _RefreshSnapshotIfRequested();
  void _BuildSnapshot();
  bool _AfterProgress();
  // The working task is the counter's one writer (a mirror's updates come
  // under the session lock), so no locked read-modify-write on the hot path.
  void _Changed() {
    fChangeCounter.store(fChangeCounter.load(std::memory_order_relaxed) + 1,
                         std::memory_order_relaxed);
  }
  // Under the session lock.
  void _EndOneSession();
  void _EndMirroredSessions();
  void _PushRemoteRecords(const std::deque<VProgressIndicatorInfo>& records);

  VUUID fUUID;
  mutable VCriticalSection fSessionLock;
  std::deque<VProgressIndicatorInfo> fSaved;
  VProgressIndicatorInfo fCurrent;
  // Read by other tasks (listing, summaries); written by the owner.
  std::atomic<int32> fSessionCount{0};
  // Mirroring state; the flag is read by snapshot readers without the lock.
  std::atomic<bool> fMirroring{false};
  uint32 fRemoteSessionVersion = 0;
  int32 fBaseDepth = 0;
  // The thread that began the outermost session: the one that may read the
  // current record live.
  std::thread::id fOwnerThread;
  std::atomic<bool> fCanInterrupt{true};
  VString fTitle;
  uint32 fSessionsVersion = 0;
  std::atomic<uint32> fChangeCounter{0};
  VString fUserInfo;
  mutable VCriticalSection fSnapshotLock;
  VRefCountedSessionInfo* fSnapshot = nullptr;
  uint32 fServed = 0xFFFFFFFF;
  mutable std::atomic<uint32> fRequested{0};
};

}  // namespace zeft
