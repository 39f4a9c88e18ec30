#include "json/VJSONArray.h"

#include <algorithm>
#include <numeric>

#include "core/VCompareOptions.h"
#include "json/JSONClassError.h"
#include "json/JSONRoomBlock.h"
#include "json/JSONStackCheck.h"
#include "json/JSONToolboxError.h"
#include "json/StGraphLocker.h"
#include "json/StJSONTeardown.h"
#include "json/VJSONCloner.h"
#include "json/VJSONComparedPairs.h"
#include "json/VJSONGraph.h"
#include "json/VJSONObject.h"
#include "json/VJSONStamp.h"
#include "json/VJSONUser.h"
#include "json/VStorageLocker.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"

namespace zeft {

std::atomic<int32> VJSONArray::sTaskToMonitor{0};
std::atomic<int32> VJSONArray::sTaskCounter{0};

namespace {

bool IsMonitoredTask() {
  const int32 task = VJSONArray::sTaskToMonitor.load(std::memory_order_relaxed);
  return task != 0 && task == VTask::GetCurrentID();
}

bool IsContainer(const VJSONValue& value) {
  return value.GetObject() != nullptr || value.GetArray() != nullptr;
}

bool IsSharedContainer(const VJSONValue& value) {
  if (const VJSONObject* object = value.GetObject()) return object->IsSharedGraph();
  if (const VJSONArray* array = value.GetArray()) return array->IsSharedGraph();
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and counting

VJSONArray::VJSONArray(bool shared) : VJSONArray(static_cast<VStorageLocker*>(nullptr)) {
  if (shared) fLocker.store(new VStorageLocker(), std::memory_order_release);
}

VJSONArray::VJSONArray(VStorageLocker* locker) {
  if (locker != nullptr) {
    locker->Retain();
    fLocker.store(locker, std::memory_order_release);
  }
  if (IsMonitoredTask()) sTaskCounter.fetch_add(1);
}

VJSONArray::~VJSONArray() {
  StJSONTeardown teardown;
  // Nothing else reaches a dying array: no locked exchange is needed.
  if (VStorageLocker* locker = fLocker.load(std::memory_order_acquire)) locker->Release();
  if (fStamp != nullptr) fStamp->Release();
  if (fGraph != nullptr) {
    StGraphLocker lock(fGraph->NeedsLock());
    _BulkDisconnect(0, fValues.size());
    fGraph->RemoveArray(this);
    std::exchange(fGraph, nullptr)->Release();
  }
  if (IsMonitoredTask()) sTaskCounter.fetch_sub(1);
  teardown.Dispose(fValues);
}

int32 VJSONArray::Retain(const char*) const { return VJSONGraph::RetainMember(this); }

int32 VJSONArray::Release(const char*) const { return VJSONGraph::ReleaseMember(this); }

bool VJSONArray::_NeedsGraphLock() const {
  return HasStorageLocker() || (fGraph != nullptr && fGraph->NeedsLock());
}

bool VJSONArray::_CheckInUse() const {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  if (locker == nullptr || locker->IsInUseByCurrentTask()) return true;
  ThrowJSONClassError(json_error::kArrayNotInUse);
  return false;
}

bool VJSONArray::_AssignToLocker(const VJSONValue& value) {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  return locker == nullptr || locker->AssignValue(value);
}

void VJSONArray::_AdvanceStamp() {
  if (fStamp != nullptr) fStamp->Increment();
}

void VJSONArray::_DisconnectElement(const VJSONValue& value) {
  if (fGraph != nullptr && IsContainer(value)) VJSONGraph::Disconnect(fGraph, value);
}

void VJSONArray::_BulkDisconnect(size_t from, size_t to) {
  if (fGraph == nullptr) return;
  int32 count = 0;
  for (size_t i = from; i < to; ++i) {
    if (VJSONObject* object = fValues[i].GetObject()) {
      --object->fInGraphCount;
      ++count;
    } else if (VJSONArray* array = fValues[i].GetArray()) {
      --array->fInGraphCount;
      ++count;
    }
  }
  fGraph->AddInternalReferences(-count);
}

void VJSONArray::_Connect(size_t index) {
  if (IsContainer(fValues[index])) VJSONGraph::Connect(&fGraph, fValues[index], nullptr, this);
}

// ---------------------------------------------------------------------------
// Reading

size_t VJSONArray::GetCount() const {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(locker != nullptr, locker);
  return fValues.size();
}

VJSONValue VJSONArray::GetAt(size_t index) const {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(locker != nullptr, locker);
  return index < fValues.size() ? fValues[index] : VJSONValue(JSON_undefined);
}

bool VJSONArray::GetAt(size_t index, VJSONValue& out) const {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(locker != nullptr, locker);
  if (index >= fValues.size()) {
    out.SetUndefined();
    return false;
  }
  out = fValues[index];
  return true;
}

void VJSONArray::GetValues(std::vector<VJSONValue>& out) const {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(locker != nullptr, locker);
  out.assign(fValues.begin(), fValues.end());
}

void VJSONArray::TouchStampAt(size_t index) {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(locker != nullptr, locker);
  if (index < fValues.size()) fValues[index].SetStamp(VJSONValue::NextStamp());
}

VStorageLocker* VJSONArray::GetStorageLocker() const {
  StGraphLocker lock;
  VStorageLocker* locker = GetStorageLockerNoRetain();
  if (locker != nullptr) locker->Retain();
  return locker;
}

bool VJSONArray::IsSharedGraph() const { return _NeedsGraphLock(); }

int32 VJSONArray::GetSharedID() const {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  if (locker == nullptr) return 0;
  StJSONLocks locks(true, locker);
  return locker->GetSharedID();
}

uint32 VJSONArray::GetStampCounter() const { return fStamp != nullptr ? fStamp->GetCounter() : 0; }

VError VJSONArray::GetString(VString& out, std::unordered_set<const VJSONArray*>* arrays) const {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(locker != nullptr, locker);
  if (fValues.empty()) {
    out.Clear();
    return VE_OK;
  }
  if (!JSONHasStackRoom()) return ToolboxError(toolbox_error::kBufferTooLong);
  std::unordered_set<const VJSONArray*> local;
  if (arrays == nullptr) {
    local.max_load_factor(1.0f);
    arrays = &local;
  }
  if (arrays->count(this) != 0) {
    _ThrowError(ToolboxError(json_error::kCircular));
    out.Clear();
    return VE_OK;
  }
  arrays->insert(this);
  std::vector<VString> texts(fValues.size());
  VError error = VE_OK;
  for (size_t i = 0; i < fValues.size() && error == VE_OK; ++i) {
    error = fValues[i].GetString(texts[i], arrays);
  }
  if (!out.Join(texts, u',')) {
    error = ThrowJSONToolboxError(toolbox_error::kStringTooLong);
  }
  arrays->erase(this);
  return error;
}

bool VJSONArray::DeepEqualTo(const VJSONArray* other, const VCompareOptions& options) const {
  VJSONComparedPairs pairs;
  return DeepEqualTo(other, options, pairs);
}

bool VJSONArray::DeepEqualTo(const VJSONArray* other, const VCompareOptions& options,
                             VJSONComparedPairs& pairs) const {
  if (other == nullptr) return false;
  if (other == this) return true;
  const StJSONComparedPair pair(pairs, this, other);
  if (!pair.Entered()) return true;
  if (!JSONHasStackRoom()) return false;
  VStorageLocker* mine = GetStorageLockerNoRetain();
  VStorageLocker* theirs = other->GetStorageLockerNoRetain();
  StJSONLocks myLocks(mine != nullptr, mine);
  StJSONLocks theirLocks(theirs != nullptr, theirs);
  if (fValues.size() != other->fValues.size()) return false;
  for (size_t i = 0; i < fValues.size(); ++i) {
    if (!fValues[i].DeepEqualTo(other->fValues[i], options, pairs)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Changing

bool VJSONArray::Push(const VJSONValue& value) {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(_NeedsGraphLock() || IsSharedContainer(value), locker);
  if (!_CheckInUse()) return false;
  if (locker != nullptr) {
    // Held first: the value may be one of the elements, which the new slot
    // may move.
    const VJSONValue held(value);
    fValues.emplace_back(JSON_null);
    if (!SetAt(fValues.size() - 1, held)) {
      fValues.pop_back();  // a refused store leaves nothing behind
      return false;
    }
    return true;
  }
  fValues.push_back(value);
  _Connect(fValues.size() - 1);
  _AdvanceStamp();
  return true;
}

VJSONArray* VJSONArray::_NewWithRoom(size_t count) {
  void* room = nullptr;
  VJSONArray* array =
      NewWithRoomBehind<VJSONArray>(VJSONElements::RoomSize(count), alignof(VJSONValue), room);
  array->fValues.UseRoom(room, count);
  return array;
}

void VJSONArray::_TakeTreeElements(std::vector<VJSONValue>& from, size_t first) {
  const size_t count = from.size();
  if (fGraph != nullptr || fStamp != nullptr || HasStorageLocker()) {
    for (size_t i = first; i < count; ++i) Push(from[i]);
  } else {
    fValues.reserve(fValues.size() + (count - first));
    for (size_t i = first; i < count; ++i) fValues.emplace_back(std::move(from[i]));
  }
  from.erase(from.begin() + ptrdiff_t(first), from.end());
}

bool VJSONArray::SetAt(size_t index, const VJSONValue& value) {
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(_NeedsGraphLock() || IsSharedContainer(value), locker);
  if (!_CheckInUse()) return false;
  if (index >= fValues.size()) return true;
  if (!_AssignToLocker(value)) return false;
  _AdvanceStamp();
  _ReplaceElement(index, value);
  return true;
}

bool VJSONArray::SetAt_unchecked(size_t index, const VJSONValue& value) {
  if (HasStorageLocker()) return SetAt(index, value);
  _AdvanceStamp();
  if (!IsContainer(fValues[index]) && !IsContainer(value)) {
    fValues[index] = value;
    return true;
  }
  StGraphLocker lock(_NeedsGraphLock() || IsSharedContainer(value));
  _ReplaceElement(index, value);
  return true;
}

void VJSONArray::_ReplaceElement(size_t index, const VJSONValue& value) {
  // The old element leaves the array before the graph checks it, so that a
  // cycle through this array does not count that reference twice.
  const VJSONValue old = std::move(fValues[index]);
  fValues[index] = VJSONValue(JSON_null);
  _DisconnectElement(old);
  if (index >= fValues.size()) return;  // the graph emptied this array
  fValues[index] = value;
  _Connect(index);
}

void VJSONArray::RemoveAt(size_t index, size_t count) {
  std::vector<VJSONValue> removed;
  {
    VStorageLocker* locker = GetStorageLockerNoRetain();
    StJSONLocks locks(_NeedsGraphLock(), locker);
    if (index >= fValues.size()) return;
    if (!_CheckInUse()) return;
    // Written so that index + count never overflows.
    const size_t end = index + std::min(count, fValues.size() - index);
    removed.assign(std::make_move_iterator(fValues.begin() + ptrdiff_t(index)),
                   std::make_move_iterator(fValues.begin() + ptrdiff_t(end)));
    fValues.erase(fValues.begin() + index, fValues.begin() + end);
    for (const VJSONValue& value : removed) _DisconnectElement(value);
    _AdvanceStamp();
  }
}

bool VJSONArray::Resize(size_t count) {
  std::vector<VJSONValue> removed;
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(_NeedsGraphLock(), locker);
  if (!_CheckInUse()) return false;
  if (count < fValues.size()) {
    _BulkDisconnect(count, fValues.size());
    removed.assign(std::make_move_iterator(fValues.begin() + ptrdiff_t(count)),
                   std::make_move_iterator(fValues.end()));
    fValues.resize(count);
  } else {
    fValues.resize(count, VJSONValue(JSON_null));
  }
  _AdvanceStamp();
  return true;
}

bool VJSONArray::Resize(size_t count, JSONType fill) {
  const size_t old = GetCount();
  if (count <= old) {
    if (count == old) return true;
    return Resize(count);
  }
  VJSONValue value(fill);
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(_NeedsGraphLock() || IsContainer(value), locker);
  if (!_CheckInUse()) return false;
  // A fill container is new and private: it joins a shared array's group.
  if (locker != nullptr) {
    if (VJSONObject* object = value.GetObject()) object->_SetStorageLocker(locker);
    if (VJSONArray* array = value.GetArray()) array->_SetStorageLocker(locker);
  }
  // Each element is connected as it is appended, so that the graph counts
  // every reference once.
  fValues.reserve(count);
  while (fValues.size() < count) {
    fValues.push_back(value);
    _Connect(fValues.size() - 1);
  }
  if (locker == nullptr) _AdvanceStamp();
  return true;
}

void VJSONArray::Clear() {
  VJSONElements removed;
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(_NeedsGraphLock(), locker);
  if (!_CheckInUse()) return;
  _BulkDisconnect(0, fValues.size());
  removed.swap(fValues);
  if (locker == nullptr) _AdvanceStamp();
}

void VJSONArray::SwapValues(std::vector<VJSONValue>& values) {
  VJSONElements removed;
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(true, locker);
  if (!_CheckInUse()) return;
  _BulkDisconnect(0, fValues.size());
  removed.swap(fValues);
  fValues.reserve(values.size());
  for (VJSONValue& value : values) {
    // Stored as Push stores: a container the group refuses is not kept.
    if (IsContainer(value) && !_AssignToLocker(value)) value.SetNull();
    fValues.push_back(std::move(value));
    _Connect(fValues.size() - 1);
  }
  values.clear();
  _AdvanceStamp();
}

bool VJSONArray::Concatenate(const VJSONArray& other) {
  if (other.fValues.empty()) return true;
  VStorageLocker* locker = GetStorageLockerNoRetain();
  StJSONLocks locks(true, locker);
  if (!_CheckInUse()) return false;
  _AdvanceStamp();
  fValues.reserve(fValues.size() + other.fValues.size());
  // `other` may be this array.
  const std::vector<VJSONValue> source(other.fValues.begin(), other.fValues.end());
  for (const VJSONValue& value : source) {
    if (!_AssignToLocker(value)) return false;
    fValues.push_back(value);
    _Connect(fValues.size() - 1);
  }
  return true;
}

void VJSONArray::Sort(IJSONValueComparator* comparator) {
  VRefPtr<VStorageLocker> locker;
  {
    StGraphLocker lock(HasStorageLocker());
    locker.Reset(GetStorageLockerNoRetain());
  }
  if (locker && !locker->IsInUseByCurrentTask()) {
    ThrowJSONClassError(json_error::kArrayNotInUse);
    return;
  }
  std::vector<size_t> order(fValues.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return (*comparator)(fValues[a], fValues[b]); });
  {
    StJSONLocks locks(_NeedsGraphLock(), locker.Get());
    // Apply the permutation in place: position k takes element order[k].
    for (size_t i = 0; i < order.size(); ++i) {
      size_t current = i;
      while (order[current] != i) {
        const size_t next = order[current];
        std::swap(fValues[current], fValues[next]);
        order[current] = current;
        current = next;
      }
      order[current] = current;
    }
  }
  _AdvanceStamp();
}

// ---------------------------------------------------------------------------
// Maintenance

void VJSONArray::SetStorageLocker(VStorageLocker* locker) {
  StGraphLocker lock(_NeedsGraphLock());
  _SetStorageLocker(locker);
}

void VJSONArray::_SetStorageLocker(VStorageLocker* locker) {
  if (GetStorageLockerNoRetain() == locker) return;
  if (locker != nullptr) locker->Retain();
  if (VStorageLocker* old = fLocker.exchange(locker)) old->Release();
}

void VJSONArray::SetJSONStamp(VJSONStamp* stamp) {
  StGraphLocker lock(_NeedsGraphLock());
  if (stamp == fStamp) return;
  if (stamp != nullptr) stamp->Retain();
  if (fStamp != nullptr) fStamp->Release();
  fStamp = stamp;
}

void VJSONArray::DisconnectAll(size_t from) { _BulkDisconnect(from, fValues.size()); }

void VJSONArray::ClearFromGraph() {
  StGraphLocker lock(_NeedsGraphLock());
  _BulkDisconnect(0, fValues.size());
  VJSONElements removed;
  removed.swap(fValues);
}

// ---------------------------------------------------------------------------
// Producing

void VJSONArray::JoinAsString(const VString& separator, VString& out, bool keepEmpty,
                              bool nullAsText) const {
  out.Clear();
  VJSONUser user(this);
  const size_t count = GetCount();
  bool first = true;
  VString text;
  for (size_t i = 0; i < count; ++i) {
    const VJSONValue value = GetAt(i);
    if (value.IsNull() || value.IsUndefined()) {
      if (!nullAsText) continue;
      text.FromCString("null");
    } else {
      value.GetString(text);
      if (!keepEmpty && (text.IsNull() || text.IsEmpty())) continue;
    }
    if (!first) out.AppendString(separator);
    out.AppendString(text);
    first = false;
  }
}

VJSONValue VJSONArray::GetSelectedRows(const VJSONValue& selection) const {
  VJSONValue result(JSON_object);
  VJSONValue ranges(JSON_array);
  result.GetObject()->SetProperty(VString("ranges"), ranges);
  const VJSONArray* selected = selection.GetArray();
  if (selected == nullptr) return result;
  VCompareOptions options;
  options.SetIntlMgr(VTask::GetCurrentIntlManager());
  options.SetEpsilon(1e-06);
  VJSONUser mine(this);
  VJSONUser theirs(selected);
  std::vector<VJSONValue> values, candidates;
  GetValues(values);
  selected->GetValues(candidates);
  auto matches = [&](const VJSONValue& value) {
    for (const VJSONValue& candidate : candidates) {
      if (value.IsObject() ? candidate.GetObject() == value.GetObject()
                           : value.CompareTo(candidate, options) == 0) {
        return true;
      }
    }
    return false;
  };
  auto addRange = [&](size_t start, size_t end) {
    VJSONValue range(JSON_object);
    range.GetObject()->SetProperty(VString("start"), VJSONValue(double(start)));
    range.GetObject()->SetProperty(VString("end"), VJSONValue(double(end)));
    ranges.GetArray()->Push(range);
  };
  bool inRun = false;
  size_t start = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    if (matches(values[i])) {
      if (!inRun) start = i;
      inRun = true;
    } else if (inRun) {
      addRange(start, i - 1);
      inRun = false;
    }
  }
  if (inRun) addRange(start, values.size() - 1);
  return result;
}

VError VJSONArray::Clone(VJSONValue& out, VJSONCloner& cloner) const {
  if (cloner.GetMode() == VJSONCloner::kKeepShared && HasStorageLocker()) {
    out.SetArray(const_cast<VJSONArray*>(this));
    return VE_OK;
  }
  VStorageLocker* target = cloner.GetMode() == VJSONCloner::kCopyIntoLocker
                               ? cloner.GetStorageLockerAndAssignIfNecessary()
                               : nullptr;
  auto* copy = new VJSONArray(target);
  out.SetArray(copy);
  copy->Release();
  VStorageLocker* source = GetStorageLockerNoRetain();
  StJSONLocks targetLocks(target != nullptr, target);
  StJSONLocks sourceLocks(source != nullptr, source);
  copy->fValues.reserve(fValues.size());
  for (const VJSONValue& element : fValues) {
    VJSONValue value(element);
    const VError error = cloner.CloneValue(value);
    if (error != VE_OK) return error;
    copy->fValues.push_back(std::move(value));
    copy->_Connect(copy->fValues.size() - 1);
  }
  return VE_OK;
}

}  // namespace zeft
