#include "json/VJSONClass.h"

#include "files/IFileSystemObject.h"
#include "json/JSONClassError.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONFunctionContext.h"
#include "json/VJSONMemberFunction.h"
#include "json/VJSONUser.h"
#include "json/VStorageLocker.h"
#include "runtime/StErrorContextInstaller.h"

namespace zeft {

const VString VJSONClass::sClassProperty_name("name");
const VString VJSONClass::sClassProperty_superclass("superclass");
const VString VJSONClass::sClassProperty_prototype("__prototype");
const VString VJSONClass::sClassProperty_file("__file");
const VString VJSONClass::sClassProperty_new("new");
const VString VJSONClass::sFunctionProperty_final("final");
const VString VJSONClass::sClassProperty_id("_id");
const VString VJSONClass::sFunctionProperty_local("local");
const VString VJSONClass::sFunctionProperty_exposed("exposed");
const VString VJSONClass::sFunctionProperty_eventName("eventName");
const VString VJSONClass::sFunctionProperty_resultType("resultType");
const VString VJSONClass::sFunctionProperty_resultTypeCode("resultTypeCode");
const VString VJSONClass::sFunctionProperty_resultClass("resultClass");
const VString VJSONClass::sClassProperty_aliases("aliases");
const VString VJSONClass::sAliasProperty_name("name");
const VString VJSONClass::sAliasProperty_path("path");

std::atomic<uint32> VJSONClass::sSequenceID{0};

namespace {

// A new object holding its own storage locker.
VJSONObject* NewLockedObject(bool storage) {
  auto* locker = new VStorageLocker();
  locker->SetStorage(storage);
  auto* object = new VJSONObject(nullptr, nullptr, locker, false);
  locker->Release();
  return object;
}

void ReleaseSlot(VJSONObject*& slot) {
  if (slot != nullptr) std::exchange(slot, nullptr)->Release();
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

VJSONClass::VJSONClass(const VString& name, const VString& componentName,
                       VJSONObject* superclassObject, IFile* file, uint32 flags)
    : fName(name), fComponentName(componentName), fFlags(flags) {
  if (superclassObject != nullptr) {
    superclassObject->Retain();
    fSuperclassObject = superclassObject;
    fSuperclass = CastObject(superclassObject);
    fLevel = fSuperclass->fLevel + 1;
  }
  fID = sSequenceID.fetch_add(1) + 1;
  fPrototype = NewLockedObject(false);
  if (file != nullptr) {
    file->Retain();
    fFile = file;
    StErrorContextInstaller silent(false, true);
    VTime modified;
    if (file->GetTimeAttributes(&modified, nullptr, nullptr) == VE_OK) fFileTime = modified;
  } else {
    VTime::Now(fFileTime);
  }
}

VJSONClass::~VJSONClass() {
  _ReleaseMembers();
  if (fFile != nullptr) fFile->Release();
}

void VJSONClass::_ReleaseMembers() {
  fFunctions.clear();
  fGetters.clear();
  fSetters.clear();
  ReleaseSlot(fConstructor);
  ReleaseSlot(fReadOnlyErrorSetter);
  ReleaseSlot(fWriteOnlyErrorGetter);
  ReleaseSlot(fGettersObject);
  ReleaseSlot(fSettersObject);
  ReleaseSlot(fPrototype);
  fSuperclass = nullptr;
  ReleaseSlot(fSuperclassObject);
}

VJSONClass* VJSONClass::Create(VRefPtr<VJSONObject>& outClassObject, const VString& name,
                               VJSONObject* superclassObject, IFile* file,
                               const VString& componentName, uint32 flags) {
  VJSONClassStore* store = VJSONClassStore::GetProcessStore();
  if (superclassObject == nullptr && store != nullptr) {
    superclassObject = store->GetObjectClassObject();
  }
  if (superclassObject != nullptr && CastObject(superclassObject) == nullptr) {
    ThrowJSONClassError(json_error::kSuperclassNotAClass);
    outClassObject = nullptr;
    return nullptr;
  }
  auto* jsonClass = new VJSONClass(name, componentName, superclassObject, file, flags);
  VJSONObject* classClass = store != nullptr ? store->GetClassClassObject() : nullptr;
  auto* classObject = new VJSONObject(classClass, jsonClass, true);
  jsonClass->Release();
  outClassObject.Adopt(classObject);
  return jsonClass;
}

VJSONObject* VJSONClass::Create(const VString& name,
                                const std::vector<FunctionDescriptor>& functions,
                                VJSONObject* superclassObject,
                                JSONFunctionRoutine constructorRoutine,
                                JSONInstantiator instantiator, const VString& componentName,
                                uint32 flags) {
  VRefPtr<VJSONObject> classObject;
  VJSONClass* jsonClass =
      Create(classObject, name, superclassObject, nullptr, componentName, flags);
  if (jsonClass == nullptr) return nullptr;
  jsonClass->SetFunctions(functions, constructorRoutine, instantiator);
  return classObject.Forget();
}

VJSONClass* VJSONClass::Cast(IJSONObject* implementation) {
  return dynamic_cast<VJSONClass*>(implementation);
}

VJSONClass* VJSONClass::CastObject(const VJSONObject* classObject) {
  return classObject != nullptr ? Cast(classObject->GetImplementation()) : nullptr;
}

// ---------------------------------------------------------------------------
// Sealing

void VJSONClass::SetFunctions(const std::vector<FunctionDescriptor>& functions,
                              JSONFunctionRoutine constructorRoutine,
                              JSONInstantiator instantiator) {
  if (fSealed) return;
  NamedFunctions named;
  named.reserve(functions.size());
  for (const FunctionDescriptor& descriptor : functions) {
    const uint32 flags = (descriptor.fFlags & 1) != 0 || (fFlags & kFinalFunctions) != 0 ? 1 : 0;
    named.emplace_back(descriptor.fName,
                       VRefPtr<VJSONObject>(VJSONMemberFunction::Create(
                                                descriptor.fRoutine, descriptor.fName, this, flags),
                                            kAdoptRef));
  }
  VRefPtr<VJSONObject> constructor;
  if (constructorRoutine != nullptr) {
    constructor.Adopt(
        VJSONMemberFunction::CreateNamed(constructorRoutine, VString("constructor"), this, 0));
  }
  SetFunctions(named, constructor.Get(), instantiator);
}

VJSONObject* VJSONClass::_MakeErrorAccessor(VJSONObject*& slot, JSONFunctionRoutine routine,
                                            const char* prefix, const VString& name) {
  if (slot == nullptr) {
    VString functionName(prefix);
    functionName.AppendString(name);
    slot = VJSONMemberFunction::Create(routine, functionName, this, 1);
  }
  return slot;
}

void VJSONClass::SetFunctions(const NamedFunctions& functions, VJSONObject* constructorObject,
                              JSONInstantiator instantiator) {
  if (fSealed) return;
  if (constructorObject != nullptr) constructorObject->Retain();
  if (fConstructor != nullptr) fConstructor->Release();
  fConstructor = constructorObject;
  fInstantiator = instantiator;
  if (fSuperclass != nullptr) {
    fFunctions = fSuperclass->fFunctions;
    fGetters = fSuperclass->fGetters;
    fSetters = fSuperclass->fSetters;
  }
  VJSONUser prototypeUser(fPrototype);
  for (const auto& [name, function] : functions) {
    if (!function) continue;
    const VJSONValue value(function.Get());
    fPrototype->SetProperty(name, value);
    fFunctions[name] = function.Get();
    const int32 space = name.FindUniChar(u' ');
    if (space <= 0) continue;
    VString kind;
    VString bareName;
    name.GetSubString(1, space - 1, kind);
    name.GetSubString(space + 1, name.GetLength() - space, bareName);
    {
      VJSONUser functionUser(function.Get());
      function->SetOwnProperty(sFunctionProperty_eventName, VJSONValue(kind));
    }
    const bool getter = kind.EqualToUSASCIICString("get");
    if (!getter && !kind.EqualToUSASCIICString("set")) continue;
    VJSONObject*& accessors = getter ? fGettersObject : fSettersObject;
    if (accessors == nullptr) accessors = NewLockedObject(true);
    VJSONUser accessorsUser(accessors);
    accessors->SetProperty(bareName, value);
    (getter ? fGetters : fSetters)[bareName] = function.Get();
  }
  for (const auto& [name, function] : fGetters) {
    if (fSetters.find(name) != fSetters.end()) continue;
    fSetters[name] =
        _MakeErrorAccessor(fReadOnlyErrorSetter, &do_errorReadOnlyAttribute, "set ", name);
  }
  for (const auto& [name, function] : fSetters) {
    if (fGetters.find(name) != fGetters.end()) continue;
    fGetters[name] =
        _MakeErrorAccessor(fWriteOnlyErrorGetter, &do_errorWriteOnlyAttribute, "get ", name);
  }
  fSealed = true;
}

void VJSONClass::GetGetterNames(std::vector<VString>& outNames) const {
  for (const auto& [name, function] : fGetters) outNames.push_back(name);
}

VJSONObject* VJSONClass::FindFunction(const VString& name) const {
  auto found = fFunctions.find(name);
  return found != fFunctions.end() ? found->second : nullptr;
}

VJSONObject* VJSONClass::FindGetter(const VString& name) const {
  auto found = fGetters.find(name);
  return found != fGetters.end() ? found->second : nullptr;
}

VJSONObject* VJSONClass::FindSetter(const VString& name) const {
  auto found = fSetters.find(name);
  return found != fSetters.end() ? found->second : nullptr;
}

// ---------------------------------------------------------------------------
// Instances

VJSONObject* VJSONClass::GenericInstantiator(VJSONObject* classObject, IJSONFunctionContext*) {
  return new VJSONObject(classObject, nullptr, nullptr, false);
}

VJSONObject* VJSONClass::CreateInstance(VJSONObject* classObject, IJSONFunctionContext* context) {
  VJSONClass* jsonClass = CastObject(classObject);
  if (jsonClass == nullptr || !jsonClass->fSealed) return nullptr;
  if (jsonClass->fInstantiator == nullptr) {
    ThrowJSONClassError(json_error::kNoInstantiator);
    return nullptr;
  }
  VJSONObject* instance = jsonClass->fInstantiator(classObject, context);
  if (instance != nullptr) jsonClass->ConstructInstance(instance, context);
  return instance;
}

void VJSONClass::ConstructInstance(VJSONObject* instance, IJSONFunctionContext* context) {
  std::vector<VJSONClass*> chain;
  for (VJSONClass* current = this; current != nullptr; current = current->fSuperclass) {
    chain.push_back(current);
  }
  uint32 withoutConstructor = 0;
  for (auto it = chain.rbegin(); it != chain.rend() && (*it)->fConstructor == nullptr; ++it) {
    ++withoutConstructor;
  }
  instance->SetClassLevel(withoutConstructor);
  instance->SetInConstruction(true);
  for (VJSONClass* current : chain) {
    if (current->fConstructor != nullptr) {
      current->CallConstructor(instance, context);
      break;
    }
  }
  instance->SetClassLevel(uint32(fLevel));
  instance->SetInConstruction(false);
}

EJSONStatus VJSONClass::CallConstructor(VJSONObject* instance, IJSONFunctionContext* context) {
  if (fConstructor == nullptr || fConstructor->GetImplementation() == nullptr) {
    return EJSON_unhandled;
  }
  EJSONStatus status;
  if (context != nullptr) {
    VJSONFunctionContext layered(instance, nullptr, context);
    status = fConstructor->GetImplementation()->IJSON_CallAsFunction(fConstructor, &layered);
  } else {
    VJSONFunctionContext alone(instance, nullptr, nullptr, nullptr, nullptr);
    status = fConstructor->GetImplementation()->IJSON_CallAsFunction(fConstructor, &alone);
  }
  if (status != EJSON_ok) return status;
  for (VJSONClass* current = this; current != nullptr; current = current->fSuperclass) {
    if (current != this && current->fConstructor != nullptr) break;
    if (uint32(current->fLevel) <= instance->GetClassLevel()) return EJSON_ok;
  }
  ThrowJSONClassError(json_error::kSuperConstructorNotCalled);
  return EJSON_error;
}

EJSONStatus VJSONClass::CallSuperConstructor(IJSONFunctionContext* context) {
  VJSONObject* instance = context->GetThisObject();
  VJSONClass* scope = context->GetScopeClass();
  if (scope == nullptr || scope->fLevel == 0 || instance == nullptr) {
    ThrowJSONClassError(json_error::kSuperConstructorNotAllowed);
    return EJSON_error;
  }
  if (uint32(scope->fLevel) > instance->GetClassLevel()) {
    for (VJSONClass* current = scope->fSuperclass; current != nullptr;
         current = current->fSuperclass) {
      const EJSONStatus status = current->CallConstructor(instance, context);
      if (status != EJSON_unhandled) {
        instance->SetClassLevel(uint32(scope->fLevel));
        return status;
      }
      if (uint32(current->fLevel) <= instance->GetClassLevel()) break;
    }
    instance->SetClassLevel(uint32(scope->fLevel));
    return EJSON_unhandled;
  }
  VJSONClass* instanceClass = instance->GetClass();
  const uint32 classLevel = instanceClass != nullptr ? uint32(instanceClass->fLevel) : 0;
  if (instance->GetClassLevel() != classLevel || instance->IsInConstruction()) return EJSON_ok;
  ThrowJSONClassError(json_error::kSuperConstructorNotAllowed);
  return EJSON_error;
}

VError VJSONClass::FinalizeInstance(VJSONObject* instance) {
  if (instance == nullptr || instance->GetClass() == nullptr) return VE_OK;
  VJSONClass* instanceClass = instance->GetClass();
  VError error = VE_OK;
  for (VJSONClass* current = instanceClass; current != nullptr; current = current->fSuperclass) {
    if (current->fConstructor != nullptr) {
      error = ThrowJSONClassError(json_error::kNotConstructed, &current->fName);
      break;
    }
  }
  instance->SetClassLevel(uint32(instanceClass->fLevel));
  return error;
}

bool VJSONClass::IsObsolete() const {
  if (fObsolete) return true;
  if (fFile != nullptr) {
    StErrorContextInstaller silent(false, true);
    VTime modified;
    if (fFile->GetTimeAttributes(&modified, nullptr, nullptr) != VE_OK) {
      if (!fFile->Exists()) return true;
    } else if (fFileTime < modified) {
      return true;
    }
  }
  return fSuperclass != nullptr && fSuperclass->IsObsolete();
}

// ---------------------------------------------------------------------------
// Native routines

EJSONStatus VJSONClass::do_new(const VJSONObject*, IJSONFunctionContext* context) {
  VJSONObject* classObject = context->GetThisObject();
  VJSONClass* jsonClass = CastObject(classObject);
  VJSONValue result(JSON_null);
  if (jsonClass != nullptr && jsonClass->fSealed) {
    if (VJSONObject* instance = CreateInstance(classObject, context)) {
      result.SetObject(instance);
      instance->Release();
    }
  }
  context->SetResult(result, 5);
  return EJSON_ok;
}

EJSONStatus VJSONClass::do_errorReadOnlyAttribute(const VJSONObject*, IJSONFunctionContext*) {
  ThrowJSONClassError(json_error::kReadOnlyProperty);
  return EJSON_error;
}

EJSONStatus VJSONClass::do_errorWriteOnlyAttribute(const VJSONObject*,
                                                   IJSONFunctionContext* context) {
  context->SetResult(VJSONValue(JSON_undefined), 5);
  return EJSON_ok;
}

EJSONStatus VJSONClass::do_errorOverridingFinalFunction(const VJSONObject* functionObject,
                                                        IJSONFunctionContext*) {
  VString description;
  if (functionObject != nullptr) {
    functionObject->GetPropertyAsString(VString("_description"), description);
  }
  ThrowJSONClassError(json_error::kFinalOverridden, &description);
  return EJSON_error;
}

// ---------------------------------------------------------------------------
// Class object operations

bool VJSONClass::_IsReserved(const VString& name) {
  return name.EqualToStringRaw(sClassProperty_prototype) ||
         name.EqualToStringRaw(sClassProperty_name) ||
         name.EqualToStringRaw(sClassProperty_superclass) ||
         name.EqualToStringRaw(sClassProperty_file);
}

EJSONStatus VJSONClass::IJSON_GetProperty(VJSONObject*, const VString& name, VJSONValue& outValue,
                                          VDBLanguageContext*) {
  if (name.EqualToStringRaw(sClassProperty_prototype)) {
    outValue.SetObject(fPrototype);
  } else if (name.EqualToStringRaw(sClassProperty_name)) {
    outValue.SetString(fName);
  } else if (name.EqualToStringRaw(sClassProperty_superclass)) {
    if (fSuperclassObject != nullptr) {
      outValue.SetObject(fSuperclassObject);
    } else {
      outValue.SetNull();
    }
  } else if (name.EqualToStringRaw(sClassProperty_file)) {
    if (fFile != nullptr) outValue.SetString(fFile->GetPathWithFileSystem());
  } else if (name.EqualToStringRaw(sClassProperty_id)) {
    outValue.SetNumber(double(fID));
  } else {
    return EJSON_unhandled;
  }
  return EJSON_ok;
}

EJSONStatus VJSONClass::IJSON_SetProperty(VJSONObject*, const VString& name, const VJSONValue&,
                                          VDBLanguageContext*) {
  if (!_IsReserved(name)) return EJSON_unhandled;
  ThrowJSONClassError(json_error::kReadOnlyProperty);
  return EJSON_error;
}

EJSONStatus VJSONClass::IJSON_RemoveProperty(VJSONObject*, const VString& name) {
  if (!_IsReserved(name)) return EJSON_unhandled;
  ThrowJSONClassError(json_error::kReadOnlyProperty);
  return EJSON_error;
}

EJSONStatus VJSONClass::IJSON_GetPropertyNames(std::vector<VString>& outNames) {
  outNames.push_back(sClassProperty_name);
  outNames.push_back(sClassProperty_superclass);
  return EJSON_ok;
}

EJSONStatus VJSONClass::IJSON_GetDescription(const VJSONObject*, VString& outText) {
  outText.FromCString("Class: ");
  outText.AppendString(fName);
  return EJSON_ok;
}

EJSONStatus VJSONClass::IJSON_Clone(const VJSONObject*, VJSONCloner&, VJSONValue&, VError&) {
  return EJSON_error;
}

}  // namespace zeft
