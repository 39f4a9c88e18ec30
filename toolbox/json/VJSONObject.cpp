#include "json/VJSONObject.h"

#include "core/VCompareOptions.h"
#include "json/IJSONClassRegistry.h"
#include "json/JSONClassError.h"
#include "json/JSONRoomBlock.h"
#include "json/JSONStackCheck.h"
#include "json/StGraphLocker.h"
#include "json/StJSONTeardown.h"
#include "json/VJSONArray.h"
#include "json/VJSONClass.h"
#include "json/VJSONComparedPairs.h"
#include "json/VJSONFunctionContext.h"
#include "json/VJSONGraph.h"
#include "json/VJSONStamp.h"
#include "json/VJSONWriter.h"
#include "json/VStorageLocker.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"

namespace zeft {

std::atomic<int32> VJSONObject::sTaskToMonitor{0};
std::atomic<int32> VJSONObject::sTaskCounter{0};

namespace {

std::atomic<IJSONClassRegistry*> sClassRegistry{nullptr};

const VString kLockerIDName("__LockerID");

bool IsMonitoredTask(const std::atomic<int32>& monitored) {
  const int32 task = monitored.load(std::memory_order_relaxed);
  return task != 0 && task == VTask::GetCurrentID();
}

}  // namespace

void VJSONObject::SetClassRegistry(IJSONClassRegistry* registry) {
  sClassRegistry.store(registry, std::memory_order_relaxed);
}

IJSONClassRegistry* VJSONObject::GetClassRegistry() {
  return sClassRegistry.load(std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------
// Construction and counting

VJSONObject::VJSONObject(VJSONObject* classObject, IJSONObject* implementation,
                         VStorageLocker* locker, bool uncounted)
    : fImplementation(implementation), fUncounted(uncounted) {
  if (fImplementation != nullptr) fImplementation->Retain();
  if (locker != nullptr) {
    locker->Retain();
    fLocker.store(locker, std::memory_order_release);
  }
  IJSONClassRegistry* registry = GetClassRegistry();
  if (classObject != nullptr) {
    classObject->Retain();
    fClassObject = classObject;
  } else if (registry != nullptr) {
    fClassObject = registry->RetainDefaultClassObject();
  }
  if (!fUncounted && IsMonitoredTask(sTaskToMonitor)) sTaskCounter.fetch_add(1);
  if (fClassObject != nullptr && registry != nullptr) {
    fClass = registry->GetClass(fClassObject->fImplementation);
  }
  if (fImplementation != nullptr) fImplementation->IJSON_DoConnectDependencies(this);
}

VJSONObject::VJSONObject(VJSONObject* classObject, IJSONObject* implementation, bool shared)
    : VJSONObject(classObject, implementation, nullptr, false) {
  if (shared) fLocker.store(new VStorageLocker(), std::memory_order_release);
}

VJSONObject::~VJSONObject() {
  StJSONTeardown teardown;
  if (fImplementation != nullptr) fImplementation->IJSON_DoDisconnectDependencies(this);
  if (fGraph != nullptr) {
    StGraphLocker lock(_IsLockRequiring());
    DisconnectAll();
    fGraph->RemoveObject(this);
    std::exchange(fGraph, nullptr)->Release();
  }
  if (fImplementation != nullptr) fImplementation->Release();
  if (VStorageLocker* locker = fLocker.exchange(nullptr)) locker->Release();
  if (fStamp != nullptr) fStamp->Release();
  if (!fUncounted && IsMonitoredTask(sTaskToMonitor)) sTaskCounter.fetch_sub(1);
  if (fClassObject != nullptr) fClassObject->Release();
  teardown.Dispose(fProperties);
}

void VJSONObject::DoOnRefCountZero() { delete this; }

bool VJSONObject::_IsLockRequiring() const {
  return HasStorageLocker() || (fGraph != nullptr && fGraph->NeedsLock());
}

int32 VJSONObject::Retain(const char*) const { return VJSONGraph::RetainMember(this); }

int32 VJSONObject::Release(const char*) const { return VJSONGraph::ReleaseMember(this); }

// ---------------------------------------------------------------------------
// Reading

VJSONValue VJSONObject::GetProperty(const VString& name, VDBLanguageContext* context) const {
  VJSONValue result(JSON_undefined);
  {
    VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
    StJSONLocks locks(locker != nullptr, locker);
    EJSONStatus status = EJSON_unhandled;
    if (fImplementation != nullptr) {
      status =
          fImplementation->IJSON_GetProperty(const_cast<VJSONObject*>(this), name, result, context);
    }
    if (status == EJSON_unhandled) result = _GetOwnProperty(name);
  }
  if (result.IsUndefined() && fClass != nullptr) {
    if (IJSONClassRegistry* registry = GetClassRegistry()) {
      if (!registry->GetFunction(fClass, name, result)) {
        registry->CallGetter(fClass, const_cast<VJSONObject*>(this), name, result, context);
      }
    }
  }
  return result;
}

VJSONValue VJSONObject::GetOwnProperty(const VString& name) const {
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  StJSONLocks locks(locker != nullptr, locker);
  return _GetOwnProperty(name);
}

VJSONValue VJSONObject::_GetOwnProperty(const VString& name) const {
  if (VStorageLocker* locker = fLocker.load(std::memory_order_acquire)) {
    if (name.EqualToStringRaw(kLockerIDName)) return VJSONValue(double(locker->GetSharedID()));
  }
  const size_t found = fProperties.Find(name);
  if (found == PropertyMap::kNotFound) return VJSONValue(JSON_undefined);
  return fProperties[found].fValue;
}

bool VJSONObject::HasOwnProperty(const VString& name) const {
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  StJSONLocks locks(locker != nullptr, locker);
  return _HasOwnProperty(name);
}

bool VJSONObject::_HasOwnProperty(const VString& name) const {
  if (HasStorageLocker() && name.EqualToStringRaw(kLockerIDName)) return true;
  return fProperties.Find(name) != PropertyMap::kNotFound;
}

bool VJSONObject::HasProperty(const VString& name, VDBLanguageContext* context) const {
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  StJSONLocks locks(locker != nullptr, locker);
  bool askStore = true;
  if (fImplementation != nullptr) {
    VJSONValue value(JSON_undefined);
    const EJSONStatus status =
        fImplementation->IJSON_GetProperty(const_cast<VJSONObject*>(this), name, value, context);
    if (status == EJSON_ok && !value.IsUndefined()) return true;
    askStore = status == EJSON_unhandled;
  }
  if (askStore && _HasOwnProperty(name)) return true;
  const VJSONObject* prototype = _GetPrototype();
  return prototype != nullptr && prototype != this && prototype->HasProperty(name, nullptr);
}

VJSONValue VJSONObject::GetPropertyByIndex(uint64 index, EJSONStatus* status) const {
  VJSONValue value(JSON_undefined);
  EJSONStatus answer = EJSON_unhandled;
  if (fImplementation != nullptr) {
    answer = fImplementation->IJSON_GetPropertyByIndex(this, index, value);
  }
  if (status != nullptr) *status = answer;
  return value;
}

uint64 VJSONObject::GetCountPropertiesByIndex(EJSONStatus* status) const {
  uint64 count = 0;
  EJSONStatus answer = EJSON_unhandled;
  if (fImplementation != nullptr) {
    answer = fImplementation->IJSON_GetCountPropertiesByIndex(this, count);
  }
  if (status != nullptr) *status = answer;
  return answer == EJSON_unhandled ? 0 : count;
}

VJSONObject::PropertyMap VJSONObject::GetInternalProperties() const {
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  StJSONLocks locks(locker != nullptr, locker);
  return fProperties;
}

bool VJSONObject::IsEmpty() const {
  {
    VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
    StJSONLocks locks(locker != nullptr, locker);
    if (!fProperties.empty()) return false;
  }
  if (fImplementation != nullptr && !fImplementation->IJSON_IsEmpty(this)) return false;
  IJSONClassRegistry* registry = GetClassRegistry();
  return fClass == nullptr || registry == nullptr || !registry->HasGetters(fClass);
}

VError VJSONObject::GetString(VString& out) const {
  out.FromString(VJSONValue::sObjectString);
  return VE_OK;
}

bool VJSONObject::GetPropertyAsString(const VString& name, VString& out) const {
  const VJSONValue value = GetProperty(name, nullptr);
  if (!value.IsString()) return false;
  out.FromString(value.GetInlineString());
  return true;
}

bool VJSONObject::GetPropertyAsBool(const VString& name, bool* out) const {
  const VJSONValue value = GetProperty(name, nullptr);
  if (!value.IsBool()) return false;
  if (out != nullptr) *out = value.GetType() == JSON_true;
  return true;
}

// ---------------------------------------------------------------------------
// Writing

bool VJSONObject::_CheckInUse() const {
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  if (locker == nullptr || locker->IsInUseByCurrentTask()) return true;
  ThrowJSONClassError(json_error::kObjectNotInUse);
  return false;
}

bool VJSONObject::_IsSharableImplementation() const {
  if (fImplementation == nullptr) return false;
  bool move = false;
  return fImplementation->IJSON_IsSharable(this, &move) && !move;
}

bool VJSONObject::SetProperty(const VString& name, const VJSONValue& value,
                              VDBLanguageContext* context) {
  if (value.IsUndefined()) {
    RemoveProperty(name);
    // Removing from a shared object the task does not hold fails.
    return _CheckInUseSilently();
  }
  const EJSONStatus status = _SetThroughHooks(name, value, context);
  if (status != EJSON_unhandled) return status == EJSON_ok;
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  bool lock = _IsLockRequiring();
  if (!lock && (value.IsObject() || value.IsArray())) {
    lock = value.GetObject() != nullptr
               ? value.GetObject()->IsSharedGraph()
               : value.GetArray() != nullptr && value.GetArray()->IsSharedGraph();
  }
  StJSONLocks locks(lock, locker);
  return _SetOwnProperty(name, value);
}

EJSONStatus VJSONObject::_SetThroughHooks(const VString& name, const VJSONValue& value,
                                          VDBLanguageContext* context) {
  if (fImplementation != nullptr) {
    const EJSONStatus status = fImplementation->IJSON_SetProperty(this, name, value, context);
    if (status != EJSON_unhandled) return status;
  }
  if (fClass != nullptr) {
    if (IJSONClassRegistry* registry = GetClassRegistry()) {
      return registry->CallSetter(fClass, this, name, value, context);
    }
  }
  return EJSON_unhandled;
}

VJSONObject* VJSONObject::_NewWithRoom(size_t propertyCount) {
  void* room = nullptr;
  VJSONObject* object = NewWithRoomBehind<VJSONObject>(PropertyMap::RoomSize(propertyCount),
                                                       alignof(PropertyMap::Entry), room);
  object->fProperties.UseRoom(room, propertyCount);
  return object;
}

void VJSONObject::_TakeTreeMembers(std::vector<PropertyMap::NewEntry>& from, size_t first) {
  // Most classes have no setters: their objects skip the setter look-up.
  const bool hooks = fImplementation != nullptr || (fClass != nullptr && fClass->HasSetters());
  if (!hooks && _IsTree()) fProperties.Reserve(fProperties.size() + (from.size() - first));
  for (size_t i = first; i < from.size(); ++i) {
    PropertyMap::NewEntry& member = from[i];
    // Only a fresh private object outside any graph can take the value as a
    // tree edge, with no locks, stamps or graph counting. A setter may have
    // changed that, so it is asked again for each member.
    if (member.fValue.IsUndefined() || !_IsTree()) {
      SetProperty(VString(std::move(member.fName)), member.fValue);
      continue;
    }
    if (hooks && _SetThroughHooks(VString(member.fName), member.fValue, nullptr) != EJSON_unhandled)
      continue;
    fProperties.InsertOrAssign(member);
  }
  from.erase(from.begin() + ptrdiff_t(first), from.end());
}

bool VJSONObject::_CheckInUseSilently() const {
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  return locker == nullptr || locker->IsInUseByCurrentTask();
}

bool VJSONObject::SetOwnProperty(const VString& name, const VJSONValue& value) {
  if (value.IsUndefined()) {
    RemoveOwnProperty(name);
    return _CheckInUseSilently();
  }
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  bool lock = _IsLockRequiring();
  if (!lock && value.GetObject() != nullptr) lock = value.GetObject()->IsSharedGraph();
  if (!lock && value.GetArray() != nullptr) lock = value.GetArray()->IsSharedGraph();
  StJSONLocks locks(lock, locker);
  return _SetOwnProperty(name, value);
}

bool VJSONObject::_SetOwnProperty(const VString& name, const VJSONValue& value) {
  if (VStorageLocker* locker = fLocker.load(std::memory_order_acquire)) {
    if (name.EqualToStringRaw(kLockerIDName)) return false;
    if (!_CheckInUse()) return false;
    if (!locker->AssignValue(value)) return false;
    if (locker->IsStorage()) {
      const JSONType type = value.GetType();
      if (type != JSON_null && type != JSON_object && type != JSON_array &&
          type != JSON_undefined) {
        ThrowJSONClassError(json_error::kScalarInStorage);
        return false;
      }
    }
  }
  auto [entry, inserted] = fProperties.Insert(name, value);
  if (!inserted) {
    // The old value leaves the store before the graph checks it, so that a
    // cycle through this object does not count that reference twice.
    VJSONValue old = std::move(fProperties[entry].fValue);
    if (fGraph != nullptr && (old.GetObject() != nullptr || old.GetArray() != nullptr)) {
      VJSONGraph::Disconnect(fGraph, old);
    }
    // The graph may have emptied the store meanwhile.
    entry = fProperties.Insert(name, VJSONValue()).first;
    fProperties[entry].fValue = value;
  }
  const VJSONValue& stored = fProperties[entry].fValue;
  if (stored.GetObject() != nullptr || stored.GetArray() != nullptr) {
    VJSONGraph::Connect(&fGraph, stored, this, nullptr);
  }
  if (fStamp != nullptr) fStamp->Increment();
  return true;
}

bool VJSONObject::SetProperties(const std::vector<std::pair<VString, VJSONValue>>& pairs,
                                VDBLanguageContext* context) {
  if (pairs.empty()) return true;
  bool result = true;
  if (fImplementation != nullptr && fImplementation->IJSON_BeginChangeProperties() == EJSON_error) {
    result = false;
  } else {
    for (const auto& [name, value] : pairs) {
      if (!SetProperty(name, value, context)) {
        result = false;
        break;
      }
    }
  }
  if (fImplementation != nullptr && fImplementation->IJSON_EndChangeProperties() == EJSON_error) {
    result = false;
  }
  return result;
}

void VJSONObject::_RemoveEntry(size_t sequence) {
  // Out of the store before the graph checks it (see _SetOwnProperty).
  const VJSONValue value = std::move(fProperties[sequence].fValue);
  fProperties.RemoveAt(sequence);
  if (fGraph != nullptr && (value.GetObject() != nullptr || value.GetArray() != nullptr)) {
    VJSONGraph::Disconnect(fGraph, value);
  }
}

void VJSONObject::RemoveProperty(const VString& name) {
  if (fImplementation != nullptr &&
      fImplementation->IJSON_RemoveProperty(this, name) != EJSON_unhandled) {
    return;
  }
  RemoveOwnProperty(name);
}

void VJSONObject::RemoveOwnProperty(const VString& name) {
  StJSONLocks locks(_IsLockRequiring(), fLocker.load(std::memory_order_acquire));
  _RemoveOwnProperty(name);
}

void VJSONObject::_RemoveOwnProperty(const VString& name) {
  if (!_CheckInUse()) return;
  if (fStamp != nullptr) fStamp->Increment();
  const size_t entry = fProperties.Find(name);
  if (entry != PropertyMap::kNotFound) _RemoveEntry(entry);
}

bool VJSONObject::ClearProperty(const VString& name, VDBLanguageContext* context) {
  VJSONValue value = GetProperty(name, context);
  if (value.IsUndefined()) return false;
  if (value.IsDate()) {
    value.SetDate(0, 0, 0);
  } else {
    value.Clear();
  }
  return SetProperty(name, value, context);
}

void VJSONObject::Clear() {
  if (fImplementation != nullptr) fImplementation->IJSON_Clear(this);
  ClearInternalProperties();
}

void VJSONObject::ClearInternalProperties() {
  PropertyMap removed;
  {
    StJSONLocks locks(_IsLockRequiring(), fLocker.load(std::memory_order_acquire));
    if (!_CheckInUse()) return;
    DisconnectAll();
    removed.swap(fProperties);
    if (fStamp != nullptr) fStamp->Increment();
  }
  // The values are released outside the locks: releasing may free cycles.
}

void VJSONObject::DisconnectAll() {
  if (fGraph == nullptr) return;
  StGraphLocker lock(_IsLockRequiring());
  int32 count = 0;
  for (const auto& [name, value] : fProperties) {
    if (VJSONObject* object = value.GetObject()) {
      --object->fInGraphCount;
      ++count;
    } else if (VJSONArray* array = value.GetArray()) {
      --array->fInGraphCount;
      ++count;
    }
  }
  fGraph->AddInternalReferences(-count);
}

void VJSONObject::ClearFromGraph() {
  StGraphLocker lock(_IsLockRequiring());
  DisconnectAll();
  fProperties.clear();
}

void VJSONObject::ConnectImplementationProperty(const VJSONValue& value) {
  StGraphLocker lock(_IsLockRequiring());
  VJSONGraph::Connect(&fGraph, value, this, nullptr);
}

void VJSONObject::DisconnectImplementationProperty(const VJSONValue& value) {
  StGraphLocker lock(_IsLockRequiring());
  VJSONGraph::Disconnect(fGraph, value);
}

// ---------------------------------------------------------------------------
// Stamps

uint32 VJSONObject::GetPropertyStamp(const VString& name) const {
  uint32 stamp = 0;
  if (fImplementation != nullptr &&
      fImplementation->IJSON_GetPropertyStamp(name, stamp) != EJSON_unhandled) {
    return stamp;
  }
  {
    VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
    StJSONLocks locks(locker != nullptr, locker);
    const size_t found = fProperties.Find(name);
    if (found != PropertyMap::kNotFound) stamp = fProperties[found].fValue.GetStamp();
  }
  IJSONClassRegistry* registry = GetClassRegistry();
  if (fClass != nullptr && registry != nullptr && registry->HasGetter(fClass, name)) {
    auto* self = const_cast<VJSONObject*>(this);
    if (fStamp == nullptr) {
      auto* created = new VJSONStamp();
      self->SetJSONStamp(created);
      created->Release();
    }
    stamp = fStamp->GetCounter();
  }
  return stamp;
}

void VJSONObject::TouchPropertyStamp(const VString& name) {
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  StJSONLocks locks(locker != nullptr, locker);
  if (fImplementation != nullptr &&
      fImplementation->IJSON_TouchPropertyStamp(name) != EJSON_unhandled) {
    return;
  }
  if (fStamp != nullptr) fStamp->Increment();
  const size_t found = fProperties.Find(name);
  if (found != PropertyMap::kNotFound) {
    fProperties[found].fValue.SetStamp(VJSONValue::NextStamp());
  }
}

void VJSONObject::SetJSONStamp(VJSONStamp* stamp) {
  {
    StGraphLocker lock(_IsLockRequiring());
    if (stamp != fStamp) {
      if (stamp != nullptr) stamp->Retain();
      if (fStamp != nullptr) fStamp->Release();
      fStamp = stamp;
    }
  }
  if (fImplementation != nullptr) fImplementation->IJSON_SetJSONStamp(stamp);
}

// ---------------------------------------------------------------------------
// Lockers

void VJSONObject::SetStorageLocker(VStorageLocker* locker) {
  StGraphLocker lock(_IsLockRequiring() || locker != nullptr);
  _SetStorageLocker(locker);
}

void VJSONObject::_SetStorageLocker(VStorageLocker* locker) {
  if (fLocker.load(std::memory_order_acquire) == locker) return;
  if (locker != nullptr) locker->Retain();
  if (VStorageLocker* old = fLocker.exchange(locker)) old->Release();
}

VStorageLocker* VJSONObject::GetStorageLocker() const {
  StGraphLocker lock;
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  if (locker != nullptr) locker->Retain();
  return locker;
}

int32 VJSONObject::GetSharedID() const {
  StGraphLocker lock;
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  if (locker == nullptr) return 0;
  StLocker<VCriticalSection> guard(locker->GetLock());
  return locker->GetSharedID();
}

bool VJSONObject::IsSharedGraph() const {
  return HasStorageLocker() || (fGraph != nullptr && fGraph->NeedsLock());
}

bool VJSONObject::IsShared() const { return HasStorageLocker() || _IsSharableImplementation(); }

// ---------------------------------------------------------------------------
// Class

VJSONObject* VJSONObject::_GetPrototype() const {
  IJSONClassRegistry* registry = GetClassRegistry();
  return fClass != nullptr && registry != nullptr ? registry->GetPrototype(fClass) : nullptr;
}

bool VJSONObject::IsGenericObject() const {
  IJSONClassRegistry* registry = GetClassRegistry();
  return fClass == nullptr || registry == nullptr || registry->GetLevel(fClass) == 0;
}

bool VJSONObject::IsInstanceOf(VJSONClass* jsonClass) const {
  IJSONClassRegistry* registry = GetClassRegistry();
  if (registry == nullptr) return false;
  for (VJSONClass* current = fClass; current != nullptr;
       current = registry->GetSuperclass(current)) {
    if (current == jsonClass) return true;
  }
  return false;
}

bool VJSONObject::IsInstanceOf(const VJSONObject* classObject) const {
  IJSONClassRegistry* registry = GetClassRegistry();
  VJSONClass* jsonClass = classObject != nullptr && registry != nullptr
                              ? registry->GetClass(classObject->fImplementation)
                              : nullptr;
  if (jsonClass == nullptr) {
    ThrowJSONClassError(json_error::kNotAClassObject);
    return false;
  }
  return IsInstanceOf(jsonClass);
}

void VJSONObject::SetClassObject(VJSONObject* classObject) {
  if (classObject == fClassObject) return;
  if (classObject != nullptr) classObject->Retain();
  VJSONObject* old = std::exchange(fClassObject, classObject);
  IJSONClassRegistry* registry = GetClassRegistry();
  fClass = classObject != nullptr && registry != nullptr
               ? registry->GetClass(classObject->fImplementation)
               : nullptr;
  if (old != nullptr) old->Release();
}

void VJSONObject::SetImplementation(IJSONObject* implementation) {
  if (implementation == fImplementation) return;
  if (implementation != nullptr) implementation->Retain();
  if (fImplementation != nullptr) {
    fImplementation->IJSON_DoDisconnectDependencies(this);
    fImplementation->Release();
  }
  fImplementation = implementation;
  if (fImplementation != nullptr) fImplementation->IJSON_DoConnectDependencies(this);
}

EJSONStatus VJSONObject::CallAsFunction(VJSONObject* thisObject, VJSONArray* thisArray,
                                        const std::vector<VJSONValue>* parameters,
                                        VJSONValue& outResult, CDBNovuBaseContext* baseContext,
                                        VDBLanguageContext* languageContext) const {
  if (fImplementation == nullptr) return EJSON_unhandled;
  VJSONFunctionContext context(thisObject, thisArray, parameters, baseContext, languageContext);
  const EJSONStatus status =
      fImplementation->IJSON_CallAsFunction(const_cast<VJSONObject*>(this), &context);
  context.GetResult(outResult);
  return status;
}

EJSONStatus VJSONObject::GetClassName(VString& name) const {
  name.Clear();
  if (fImplementation != nullptr) {
    const EJSONStatus status = fImplementation->IJSON_GetClassName(this, name);
    if (status != EJSON_unhandled && !name.IsNull() && !name.IsEmpty()) return status;
    name.Clear();
  }
  IJSONClassRegistry* registry = GetClassRegistry();
  if (fClass != nullptr && registry != nullptr) registry->GetName(fClass, name);
  if (name.IsNull() || name.IsEmpty()) {
    name.FromCString(HasStorageLocker() ? "Shared Object" : "Object");
  }
  return EJSON_ok;
}

void VJSONObject::GetDescription(VString& text, bool preview, VDBLanguageContext* context) const {
  if (fImplementation != nullptr &&
      fImplementation->IJSON_GetDescription(this, text) != EJSON_unhandled) {
    return;
  }
  VStorageLocker* locker = fLocker.load(std::memory_order_acquire);
  StJSONLocks locks(locker != nullptr, locker);
  VJSONWriter writer(context, preview ? 0x4001 : 0x0001);
  writer.StringifyObject(this, text);
}

// ---------------------------------------------------------------------------
// Deep equality

bool VJSONObject::DeepEqualTo(const VJSONObject* other, const VCompareOptions& options) const {
  VJSONComparedPairs pairs;
  return DeepEqualTo(other, options, pairs);
}

bool VJSONObject::DeepEqualTo(const VJSONObject* other, const VCompareOptions& options,
                              VJSONComparedPairs& pairs) const {
  if (other == nullptr) return false;
  if (other == this) return true;
  const StJSONComparedPair pair(pairs, this, other);
  if (!pair.Entered()) return true;
  if (!JSONHasStackRoom()) return false;
  VStorageLocker* mine = fLocker.load(std::memory_order_acquire);
  VStorageLocker* theirs = other->fLocker.load(std::memory_order_acquire);
  StJSONLocks myLocks(mine != nullptr, mine);
  StJSONLocks theirLocks(theirs != nullptr, theirs);
  if (fImplementation != nullptr) {
    bool equal = false;
    const EJSONStatus status = fImplementation->IJSON_DeepEqualTo(this, other, &equal);
    if (status == EJSON_ok) return equal;
    if (status == EJSON_error) return false;
  }
  if (fProperties.size() != other->fProperties.size()) return false;
  for (const auto& [name, value] : fProperties) {
    const size_t found = other->fProperties.Find(name);
    if (found == PropertyMap::kNotFound) return false;
    if (!value.DeepEqualTo(other->fProperties[found].fValue, options, pairs)) return false;
  }
  return true;
}

}  // namespace zeft
