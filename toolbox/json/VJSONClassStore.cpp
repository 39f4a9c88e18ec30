#include "json/VJSONClassStore.h"

#include <atomic>
#include <mutex>
#include <new>

#include "files/IFileSystemObject.h"
#include "json/IJSONClassRegistry.h"
#include "json/JSONClassError.h"
#include "json/VJSONMemberFunction.h"
#include "json/VJSONObject.h"

namespace zeft {

namespace {

std::atomic<VJSONClassStore*> sProcessStore{nullptr};
std::mutex sProcessStoreMutex;
// The store Init is filling, seen only by the task filling it: the roots
// are made of objects that ask for the store, while other tasks must not
// reach it before its roots are in place.
constinit thread_local VJSONClassStore* sStoreInMaking = nullptr;

const VString kObjectName("Object");
const VString kClassName("Class");
const VString kFunctionName("Function");

// What the object model asks of classes, answered from the class tables.
class ClassRegistry final : public IJSONClassRegistry {
 public:
  VJSONObject* RetainDefaultClassObject() override {
    VJSONClassStore* store = VJSONClassStore::GetProcessStore();
    VJSONObject* object = store != nullptr ? store->GetObjectClassObject() : nullptr;
    if (object != nullptr) object->Retain();
    return object;
  }
  VJSONClass* GetClass(IJSONObject* implementation) override {
    return VJSONClass::Cast(implementation);
  }
  bool GetFunction(VJSONClass* jsonClass, const VString& name, VJSONValue& out) override {
    VJSONObject* function = jsonClass->FindFunction(name);
    if (function == nullptr) return false;
    out.SetObject(function);
    return true;
  }
  bool HasGetter(VJSONClass* jsonClass, const VString& name) override {
    return jsonClass->FindGetter(name) != nullptr;
  }
  bool HasGetters(VJSONClass* jsonClass) override { return jsonClass->HasGetters(); }
  void GetGetterNames(VJSONClass* jsonClass, std::vector<VString>& names) override {
    jsonClass->GetGetterNames(names);
  }
  EJSONStatus CallGetter(VJSONClass* jsonClass, VJSONObject* object, const VString& name,
                         VJSONValue& out, VDBLanguageContext* context) override {
    VJSONObject* getter = jsonClass->FindGetter(name);
    if (getter == nullptr) return EJSON_unhandled;
    return getter->CallAsFunction(object, nullptr, nullptr, out, nullptr, context);
  }
  EJSONStatus CallSetter(VJSONClass* jsonClass, VJSONObject* object, const VString& name,
                         const VJSONValue& value, VDBLanguageContext* context) override {
    VJSONObject* setter = jsonClass->FindSetter(name);
    if (setter == nullptr) return EJSON_unhandled;
    const std::vector<VJSONValue> parameters{value};
    VJSONValue result;
    return setter->CallAsFunction(object, nullptr, &parameters, result, nullptr, context);
  }
  void GetName(VJSONClass* jsonClass, VString& name) override { name = jsonClass->GetName(); }
  uint32 GetLevel(VJSONClass* jsonClass) override { return uint32(jsonClass->GetLevel()); }
  VJSONClass* GetSuperclass(VJSONClass* jsonClass) override { return jsonClass->GetSuperclass(); }
  VJSONObject* GetPrototype(VJSONClass* jsonClass) override { return jsonClass->GetPrototype(); }
};

ClassRegistry sRegistry;

// ASCII letters folded, other units compared as they are, up to a zero unit.
bool EqualFolded(const VString& a, const VString& b) { return a.CompareToStringRawCase(b) == 0; }

}  // namespace

// ---------------------------------------------------------------------------
// Process store

bool VJSONClassStore::Init(const VString& name) {
  std::lock_guard<std::mutex> guard(sProcessStoreMutex);
  if (sProcessStore.load() != nullptr) return true;
  VJSONClassStore* store = nullptr;
  try {
    store = new VJSONClassStore(name);
    sStoreInMaking = store;
    VJSONObject::SetClassRegistry(&sRegistry);
    store->AddRootClasses();
  } catch (const std::bad_alloc&) {
    sStoreInMaking = nullptr;
    if (store != nullptr) store->Release();
    return false;
  }
  sStoreInMaking = nullptr;
  // Published complete: the root slots are read without the lock.
  sProcessStore.store(store);
  return true;
}

void VJSONClassStore::DeInit() {
  std::lock_guard<std::mutex> guard(sProcessStoreMutex);
  VJSONClassStore* store = sProcessStore.load();
  if (store == nullptr) return;
  sProcessStore.store(nullptr);
  VJSONObject::SetClassRegistry(nullptr);
  store->Release();
}

VJSONClassStore* VJSONClassStore::GetProcessStore() {
  VJSONClassStore* store = sProcessStore.load();
  return store != nullptr ? store : sStoreInMaking;
}

VJSONObject* VJSONClassStore::GetProcessClassObject(const VString& storeName,
                                                    const VString& className) {
  VJSONClassStore* store = GetProcessStore();
  if (store == nullptr || !store->fName.EqualToStringRaw(storeName)) return nullptr;
  return store->GetClassObject(className, false);
}

// ---------------------------------------------------------------------------
// Construction

VJSONClassStore::VJSONClassStore(const VString& name) : fName(name) {
  fClasses.max_load_factor(1.0f);
  fVisibleClasses.max_load_factor(1.0f);
  fComponentStores.max_load_factor(1.0f);
}

VJSONClassStore::~VJSONClassStore() {
  // Class objects, prototypes and function objects refer to one another
  // (and "Class" is its own class): the tables are emptied first so that
  // releasing the map's references frees them.
  for (auto& [name, classObject] : fClasses) {
    if (VJSONClass* jsonClass = VJSONClass::CastObject(classObject)) jsonClass->_ReleaseMembers();
  }
  for (auto& [name, classObject] : fClasses) classObject->SetClassObject(nullptr);
  for (auto& [name, classObject] : fVisibleClasses) classObject->Release();
  for (auto& [name, classObject] : fClasses) classObject->Release();
}

bool VJSONClassStore::_IsRoot(const VString& name) const {
  return fRoots[0] != nullptr &&
         (name.EqualToStringRaw(kObjectName) || name.EqualToStringRaw(kClassName) ||
          name.EqualToStringRaw(kFunctionName));
}

void VJSONClassStore::AddRootClasses() {
  StLocker<VCriticalSection> guard(fLock);
  if (fRoots[0] != nullptr) return;
  VRefPtr<VJSONObject> objectClassObject;
  VRefPtr<VJSONObject> classClassObject;
  VRefPtr<VJSONObject> functionClassObject;
  VJSONClass* objectClass =
      VJSONClass::Create(objectClassObject, kObjectName, nullptr, nullptr, fName, 0);
  VJSONClass* classClass =
      VJSONClass::Create(classClassObject, kClassName, objectClassObject.Get(), nullptr, fName, 0);
  objectClassObject->SetClassObject(classClassObject.Get());
  classClassObject->SetClassObject(classClassObject.Get());
  objectClassObject->SetClassLevel(1);
  classClassObject->SetClassLevel(2);
  objectClassObject->SetInConstruction(false);
  classClassObject->SetInConstruction(false);
  // Each table holds its own reference; the roots are never replaced.
  auto addRoot = [this](int slot, VJSONObject* root, const VString& name) {
    root->Retain();
    fClasses.emplace(name, root);
    root->Retain();
    fVisibleClasses.emplace(name, root);
    fRoots[slot] = root;
  };
  addRoot(0, objectClassObject.Get(), kObjectName);
  addRoot(1, classClassObject.Get(), kClassName);
  VJSONClass* functionClass = VJSONClass::Create(functionClassObject, kFunctionName,
                                                 objectClassObject.Get(), nullptr, fName, 0);
  functionClassObject->SetClassObject(classClassObject.Get());
  addRoot(2, functionClassObject.Get(), kFunctionName);
  // The roots make no instances through "new": they have no instantiator.
  objectClass->SetFunctions(std::vector<FunctionDescriptor>{}, nullptr, nullptr);
  classClass->SetFunctions({{VJSONClass::sClassProperty_new, &VJSONClass::do_new, 0}}, nullptr,
                           nullptr);
  functionClass->SetFunctions({{VString("apply"), &VJSONMemberFunction::do_apply, 0},
                               {VString("call"), &VJSONMemberFunction::do_call, 0}},
                              nullptr, nullptr);
}

// ---------------------------------------------------------------------------
// Registering

void VJSONClassStore::AddClass(VJSONObject* classObject, uint32 options) {
  VJSONClass* jsonClass = VJSONClass::CastObject(classObject);
  if (jsonClass == nullptr) return;
  StLocker<VCriticalSection> guard(fLock);
  const VString& name = jsonClass->GetName();
  // The root slots are read without the lock: the roots are never replaced.
  if (_IsRoot(name)) return;
  auto put = [&](ClassMap& map) {
    classObject->Retain();
    auto [entry, inserted] = map.try_emplace(name, classObject);
    if (!inserted) std::exchange(entry->second, classObject)->Release();
  };
  put(fClasses);
  if ((options & kHidden) == 0) put(fVisibleClasses);
}

VJSONObject* VJSONClassStore::AddClass(const VString& name,
                                       const std::vector<FunctionDescriptor>& functions,
                                       VJSONObject* superclassObject,
                                       JSONFunctionRoutine constructorRoutine,
                                       JSONInstantiator instantiator, uint32 flags) {
  VJSONObject* classObject = VJSONClass::Create(name, functions, superclassObject,
                                                constructorRoutine, instantiator, VString(), flags);
  if (classObject != nullptr) AddClass(classObject, 0);
  return classObject;
}

void VJSONClassStore::AddComponentClass(const VString& componentName, VJSONClassStore* store) {
  if (store == nullptr) return;
  StLocker<VCriticalSection> guard(fLock);
  fComponentStores.try_emplace(componentName, store);
}

// ---------------------------------------------------------------------------
// Look-ups

bool VJSONClassStore::EqualClassName(const VString& a, const VString& b, bool ignoreCase) {
  return ignoreCase ? EqualFolded(a, b) : a.EqualToStringRaw(b);
}

VJSONObject* VJSONClassStore::_Find(const ClassMap& map, const VString& name, bool ignoreCase) {
  if (!ignoreCase) {
    auto found = map.find(name);
    return found != map.end() ? found->second : nullptr;
  }
  for (const auto& [key, classObject] : map) {
    if (classObject != nullptr && EqualFolded(key, name)) return classObject;
  }
  return nullptr;
}

VJSONObject* VJSONClassStore::GetClassObject(const VString& name, bool ignoreCase) {
  StLocker<VCriticalSection> guard(fLock);
  VJSONObject* classObject = _Find(fClasses, name, ignoreCase);
  if (classObject != nullptr) classObject->Retain();
  return classObject;
}

VJSONObject* VJSONClassStore::GetVisibleClassObject(const VString& name, bool ignoreCase) {
  StLocker<VCriticalSection> guard(fLock);
  VJSONObject* classObject = _Find(fVisibleClasses, name, ignoreCase);
  if (classObject != nullptr) classObject->Retain();
  return classObject;
}

namespace {

void CopyClasses(const VJSONClassStore::ClassMap& from, VJSONClassStore::ClassMap& to) {
  if (&from == &to) return;
  for (auto& [name, classObject] : to) classObject->Release();
  to = from;
  for (auto& [name, classObject] : to) classObject->Retain();
}

}  // namespace

void VJSONClassStore::GetClasses(ClassMap& outMap) {
  StLocker<VCriticalSection> guard(fLock);
  CopyClasses(fClasses, outMap);
}

void VJSONClassStore::GetVisibleClasses(ClassMap& outMap) {
  StLocker<VCriticalSection> guard(fLock);
  CopyClasses(fVisibleClasses, outMap);
}

void VJSONClassStore::GetVisibleComponents(StoreMap& outMap) {
  StLocker<VCriticalSection> guard(fLock);
  if (&outMap != &fComponentStores) outMap = fComponentStores;
}

VJSONClassStore* VJSONClassStore::GetComponentClassStore(const VString& componentName) {
  StLocker<VCriticalSection> guard(fLock);
  auto found = fComponentStores.find(componentName);
  if (found == fComponentStores.end()) return nullptr;
  found->second->Retain();
  return found->second;
}

size_t VJSONClassStore::GetCount() {
  StLocker<VCriticalSection> guard(fLock);
  return fClasses.size();
}

void VJSONClassStore::RemoveObsoleteClasses(const FileMap& currentFiles,
                                            std::vector<VString>& outRemovedNames) {
  StLocker<VCriticalSection> guard(fLock);
  for (auto entry = fClasses.begin(); entry != fClasses.end();) {
    const VString& name = entry->first;
    VJSONClass* jsonClass = VJSONClass::CastObject(entry->second);
    const bool defined = currentFiles.find(name) != currentFiles.end();
    const bool hasFile = jsonClass != nullptr && jsonClass->GetFile() != nullptr;
    const bool obsolete = jsonClass != nullptr && jsonClass->IsObsolete();
    const bool remove = !_IsRoot(name) && (hasFile ? !defined || obsolete : defined || obsolete);
    if (!remove) {
      ++entry;
      continue;
    }
    if (hasFile) outRemovedNames.push_back(name);
    if (auto visible = fVisibleClasses.find(name); visible != fVisibleClasses.end()) {
      visible->second->Release();
      fVisibleClasses.erase(visible);
    }
    VJSONObject* classObject = entry->second;
    entry = fClasses.erase(entry);
    classObject->Release();
  }
}

// ---------------------------------------------------------------------------
// Store object operations

EJSONStatus VJSONClassStore::IJSON_GetProperty(VJSONObject*, const VString& name,
                                               VJSONValue& outValue, VDBLanguageContext*) {
  StLocker<VCriticalSection> guard(fLock);
  if (auto found = fClasses.find(name); found != fClasses.end()) {
    outValue.SetObject(found->second);
  } else if (auto store = fComponentStores.find(name); store != fComponentStores.end()) {
    auto* wrapper = new VJSONObject(nullptr, store->second, nullptr, false);
    outValue.SetObject(wrapper);
    wrapper->Release();
  } else {
    outValue.SetUndefined();
  }
  return EJSON_ok;
}

EJSONStatus VJSONClassStore::IJSON_SetProperty(VJSONObject*, const VString&, const VJSONValue&,
                                               VDBLanguageContext*) {
  ThrowJSONClassError(json_error::kReadOnlyObject);
  return EJSON_error;
}

EJSONStatus VJSONClassStore::IJSON_RemoveProperty(VJSONObject*, const VString&) {
  ThrowJSONClassError(json_error::kReadOnlyObject);
  return EJSON_error;
}

EJSONStatus VJSONClassStore::IJSON_GetPropertyNames(std::vector<VString>& outNames) {
  StLocker<VCriticalSection> guard(fLock);
  for (const auto& [name, classObject] : fVisibleClasses) outNames.push_back(name);
  return EJSON_ok;
}

EJSONStatus VJSONClassStore::IJSON_GetDescription(const VJSONObject*, VString& outText) {
  outText.FromCString("<<Class Store>>");
  return EJSON_ok;
}

EJSONStatus VJSONClassStore::IJSON_Stringify(const VJSONObject* object, VJSONWriter&,
                                             VString& outText, VError& outError) {
  IJSON_GetDescription(object, outText);
  outError = VE_OK;
  return EJSON_ok;
}

EJSONStatus VJSONClassStore::IJSON_Clear(VJSONObject*) { return EJSON_ok; }

bool VJSONClassStore::IJSON_IsEmpty(const VJSONObject*) { return false; }

}  // namespace zeft
