// VJSONObject is the object kind of the JSON model: a reference-counted set
// of named properties that remembers their insertion order, belongs to a
// class, may carry a native implementation answering before its own store,
// may be shared between tasks through a storage locker and may be a member
// of a reference graph that collects cycles.
#pragma once

#include <atomic>
#include <utility>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "json/IJSONObject.h"
#include "json/VJSONPropertyMap.h"
#include "json/VJSONValue.h"

namespace zeft {

class CDBNovuBaseContext;
class IJSONClassRegistry;
class VJSONClass;
class VJSONCloner;
class VJSONGraph;
class VJSONStamp;
class VStorageLocker;

struct VJSONPropertyHash {
  size_t operator()(const VString& name) const { return name.GetHashValue(); }
};
struct VJSONPropertyEqual {
  bool operator()(const VString& a, const VString& b) const { return a.EqualToStringRaw(b); }
};

class VJSONObject : public VObject, public IRefCountable {
 public:
  // Each stored value's sequence number is its position in the store.
  using PropertyMap = VJSONPropertyMap;

  // A null class object means the class store's "Object" class object.
  explicit VJSONObject(VJSONObject* classObject = nullptr, IJSONObject* implementation = nullptr,
                       VStorageLocker* locker = nullptr, bool uncounted = false);
  // With `shared`, the object gets a new storage locker of its own.
  VJSONObject(VJSONObject* classObject, IJSONObject* implementation, bool shared);
  ~VJSONObject() override;

  int32 Retain(const char* label = nullptr) const override;
  int32 Release(const char* label = nullptr) const override;

  // Reading.
  VJSONValue GetProperty(const VString& name, VDBLanguageContext* context = nullptr) const;
  VJSONValue GetOwnProperty(const VString& name) const;
  bool HasProperty(const VString& name, VDBLanguageContext* context = nullptr) const;
  bool HasOwnProperty(const VString& name) const;
  VJSONValue GetPropertyByIndex(uint64 index, EJSONStatus* status) const;
  uint64 GetCountPropertiesByIndex(EJSONStatus* status) const;
  PropertyMap GetInternalProperties() const;
  bool IsEmpty() const;
  VError GetString(VString& out) const;
  uint32 GetPropertyStamp(const VString& name) const;
  EJSONStatus GetClassName(VString& name) const;
  void GetDescription(VString& text, bool preview = false,
                      VDBLanguageContext* context = nullptr) const;
  VJSONObject* _GetPrototype() const;
  bool IsGenericObject() const;
  bool IsInstanceOf(VJSONClass* jsonClass) const;
  bool IsInstanceOf(const VJSONObject* classObject) const;
  bool IsSharedGraph() const;
  bool IsShared() const;
  // The implementation lets shared objects refer to this one without moving it.
  bool _IsSharableImplementation() const;
  int32 GetSharedID() const;
  VStorageLocker* GetStorageLocker() const;  // retained
  bool GetPropertyAsString(const VString& name, VString& out) const;
  bool GetPropertyAsBool(const VString& name, bool* out) const;
  // Deep equality of own properties; prototypes and order do not count.
  bool DeepEqualTo(const VJSONObject* other, const VCompareOptions& options) const;
  bool DeepEqualTo(const VJSONObject* other, const VCompareOptions& options,
                   VJSONComparedPairs& pairs) const;
  // Calls this object as a function; 1 when it has no native implementation
  // (the result is then untouched). Any pointer may be null.
  EJSONStatus CallAsFunction(VJSONObject* thisObject, VJSONArray* thisArray,
                             const std::vector<VJSONValue>* parameters, VJSONValue& outResult,
                             CDBNovuBaseContext* baseContext,
                             VDBLanguageContext* languageContext) const;

  // Writing.
  bool SetProperty(const VString& name, const VJSONValue& value,
                   VDBLanguageContext* context = nullptr);
  bool SetOwnProperty(const VString& name, const VJSONValue& value);
  bool SetProperties(const std::vector<std::pair<VString, VJSONValue>>& pairs,
                     VDBLanguageContext* context = nullptr);
  void RemoveProperty(const VString& name);
  void RemoveOwnProperty(const VString& name);
  bool ClearProperty(const VString& name, VDBLanguageContext* context = nullptr);
  void Clear();
  void ClearInternalProperties();
  void TouchPropertyStamp(const VString& name);
  void SetJSONStamp(VJSONStamp* stamp);
  void SetStorageLocker(VStorageLocker* locker);
  void _SetStorageLocker(VStorageLocker* locker);
  void ConnectImplementationProperty(const VJSONValue& value);
  void DisconnectImplementationProperty(const VJSONValue& value);
  void DisconnectAll();
  void ClearFromGraph();

  // Without locks, for callers that hold them.
  VJSONValue _GetOwnProperty(const VString& name) const;
  bool _HasOwnProperty(const VString& name) const;
  bool _SetOwnProperty(const VString& name, const VJSONValue& value);
  void _RemoveOwnProperty(const VString& name);
  // For a builder of a new tree (the text parser): sets the members from
  // `first` on in order, as SetProperty does, keeping a fresh private object
  // out of the graph, and removes them from `from`.
  void _TakeTreeMembers(std::vector<PropertyMap::NewEntry>& from, size_t first);
  // A new object (one count) whose first `propertyCount` properties live in
  // its own block, for a builder that knows them in advance.
  static VJSONObject* _NewWithRoom(size_t propertyCount);
  // Objects are made by the global operator new, or with room behind them:
  // either block is given back whole.
  static void operator delete(void* block) { ::operator delete(block); }
  bool _IsTree() const { return fGraph == nullptr && fStamp == nullptr && !HasStorageLocker(); }

  // Paths, merge and clone.
  static VError ExtractPath(const VString& path, std::vector<VString>& steps);
  VJSONValue GetPropertyWithPath(const std::vector<VString>& steps,
                                 VDBLanguageContext* context = nullptr) const;
  VJSONValue GetPropertyWithPath(const VString& path, VDBLanguageContext* context = nullptr) const;
  bool SetPropertyWithPath(const VString& path, const VJSONValue& value,
                           VDBLanguageContext* context = nullptr);
  bool SetPropertiesWithPaths(const std::vector<std::pair<VString, VJSONValue>>& pairs);
  uint32 GetPropertyStampWithPath(const VString& path) const;
  void TouchPropertyStampWithPath(const VString& path);
  VError MergeWith(const VJSONObject* other, bool onlyMissing = false);
  VError Clone(VJSONValue& out, VJSONCloner& cloner) const;
  VError CloneProperties(VJSONCloner& cloner, VJSONObject* target) const;

  // Accessors.
  IJSONObject* GetImplementation() const { return fImplementation; }
  VJSONObject* GetClassObject() const { return fClassObject; }
  VJSONClass* GetClass() const { return fClass; }
  uint32 GetClassLevel() const { return fClassLevel; }
  void SetClassLevel(uint32 level) { fClassLevel = level; }
  // Makes `classObject` (retained; null: none) this object's class object.
  void SetClassObject(VJSONObject* classObject);
  // Makes `implementation` (retained; null: none) this object's native
  // implementation, for readers that learn it after making the object.
  void SetImplementation(IJSONObject* implementation);
  bool IsInConstruction() const { return fInConstruction; }
  void SetInConstruction(bool flag) { fInConstruction = flag; }
  const PropertyMap& GetPropertyMap() const { return fProperties; }  // no lock
  VJSONGraph* GetGraph() const { return fGraph; }
  bool HasStorageLocker() const { return fLocker.load(std::memory_order_acquire) != nullptr; }
  VStorageLocker* GetStorageLockerNoRetain() const {
    return fLocker.load(std::memory_order_acquire);
  }

  // The class store installs itself here (null: objects have no class).
  static void SetClassRegistry(IJSONClassRegistry* registry);
  static IJSONClassRegistry* GetClassRegistry();

  // Debugging aid: objects made and destroyed on the monitored task.
  static std::atomic<int32> sTaskToMonitor;
  static std::atomic<int32> sTaskCounter;

 protected:
  void DoOnRefCountZero() override;

 private:
  friend class VJSONArray;
  friend class VJSONGraph;
  friend class VStorageLocker;
  friend class VJSONPropertyIterator;
  friend class VJSONPropertyConstIterator;
  friend class VJSONPropertyConstOrderedIterator;

  bool _IsLockRequiring() const;
  // What the implementation or the class's setter answer (EJSON_unhandled:
  // the object's own store takes the value).
  EJSONStatus _SetThroughHooks(const VString& name, const VJSONValue& value,
                               VDBLanguageContext* context);
  bool _CheckInUse() const;
  bool _CheckInUseSilently() const;
  void _RemoveEntry(size_t sequence);

  PropertyMap fProperties;
  VJSONGraph* fGraph = nullptr;
  IJSONObject* fImplementation = nullptr;
  std::atomic<VStorageLocker*> fLocker{nullptr};
  VJSONStamp* fStamp = nullptr;
  VJSONObject* fClassObject = nullptr;
  VJSONClass* fClass = nullptr;
  uint32 fClassLevel = 0;
  uint32 fInGraphCount = 0;
  bool fInConstruction = false;
  bool fUncounted = false;
};

}  // namespace zeft
