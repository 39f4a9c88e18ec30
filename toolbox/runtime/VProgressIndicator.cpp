#include "runtime/VProgressIndicator.h"

#include <span>

#include "files/VStream.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/IProgressInfoCollector.h"
#include "runtime/VMetricsManager.h"
#include "runtime/VProgressManager.h"
#include "runtime/VRemoteProgressSessionInfo.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "values/VValueBag.h"

namespace zeft {

namespace {

constinit const StBagKeyNoDefault<VString, VString> kUserInfo("UserInfo");
constinit const StBagKeyNoDefault<int32, VLong> kSessionCount("SessionCount");
constinit const StBagKeyNoDefault<VString, VString> kTitle("Title");
constinit const StBagKeyNoDefault<bool, VBoolean> kCanInterrupt("CanInterrupt");
constinit const StPackedDictionaryKey kSessionInfoElement("SessionInfo");
constinit const StBagKeyNoDefault<VUUID, VUUID> kUUID("uuid");
constinit const StBagKeyNoDefault<uint32, VLong> kVersion("version");

// Fraction done of nested sessions, outermost first; the innermost last.
template <class Records>
float PercentDone(const Records& outer, const VProgressIndicatorInfo& current) {
  if (current.fMax <= 0) return float(current.fValue);
  double scale = 1, sum = 0;
  for (const auto& record : outer) {
    const VProgressIndicatorInfo& info = *record;
    if (info.fMax < 1) return 0;
    scale *= double(info.fMax);
    sum += double(info.fValue) / scale;
  }
  return float(sum + double(current.fValue) / (scale * double(current.fMax)));
}

// The outermost and the two innermost of the sessions (outermost first, at
// least one), their count and the fraction done of them all.
template <class Info>
void Summarize(const std::vector<Info*>& records, VProgressSessionInfo& out) {
  const size_t n = records.size();
  out.fFirst = *records[0];
  out.fSecond = nullptr;
  out.fThird = nullptr;
  if (n == 2) out.fSecond = *records[1];
  if (n >= 3) {
    out.fSecond = *records[n - 2];
    out.fThird = *records[n - 1];
  }
  out.fSessionCount = int32(n);
  out.fRecordCount = int32(std::min<size_t>(n, 3));
  out.fPercentDone = PercentDone(std::span(records.data(), n - 1), *records.back());
}

void AddRecordBag(VValueBag& bag, const VProgressIndicatorInfo& info) {
  auto* element = new VValueBag;
  VString kind;
  info.SaveToBag(*element, kind, nullptr);
  bag.AddElement(kSessionInfoElement, element);
  element->Release();
}

}  // namespace

VProgressIndicator::VProgressIndicator() {
  fUUID.Regenerate();
  VProgressManager::RegisterProgress(this);
}

VProgressIndicator::VProgressIndicator(const VUUID& uuid, int version)
    : fUUID(uuid), fSessionsVersion(uint32(version)) {
  VProgressManager::RegisterProgress(this);
}

VProgressIndicator::~VProgressIndicator() {
  VProgressManager::UnregisterProgress(this);
  if (fSnapshot != nullptr) fSnapshot->Release();
}

void VProgressIndicator::DoOnRefCountZero() {
  VProgressManager::UnregisterProgress(this);
  delete this;
}

void VProgressIndicator::BeginSession(long long max, const VString& message) {
  BeginSession(max, 0, message, fCanInterrupt, nullptr);
}

void VProgressIndicator::BeginSession(long long max, const VString& message,
                                      IProgressInfoCollector* collector) {
  BeginSession(max, 0, message, fCanInterrupt, collector);
}

void VProgressIndicator::BeginSession(long long max, const VString& message, bool canInterrupt,
                                      IProgressInfoCollector* collector) {
  BeginSession(max, 0, message, canInterrupt, collector);
}

void VProgressIndicator::BeginUndeterminedSession(const VString& message) {
  BeginSession(-1, 0, message, fCanInterrupt, nullptr);
}

void VProgressIndicator::BeginUndeterminedSession(const VString& message, bool canInterrupt,
                                                  IProgressInfoCollector* collector) {
  BeginSession(-1, 0, message, canInterrupt, collector);
}

void VProgressIndicator::BeginSession(long long max, long long startValue, const VString& message,
                                      bool canInterrupt, IProgressInfoCollector* collector) {
  StLocker<VCriticalSection> lock(&fSessionLock);
  _Changed();
  const int32 count = GetSessionCount();
  if (count == 0)
    ++fSessionsVersion;
  else
    fSaved.push_back(fCurrent);
  fCurrent.fMessage = message;
  fCurrent.fValue = startValue;
  fCurrent.fMax = max;
  fCurrent.fCanInterrupt = canInterrupt;
  fCurrent._ResetStartTime();
  fCurrent.fCollector = collector;
  fCurrent.SetCollectedObject(nullptr);
  if (count == 0) fOwnerThread = std::this_thread::get_id();
  fSessionCount.store(count + 1, std::memory_order_relaxed);
  DoBeginSession(count + 1);
}

void VProgressIndicator::EndSession() {
  StLocker<VCriticalSection> lock(&fSessionLock);
  if (GetSessionCount() == 0) return;
  _CloseRemoteSession();
  _EndOneSession();
}

void VProgressIndicator::_EndOneSession() {
  const int32 count = GetSessionCount();
  if (count == 0) return;
  _RefreshSnapshotIfRequested();
  _Changed();
  if (!fSaved.empty()) {
    fCurrent = fSaved.back();
    fSaved.pop_back();
  }
  DoEndSession(count);
  fSessionCount.store(count - 1, std::memory_order_relaxed);
  if (count == 1) ++fSessionsVersion;
  DoMetrics();
}

void VProgressIndicator::DoMetrics() {
  const uint32 duration = ProgressClockNow() - fCurrent.fStartTime;
  VMetricsManager& metrics = VMetricsManager::sMetricsSingleton;
  VJSONObject* record = metrics.CreateBind(kMetricsKindProgress, duration);
  if (record == nullptr) return;
  auto* data = new VJSONObject;
  fCurrent.GetJSONObject(*data);
  data->SetProperty("title", VJSONValue(fTitle));
  if (VValueBag* extraInfo = fCurrent.RetainExtraInfoBag()) {
    VError error = VE_OK;
    if (VJSONObject* info = extraInfo->BuildJSONObject(error)) {
      if (error == VE_OK) data->SetProperty("extraInfo", VJSONValue(info));
      info->Release();
    }
    extraInfo->Release();
  }
  if (VJSONObject* collected = fCurrent.GetCollectedObject())
    data->SetProperty("subOperations", VJSONValue(collected));
  metrics.BindDatas(record, data);
  data->Release();
  record->Release();
}

bool VProgressIndicator::DoProgress() {
  if (VTaskMgr::IsInited()) VTaskMgr::sInstance->Yield();
  return fAbortState.load(std::memory_order_relaxed) != 1;
}

bool VProgressIndicator::_AfterProgress() {
  const bool goOn = DoProgress();
  if (!goOn || !fCanInterrupt.load(std::memory_order_relaxed)) return goOn;
  const VTask* task = VTask::GetCurrent();
  return task == nullptr || task->GetState() < kTaskStateDying;
}

bool VProgressIndicator::Increment(long long amount) {
  _RefreshSnapshotIfRequested();
  if (GetSessionCount() == 0) return true;
  _Changed();
  fCurrent.fValue += amount;
  return _AfterProgress();
}

bool VProgressIndicator::Decrement(long long amount) {
  _RefreshSnapshotIfRequested();
  if (GetSessionCount() == 0) return true;
  _Changed();
  fCurrent.fValue -= amount;
  return _AfterProgress();
}

bool VProgressIndicator::Progress(long long value) {
  _RefreshSnapshotIfRequested();
  if (GetSessionCount() == 0) return true;
  _Changed();
  fCurrent.fValue = value;
  return _AfterProgress();
}

void VProgressIndicator::SetMaxValue(long long max) {
  if (GetSessionCount() == 0) return;
  _Changed();
  fCurrent.fMax = max;
}

void VProgressIndicator::Reset(const VString& message, long long max, long long value) {
  if (GetSessionCount() == 0) return;
  fCurrent.fMessage = message;
  fCurrent.fMax = max;
  fCurrent.fValue = value;
  fCurrent.fCanInterrupt = true;
  fCurrent._ResetStartTime();
  fCurrent.fCollector = nullptr;
  fCurrent.SetCollectedObject(nullptr);
}

void VProgressIndicator::SetMessage(const VString& message) {
  _RefreshSnapshotIfRequested();
  if (GetSessionCount() == 0) return;
  _Changed();
  fCurrent.fMessage = message;
}

void VProgressIndicator::SetMessageAndValue(const VString& message, long long value) {
  _RefreshSnapshotIfRequested();
  if (GetSessionCount() == 0) return;
  _Changed();
  fCurrent.fMessage = message;
  fCurrent.fValue = value;
}

void VProgressIndicator::SetMessageAndIncrementValue(const VString& message, long long increment) {
  _RefreshSnapshotIfRequested();
  if (GetSessionCount() == 0) return;
  _Changed();
  fCurrent.fMessage = message;
  fCurrent.fValue += increment;
}

void VProgressIndicator::GetMessage(VString& out) const {
  if (GetSessionCount() > 0) fCurrent.GetMessage(out);
}

void VProgressIndicator::SetCanInterrupt(bool value, bool forCurrentSession) {
  if (!forCurrentSession) {
    fCanInterrupt = value;
    return;
  }
  if (GetSessionCount() == 0) return;
  _Changed();
  fCurrent.fCanInterrupt = value;
}

void VProgressIndicator::SetAttribute(const VString& name, const VValueSingle& value) {
  if (GetSessionCount() == 0) return;
  _Changed();
  fCurrent.SetAttribute(name, value);
}

void VProgressIndicator::RemoveAttribute(const VString& name) {
  if (GetSessionCount() == 0) return;
  _Changed();
  fCurrent.RemoveAttribute(name);
}

void VProgressIndicator::SetProgressInfoCollector(IProgressInfoCollector* collector,
                                                  IProgressInfoCollector** outPrevious) {
  if (GetSessionCount() == 0) return;
  if (outPrevious != nullptr) *outPrevious = fCurrent.fCollector;
  fCurrent.fCollector = collector;
}

float VProgressIndicator::ComputePercentDone() const {
  if (GetSessionCount() == 0) return 0;
  std::vector<const VProgressIndicatorInfo*> outer;
  for (const VProgressIndicatorInfo& info : fSaved) outer.push_back(&info);
  return PercentDone(outer, fCurrent);
}

void VProgressIndicator::SetProgressInfo(const VProgressIndicatorInfo& info) {
  StLocker<VCriticalSection> lock(&fSessionLock);
  _Changed();
  fCurrent = info;
}

VError VProgressIndicator::SaveInfoToBag(VValueBag& bag) {
  StLocker<VCriticalSection> lock(&fSessionLock);
  kUserInfo.Set(bag, fUserInfo);
  kSessionCount.Set(bag, GetSessionCount());
  kTitle.Set(bag, fTitle);
  kCanInterrupt.Set(bag, fCanInterrupt.load(std::memory_order_relaxed));
  for (const VProgressIndicatorInfo& info : fSaved) AddRecordBag(bag, info);
  if (GetSessionCount() > 0) AddRecordBag(bag, fCurrent);
  return VE_OK;
}

// Snapshots.

void VProgressIndicator::UpdateSessionsInfos() { _RequestSnapshot(); }

void VProgressIndicator::_RequestSnapshot() const {
  if (GetSessionCount() > 0) fRequested.fetch_add(1, std::memory_order_relaxed);
}

void VProgressIndicator::_RefreshSnapshotIfRequested() {
  if (fRequested.load(std::memory_order_relaxed) != fServed && GetSessionCount() > 0)
    _BuildSnapshot();
}

void VProgressIndicator::_BuildSnapshot() {
  const uint32 requested = fRequested.load(std::memory_order_relaxed);
  std::vector<VProgressIndicatorInfo*> records;
  records.reserve(fSaved.size() + 1);
  auto collect = [&](VProgressIndicatorInfo& info, bool outermost) {
    if (info.fCollector != nullptr) {
      VJSONObject* collected = info.fCollector->CollectInfo(this, outermost);
      info.SetCollectedObject(collected);
      if (collected != nullptr) collected->Release();
    }
    records.push_back(new VProgressIndicatorInfo(info));
  };
  bool first = true;
  for (VProgressIndicatorInfo& info : fSaved) {
    collect(info, first);
    first = false;
  }
  collect(fCurrent, fSaved.empty());
  auto* snapshot =
      new VRefCountedSessionInfo(std::move(records), GetChangeCounter(), fSessionsVersion);
  StLocker<VCriticalSection> lock(&fSnapshotLock);
  if (fSnapshot != nullptr) fSnapshot->Release();
  fSnapshot = snapshot;
  fServed = requested;
}

VRefCountedSessionInfo* VProgressIndicator::RetainSessionsInfos() const {
  StLocker<VCriticalSection> lock(&fSnapshotLock);
  if (fSnapshot != nullptr) fSnapshot->Retain();
  return fSnapshot;
}

bool VProgressIndicator::GetProgressInfo(VProgressSessionInfo& out) {
  if (IsMirroring()) {
    // A mirror's records change only under the session lock.
    if (!fSessionLock.TryToLock()) return false;
    const int32 count = GetSessionCount();
    if (count > 0) {
      std::vector<const VProgressIndicatorInfo*> records;
      for (const VProgressIndicatorInfo& info : fSaved) records.push_back(&info);
      records.push_back(&fCurrent);
      Summarize(records, out);
      out.fChangeCounter = GetChangeCounter();
    }
    fSessionLock.Unlock();
    return count > 0;
  }
  _RequestSnapshot();
  VRefPtr<VRefCountedSessionInfo> snapshot(RetainSessionsInfos(), VAdoptRefTag{});
  if (snapshot == nullptr) return false;
  // From the snapshot: the live records belong to the owning task.
  Summarize(snapshot->GetRecords(), out);
  out.fChangeCounter = GetChangeCounter();
  return true;
}

bool VProgressIndicator::GetProgressInfo(const VUUID& uuid, VProgressIndicatorInfo& out) const {
  StLocker<VCriticalSection> lock(&fSessionLock);
  if (fCurrent.fUUID == uuid) {
    out = fCurrent;
    return true;
  }
  bool found = false;
  for (const VProgressIndicatorInfo& info : fSaved) {
    if (info.fUUID == uuid) {
      out = info;
      found = true;
    }
  }
  return found;
}

// Remote mirroring.

bool VProgressIndicator::GetProgressInfo(VRemoteProgressSessionInfo& out,
                                         VRemoteProgressSessionInfo* previous) const {
  if (!fSessionLock.TryToLock()) return false;
  // Under the lock the count, the saved sessions and the versions hold
  // still; the current record is the working task's own.
  const int32 count = GetSessionCount();
  const bool live = count == 0 || IsMirroring() || fOwnerThread == std::this_thread::get_id();
  VRefPtr<VRefCountedSessionInfo> snapshot;
  if (!live) {
    _RequestSnapshot();
    snapshot.Adopt(RetainSessionsInfos());
    if (snapshot == nullptr) {
      fSessionLock.Unlock();
      return false;
    }
  }
  std::deque<VProgressIndicatorInfo> snapshotSaved;
  const VProgressIndicatorInfo* current = &fCurrent;
  const std::deque<VProgressIndicatorInfo>* saved = &fSaved;
  int32 sessionCount = count;
  uint32 changes = GetChangeCounter();
  uint32 version = fSessionsVersion;
  if (snapshot != nullptr) {
    const auto& records = snapshot->GetRecords();
    for (size_t i = 0; i + 1 < records.size(); ++i) snapshotSaved.push_back(*records[i]);
    current = records.back();
    saved = &snapshotSaved;
    sessionCount = int32(records.size());
    changes = snapshot->GetChangeCounter();
    version = snapshot->GetSessionsVersion();
  }
  const bool userAbort = fAbortState.load(std::memory_order_relaxed) != 0;
  const bool canInterrupt = fCanInterrupt.load(std::memory_order_relaxed);
  out.fFlags = 0;
  bool wholeStack = true;
  if (previous != nullptr) {
    if (previous->fChangesVersion == changes) {
      fSessionLock.Unlock();
      return false;
    }
    if (userAbort != previous->fUserAbort) {
      out.fUserAbort = userAbort;
      out.fFlags |= kRemoteProgressUserAbort;
    }
    if (canInterrupt != previous->fCanInterrupt) {
      out.fCanInterrupt = canInterrupt;
      out.fFlags |= kRemoteProgressCanInterrupt;
    }
    const auto& sent = previous->GetRecords();
    if (sessionCount != 0 && sessionCount == previous->fSessionCount && !sent.empty() &&
        sent.back().fStartTime == current->fStartTime)
      wholeStack = false;
  } else {
    out.fUserAbort = userAbort;
    out.fCanInterrupt = canInterrupt;
    out.fFlags |= kRemoteProgressUserAbort | kRemoteProgressCanInterrupt;
  }
  // With no session open no record is sent.
  if (sessionCount == 0) current = nullptr;
  out.FromProgressInfo(current, wholeStack && current != nullptr ? saved : nullptr, sessionCount,
                       changes, version, fRemoteSessionVersion);
  fSessionLock.Unlock();
  return true;
}

void VProgressIndicator::_PushRemoteRecords(const std::deque<VProgressIndicatorInfo>& records) {
  for (const VProgressIndicatorInfo& record : records) {
    const int32 count = GetSessionCount();
    if (count > 0) fSaved.push_back(fCurrent);
    fCurrent = record;
    fSessionCount.store(count + 1, std::memory_order_relaxed);
    DoBeginSession(count + 1);
  }
}

void VProgressIndicator::_EndMirroredSessions() {
  for (int32 n = GetSessionCount() - fBaseDepth; n > 0; --n) _EndOneSession();
}

void VProgressIndicator::_CleanRemoteSession() {
  StLocker<VCriticalSection> lock(&fSessionLock);
  if (IsMirroring()) _EndMirroredSessions();
}

void VProgressIndicator::_CloseRemoteSession() {
  StLocker<VCriticalSection> lock(&fSessionLock);
  if (!IsMirroring()) return;
  _EndMirroredSessions();
  fMirroring.store(false, std::memory_order_relaxed);
}

void VProgressIndicator::UpdateFromRemoteInfo(const VRemoteProgressSessionInfo& info) {
  StLocker<VCriticalSection> lock(&fSessionLock);
  const uint32 flags = info.fFlags;
  const auto& records = info.GetRecords();
  // An abort, once received, stays.
  if ((flags & kRemoteProgressUserAbort) != 0 && fAbortState.load(std::memory_order_relaxed) == 0)
    fAbortState.store(info.fUserAbort ? 1 : 0, std::memory_order_relaxed);
  if ((flags & kRemoteProgressCanInterrupt) != 0)
    fCanInterrupt.store(info.fCanInterrupt, std::memory_order_relaxed);
  if (!IsMirroring()) {
    if ((flags & kRemoteProgressSessionStack) == 0 || info.fSessionCount == 0 || records.empty())
      return;
    fMirroring.store(true, std::memory_order_relaxed);
    fBaseDepth = GetSessionCount();
    if (fBaseDepth == 0) fSessionsVersion = info.fSessionVersion;
    fRemoteSessionVersion = info.fSessionVersion;
    fChangeCounter.store(info.fChangesVersion, std::memory_order_relaxed);
    _PushRemoteRecords(records);
    return;
  }
  if (info.fSessionCount == 0 ||
      (fBaseDepth != 0 && info.fMasterSessionVersion != fSessionsVersion)) {
    _CloseRemoteSession();
    return;
  }
  if ((flags & kRemoteProgressCurrentSession) != 0) {
    if (GetChangeCounter() == info.fChangesVersion || records.empty()) return;
    fCurrent.UpdateFromRemoteInfo(records.back(), info.GetCurrentUpdateFlags());
  } else if ((flags & kRemoteProgressSessionStack) != 0) {
    if (records.empty()) return;
    if (fRemoteSessionVersion != info.fSessionVersion) {
      // Another set of sessions: rebuilt once, then followed.
      _EndMirroredSessions();
      fSessionsVersion = info.fSessionVersion;
      fRemoteSessionVersion = info.fSessionVersion;
      fChangeCounter.store(info.fChangesVersion, std::memory_order_relaxed);
      _PushRemoteRecords(records);
      return;
    }
    if (GetChangeCounter() == info.fChangesVersion) return;
    // Sessions the sender ended or began since the last stack.
    const int32 received = int32(records.size());
    while (GetSessionCount() - fBaseDepth > received) _EndOneSession();
    const int32 mirrored = GetSessionCount() - fBaseDepth;
    if (mirrored < received)
      _PushRemoteRecords(
          std::deque<VProgressIndicatorInfo>(records.begin() + mirrored, records.end()));
    fCurrent = records.back();
    for (int32 i = 0; i + 1 < received; ++i) fSaved[size_t(fBaseDepth + i)] = records[size_t(i)];
  } else {
    return;
  }
  fChangeCounter.store(info.fChangesVersion, std::memory_order_relaxed);
}

VError VProgressIndicator::WriteInfoForRemote(VStream& stream) {
  const int16 marker = 1;
  stream.PutWords(&marker, 1);
  stream.PutValue(fUUID, false);
  const int32 version = int32(fSessionsVersion);
  return stream.PutLongs(&version, 1);
}

VError VProgressIndicator::WriteInfoForRemote(VValueBag& bag, VString& kind) {
  kUUID.Set(bag, fUUID);
  kVersion.Set(bag, fSessionsVersion);
  kind = "VProgressIndicator";
  return VE_OK;
}

}  // namespace zeft
